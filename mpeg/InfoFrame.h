// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/FrameHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tindrel {

// The CRC the encoder's extension uses for its own bytes and the music:
// CRC-16 with polynomial 0x8005, reflected, starting at 0.
uint16_t InfoCrc16(std::span<const uint8_t> bytes, uint16_t crc = 0);

// What an info frame must say about the frames it stands before.
struct TInfoCounts {
    // The lengths of the audio frames that follow the info frame.
    std::span<const uint32_t> FrameLengths;
    // Bytes from the info frame's first byte to the end of the audio (may
    // exceed the frames when a cut-off frame follows them).
    int64_t ByteCount = 0;
    uint16_t MusicCrc = 0;
};

// Rewrites an info frame in place for the frames it now stands before:
// frame and byte counts, the table of contents, the extension's music
// length and CRC and its own CRC; the end padding becomes 0 unless
// keepPadding (the frames still end where the encoder's did). Nothing
// else of the frame changes. False when info was not found in it.
bool RewriteInfoFrame(std::span<uint8_t> frame, const TInfoFrame& info, const TInfoCounts& counts, bool keepPadding);

// A new info frame for a stream of format's kind: "Info" when every audio
// frame has the same bit rate (Constant), "Xing" otherwise, with counts, a
// table of contents, and an extension carrying delay and padding.
// Extension, when it holds 36 bytes, gives the fields that stay (the
// encoder's name and settings; peak and gain, measured on the whole
// source, are cleared); otherwise the encoder's name is "LAME" and blanks,
// the form readers look for before they trust delay and padding. The frame
// has the bit rate index BitRateIndex when that holds everything, else the
// smallest one that does; no CRC and no padding.
struct TNewInfoFrame {
    TMPEGFrame Format;
    uint8_t BitRateIndex = 0;
    bool Constant = false;
    uint16_t Delay = 0;
    uint16_t Padding = 0;
    uint32_t Quality = 0;
    std::span<const uint8_t> Extension;
};
std::vector<uint8_t> BuildInfoFrame(const TNewInfoFrame& wanted, const TInfoCounts& counts);
// The length BuildInfoFrame's frame will have.
std::size_t InfoFrameLength(const TNewInfoFrame& wanted);

// Layer III helpers shared by the frame walk and the frames a cut makes.
// A silent frame of format's kind with the given bit rate index: side
// information all 0 (no reservoir, no bits), data area all 0 but for tail
// at its end, which a following frame may take as its reservoir. Empty
// when tail does not fit.
std::vector<uint8_t> BuildSilentFrame(const TMPEGFrame& format, uint8_t bitRateIndex, std::span<const uint8_t> tail);
// The smallest bit rate index (preferred first, when it fits) whose frame
// has a data area of at least dataBytes; 0 when none has.
uint8_t BitRateIndexForData(const TMPEGFrame& format, std::size_t dataBytes, uint8_t preferred);

} // namespace tindrel
