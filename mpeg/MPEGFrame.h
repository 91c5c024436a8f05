// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

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

// The 4 header bytes of an MPEG audio frame, decoded, plus where the frame
// search found it.
struct TMPEGFrame {
    bool Found = false;
    // Position of the frame's first byte within the window it was found in.
    int32_t Offset = 0;
    uint16_t Length = 0;
    // The six bytes after the header are all 0.
    bool XingZeros = false;
    std::array<uint8_t, 4> RawHeader{};
    uint8_t VersionCode = 1;
    uint8_t LayerCode = 0;
    // True when the frame carries a CRC (the protection bit is 0).
    bool Protected = false;
    uint16_t BitRateIndex = 0;
    uint16_t SampleRateIndex = 3;
    bool Padded = false;
    bool PrivateBit = false;
    uint8_t ModeCode = 4;
    uint8_t ModeExtension = 4;
    bool Copyright = false;
    bool Original = false;
    uint8_t EmphasisCode = 2;
};

struct TVBRHeader {
    bool Found = false;
    std::string Signature;
    int32_t FrameCount = 0;
    int32_t ByteCount = 0;
    uint8_t Quality = 0;
    // Eight characters from a "Xing" header; empty for "VBRI".
    std::string EncoderText;
};

// Version codes as they stand in the header.
inline constexpr uint8_t kMPEG25 = 0;
inline constexpr uint8_t kMPEG2 = 2;
inline constexpr uint8_t kMPEG1 = 3;
// Layer codes as they stand in the header.
inline constexpr uint8_t kLayerIII = 1;
inline constexpr uint8_t kLayerII = 2;
inline constexpr uint8_t kLayerI = 3;
// Mode code 3 is mono; 4 is the "unknown" code of a cleared frame.
inline constexpr uint8_t kModeMono = 3;

// Table lookups for a decoded header. Out-of-range codes give 0 (and
// "Unknown" for the mode name), never an out-of-bounds read.
uint16_t TableBitRate(const TMPEGFrame& frame);    // kbit/s
uint16_t TableSampleRate(const TMPEGFrame& frame); // Hz
uint16_t SizeCoefficient(const TMPEGFrame& frame);
uint16_t PaddingSize(const TMPEGFrame& frame);
uint16_t VBRHeaderOffset(const TMPEGFrame& frame);
const char* ChannelModeName(uint8_t modeCode);

// True for 4 bytes that may start a frame: sync bits set, no reserved
// version, layer, sample rate or emphasis code, and a bit-rate index that is
// neither free format nor forbidden.
bool LooksLikeFrameHeader(const uint8_t* header);
// Fills RawHeader and every header field of frame from the 4 bytes; the
// search fields (Found, Offset, Length, XingZeros) are left as they are.
void DecodeFrameHeader(const uint8_t* header, TMPEGFrame& frame);
// Bytes in the frame, padding included, truncated to 16 bits; 0 for a frame
// whose sample rate is reserved.
uint16_t FrameLength(const TMPEGFrame& frame);

// Searches a window (normally kMPEGWindowSize bytes; fewer when the file
// ended) for the first frame at positions 0 to kLastFrameCandidate whose
// successor, Length bytes later, also looks like a frame header. Bytes past
// the end of window are never read: a successor that does not lie wholly
// inside it fails the check. A VBR header found in the frame goes to vbr.
TMPEGFrame FindFirstFrame(std::span<const uint8_t> window, TVBRHeader& vbr);
// Reads a "Xing" or "VBRI" header at position; bytes beyond the window count
// as 0.
TVBRHeader ReadVBRHeader(std::span<const uint8_t> window, std::size_t position);
// Looks for "LAME" (plus the 4 characters after it) or "GOGO" in the end
// window of a file, from 8 bytes before the window's end toward its start,
// at most firstFrameLength * 5 steps. window must hold kMPEGWindowSize bytes.
std::string FindEncoderID(std::span<const uint8_t> window, uint16_t firstFrameLength);

} // namespace tindrel
