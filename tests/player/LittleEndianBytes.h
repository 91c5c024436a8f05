// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "tests/support/TempDir.h"

#include <cstdint>
#include <stdexcept>
#include <string>

// Writing little-endian values into hand-made file images.
namespace tindrel::test {

inline void PutText(Bytes& bytes, std::size_t at, const std::string& text) {
    if (at + text.size() > bytes.size())
        throw std::out_of_range("test data does not fit");
    std::copy(text.begin(), text.end(), bytes.begin() + std::ptrdiff_t(at));
}

inline void Put16(Bytes& bytes, std::size_t at, uint16_t value) {
    PutText(bytes, at, std::string{char(value & 0xFF), char(value >> 8)});
}

inline void Put32(Bytes& bytes, std::size_t at, uint32_t value) {
    Put16(bytes, at, uint16_t(value));
    Put16(bytes, at + 2, uint16_t(value >> 16));
}

inline void Append(Bytes& bytes, const Bytes& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}
inline void Append(Bytes& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}
inline void Append16(Bytes& bytes, uint16_t value) {
    bytes.push_back(uint8_t(value));
    bytes.push_back(uint8_t(value >> 8));
}
inline void Append32(Bytes& bytes, uint32_t value) {
    Append16(bytes, uint16_t(value));
    Append16(bytes, uint16_t(value >> 16));
}

} // namespace tindrel::test
