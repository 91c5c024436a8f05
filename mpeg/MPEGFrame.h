// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/FrameHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tindrel {

// An analysis window: two of the longest frames that a search must be able
// to step over (MPEG 1 Layer II, 384 kbit/s, 32000 Hz, padded: 1729 bytes).
inline constexpr std::size_t kMPEGWindowSize = 3458;
// The last position in a window where a frame may start.
inline constexpr std::size_t kLastFrameCandidate = 1729;

struct TVBRHeader {
    bool Found = false;
    std::string Signature;
    int32_t FrameCount = 0;
    int32_t ByteCount = 0;
    uint8_t Quality = 0;
    // Eight characters from a "Xing" header; empty for "VBRI".
    std::string EncoderText;
};

const char* ChannelModeName(uint8_t modeCode);

// Searches a window (normally kMPEGWindowSize bytes; fewer when the file
// ended) for the first frame at positions 0 to lastCandidate as
// FindAudioStart finds it: the first that frames of its kind follow, or,
// when none is so confirmed, the first whose successor, Length bytes later,
// looks like a frame header. Bytes past the end of window are never read:
// a successor that does not lie wholly inside it fails the check. A
// Xing/VBRI header found in the frame goes to vbr; confirmed tells whether
// frames of its kind follow the frame.
TMPEGFrame FindFirstFrame(std::span<const uint8_t> window, TVBRHeader& vbr,
                          std::size_t lastCandidate = kLastFrameCandidate, bool* confirmed = nullptr);
// Reads a "Xing" or "VBRI" header at position, through ReadXingHeader and
// ReadVbriHeader: not found when it runs past the window's end. An "Info"
// header is no VBR header: its frames are all of one bit rate.
TVBRHeader ReadVBRHeader(std::span<const uint8_t> window, std::size_t position);
// Looks for "LAME" (plus the 4 characters after it) or "GOGO" in the end
// window of a file, from 8 bytes before the window's end toward its start,
// at most firstFrameLength * 5 steps. window must hold kMPEGWindowSize bytes.
std::string FindEncoderID(std::span<const uint8_t> window, uint16_t firstFrameLength);

} // namespace tindrel
