// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/MPEGFrame.h"

#include <algorithm>
#include <cstring>

namespace tindrel {

namespace {

// kbit/s by version code, layer code and bit-rate index. The MPEG 2 and
// MPEG 2.5 rows share the low-sampling-frequency table; the reserved version
// (code 1) and the reserved layer (code 0) have no bit rates.
using RateRow = std::array<uint16_t, 16>;
constexpr RateRow kNoRates{};
constexpr RateRow kLowLayerI{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0};
constexpr RateRow kLowLayerII_III{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr RateRow kMPEG1LayerI{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
constexpr RateRow kMPEG1LayerII{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
constexpr RateRow kMPEG1LayerIII{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};

// [version][layer]; layer codes run III = 1, II = 2, I = 3.
constexpr std::array<std::array<RateRow, 4>, 4> kBitRates{{
    {kNoRates, kLowLayerII_III, kLowLayerII_III, kLowLayerI},
    {kNoRates, kNoRates, kNoRates, kNoRates},
    {kNoRates, kLowLayerII_III, kLowLayerII_III, kLowLayerI},
    {kNoRates, kMPEG1LayerIII, kMPEG1LayerII, kMPEG1LayerI},
}};

constexpr std::array<std::array<uint16_t, 4>, 4> kSampleRates{{
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
}};

constexpr std::array<const char*, 5> kChannelModeNames{"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};

constexpr std::array<char, 4> kXing{'X', 'i', 'n', 'g'};
constexpr std::array<char, 4> kVBRI{'V', 'B', 'R', 'I'};

uint8_t byteAt(std::span<const uint8_t> window, std::size_t position) {
    return position < window.size() ? window[position] : 0;
}

int32_t bigEndian32(std::span<const uint8_t> window, std::size_t position) {
    const uint32_t value = uint32_t(byteAt(window, position)) << 24 | uint32_t(byteAt(window, position + 1)) << 16 |
                           uint32_t(byteAt(window, position + 2)) << 8 | uint32_t(byteAt(window, position + 3));
    return static_cast<int32_t>(value);
}

bool textAt(std::span<const uint8_t> window, std::size_t position, const std::array<char, 4>& text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (byteAt(window, position + i) != static_cast<uint8_t>(text[i]))
            return false;
    return true;
}

bool isMPEG1(const TMPEGFrame& frame) {
    return frame.VersionCode == kMPEG1;
}

} // namespace

uint16_t TableBitRate(const TMPEGFrame& frame) {
    if (frame.VersionCode > 3 || frame.LayerCode > 3 || frame.BitRateIndex > 15)
        return 0;
    return kBitRates[frame.VersionCode][frame.LayerCode][frame.BitRateIndex];
}

uint16_t TableSampleRate(const TMPEGFrame& frame) {
    if (frame.VersionCode > 3 || frame.SampleRateIndex > 3)
        return 0;
    return kSampleRates[frame.VersionCode][frame.SampleRateIndex];
}

uint16_t SizeCoefficient(const TMPEGFrame& frame) {
    if (frame.LayerCode == kLayerI)
        return isMPEG1(frame) ? 48 : 24;
    if (frame.LayerCode == kLayerIII && !isMPEG1(frame))
        return 72;
    return 144;
}

uint16_t PaddingSize(const TMPEGFrame& frame) {
    if (!frame.Padded)
        return 0;
    return frame.LayerCode == kLayerI ? 4 : 1;
}

uint16_t VBRHeaderOffset(const TMPEGFrame& frame) {
    const bool mono = frame.ModeCode == kModeMono;
    if (isMPEG1(frame))
        return mono ? 21 : 36;
    return mono ? 13 : 21;
}

const char* ChannelModeName(uint8_t modeCode) {
    return kChannelModeNames[std::min<std::size_t>(modeCode, kChannelModeNames.size() - 1)];
}

bool LooksLikeFrameHeader(const uint8_t* header) {
    const uint8_t version = (header[1] >> 3) & 3;
    const uint8_t layer = (header[1] >> 1) & 3;
    const uint8_t bitRateIndex = header[2] >> 4;
    const uint8_t sampleRateIndex = (header[2] >> 2) & 3;
    const uint8_t emphasis = header[3] & 3;
    return header[0] == 0xFF && (header[1] & 0xE0) == 0xE0 && version != 1 && layer != 0 && bitRateIndex != 15 &&
           bitRateIndex != 0 && sampleRateIndex != 3 && emphasis != 2;
}

void DecodeFrameHeader(const uint8_t* header, TMPEGFrame& frame) {
    std::memcpy(frame.RawHeader.data(), header, 4);
    frame.VersionCode = (header[1] >> 3) & 3;
    frame.LayerCode = (header[1] >> 1) & 3;
    frame.Protected = (header[1] & 1) == 0;
    frame.BitRateIndex = header[2] >> 4;
    frame.SampleRateIndex = (header[2] >> 2) & 3;
    frame.Padded = (header[2] & 2) != 0;
    frame.PrivateBit = (header[2] & 1) != 0;
    frame.ModeCode = header[3] >> 6;
    frame.ModeExtension = (header[3] >> 4) & 3;
    frame.Copyright = (header[3] & 8) != 0;
    frame.Original = (header[3] & 4) != 0;
    frame.EmphasisCode = header[3] & 3;
}

uint16_t FrameLength(const TMPEGFrame& frame) {
    const uint16_t sampleRate = TableSampleRate(frame);
    if (sampleRate == 0)
        return 0;
    const double bytes = double(SizeCoefficient(frame)) * TableBitRate(frame) * 1000.0 / sampleRate;
    return static_cast<uint16_t>(static_cast<uint32_t>(bytes) + PaddingSize(frame));
}

TMPEGFrame FindFirstFrame(std::span<const uint8_t> window, TVBRHeader& vbr) {
    TMPEGFrame frame;
    if (window.size() < 4)
        return frame;
    const std::size_t lastCandidate = std::min(kLastFrameCandidate, window.size() - 4);
    for (std::size_t p = 0; p <= lastCandidate; ++p) {
        if (!LooksLikeFrameHeader(&window[p]))
            continue;
        DecodeFrameHeader(&window[p], frame);
        const uint16_t length = FrameLength(frame);
        // The successor is found by a 16-bit sum, as the frame length is
        // itself 16 bits wide; one that runs off the window is no frame.
        const std::size_t next = static_cast<uint16_t>(p + length);
        if (next + 4 > window.size() || !LooksLikeFrameHeader(&window[next]))
            continue;
        frame.Found = true;
        frame.Offset = static_cast<int32_t>(p);
        frame.Length = length;
        frame.XingZeros = true;
        for (std::size_t i = p + 4; i < p + 10; ++i)
            frame.XingZeros = frame.XingZeros && byteAt(window, i) == 0;
        vbr = ReadVBRHeader(window, p + VBRHeaderOffset(frame));
        return frame;
    }
    return frame;
}

TVBRHeader ReadVBRHeader(std::span<const uint8_t> window, std::size_t position) {
    TVBRHeader vbr;
    if (textAt(window, position, kXing)) {
        vbr.Found = true;
        vbr.Signature = "Xing";
        vbr.FrameCount = bigEndian32(window, position + 8);
        vbr.ByteCount = bigEndian32(window, position + 12);
        vbr.Quality = byteAt(window, position + 119);
        for (std::size_t i = 120; i < 128; ++i)
            vbr.EncoderText.push_back(static_cast<char>(byteAt(window, position + i)));
    } else if (textAt(window, position, kVBRI)) {
        vbr.Found = true;
        vbr.Signature = "VBRI";
        vbr.Quality = byteAt(window, position + 9);
        vbr.ByteCount = bigEndian32(window, position + 10);
        vbr.FrameCount = bigEndian32(window, position + 14);
    }
    return vbr;
}

std::string FindEncoderID(std::span<const uint8_t> window, uint16_t firstFrameLength) {
    constexpr std::size_t kLastStart = kMPEGWindowSize - 8; // 3450
    if (window.size() < kMPEGWindowSize)
        return {};
    std::size_t limit = std::size_t(firstFrameLength) * 5;
    if (limit > kLastStart)
        limit = kLastStart;
    // Only positions holding an 'L' or a 'G' need the full comparison.
    const uint8_t* bytes = window.data();
    for (std::size_t at = kLastStart + 1; at-- > kLastStart - limit;) {
        if (bytes[at] == 'L' && std::memcmp(bytes + at, "LAME", 4) == 0)
            return std::string(reinterpret_cast<const char*>(bytes + at), 8);
        if (bytes[at] == 'G' && std::memcmp(bytes + at, "GOGO", 4) == 0)
            return "GOGO";
    }
    return {};
}

} // namespace tindrel
