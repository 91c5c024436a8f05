// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/FileStream.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace tindrel {

// Reads up to buffer.size() bytes at an absolute file position without
// moving the stream's position. Bytes that the file does not hold (past its
// end, or before its start for a negative position) are set to 0, so the
// caller never sees stale data. Returns the end of the part of buffer that
// the file reached (for a position of 0 or more, the number of bytes read);
// throws "Stream read error" when the system refuses the read.
std::size_t ReadWindow(const FileStream& file, int64_t position, std::span<uint8_t> buffer);

// Little-endian values from a byte buffer.
inline uint16_t LittleEndian16(const uint8_t* bytes) {
    return uint16_t(bytes[0] | bytes[1] << 8);
}
inline uint32_t LittleEndian32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

} // namespace tindrel
