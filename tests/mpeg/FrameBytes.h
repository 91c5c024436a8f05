// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/MPEGFrame.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

// Hand-made MPEG audio bytes for the layouts no encoder writes on purpose.
namespace tindrel::test {

struct FrameFields {
    uint8_t version;
    uint8_t layer;
    uint8_t bitRateIndex;
    uint8_t sampleRateIndex;
    bool padded = false;
    uint8_t mode = 0;

    std::array<uint8_t, 4> bytes() const {
        return {0xFF, uint8_t(0xE0 | version << 3 | layer << 1 | 1),
                uint8_t(bitRateIndex << 4 | sampleRateIndex << 2 | (padded ? 2 : 0)), uint8_t(mode << 6)};
    }
    uint16_t length() const {
        TMPEGFrame frame;
        DecodeFrameHeader(bytes().data(), frame);
        return FrameLength(frame);
    }
    std::string describe() const {
        return "version " + std::to_string(version) + " layer " + std::to_string(layer) + " rate index " +
               std::to_string(bitRateIndex) + "/" + std::to_string(sampleRateIndex) + (padded ? " padded" : "") +
               " mode " + std::to_string(mode);
    }
};

inline void PutBytes(std::vector<uint8_t>& bytes, std::size_t at, const void* data, std::size_t count) {
    if (at + count > bytes.size())
        throw std::out_of_range("test data does not fit");
    std::memcpy(bytes.data() + at, data, count);
}

inline void PutHeader(std::vector<uint8_t>& bytes, std::size_t at, const FrameFields& fields) {
    PutBytes(bytes, at, fields.bytes().data(), 4);
}

// count headers one frame length apart from at on; the frame bodies keep
// whatever bytes were there.
inline void PutFrames(std::vector<uint8_t>& bytes, std::size_t at, const FrameFields& fields, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        PutHeader(bytes, at + i * fields.length(), fields);
}

inline void PutText(std::vector<uint8_t>& bytes, std::size_t at, const std::string& text) {
    PutBytes(bytes, at, text.data(), text.size());
}

inline void PutBigEndian32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) {
    const uint8_t raw[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
    PutBytes(bytes, at, raw, 4);
}

} // namespace tindrel::test
