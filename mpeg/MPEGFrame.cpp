// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/MPEGFrame.h"

#include <algorithm>
#include <cstring>

namespace tindrel {

namespace {

constexpr std::array<const char*, 5> kChannelModeNames{"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};

// A VBR header as the analysis describes it, from the one reader's fields.
TVBRHeader describeVBRHeader(std::span<const uint8_t> window, const TInfoFrame& info) {
    TVBRHeader vbr;
    if (!info.Found)
        return vbr;
    vbr.Found = true;
    vbr.Signature = std::string(info.Signature.data(), 4);
    vbr.FrameCount = static_cast<int32_t>(std::max<int64_t>(info.FrameCount, 0));
    vbr.ByteCount = static_cast<int32_t>(std::max<int64_t>(info.ByteCount, 0));
    vbr.Quality = static_cast<uint8_t>(info.Quality);
    if (!info.IsVBRI) {
        // The encoder's name and version, as far as the window holds them.
        for (std::size_t i = info.ExtensionOffset; i < info.ExtensionOffset + 8; ++i)
            vbr.EncoderText.push_back(static_cast<char>(i < window.size() ? window[i] : 0));
    }
    return vbr;
}

} // namespace

const char* ChannelModeName(uint8_t modeCode) {
    return kChannelModeNames[std::min<std::size_t>(modeCode, kChannelModeNames.size() - 1)];
}

TMPEGFrame FindFirstFrame(std::span<const uint8_t> window, TVBRHeader& vbr, std::size_t lastCandidate,
                          bool* confirmed) {
    TMPEGFrame frame;
    const std::optional<TAudioStart> start = FindAudioStart(TByteSpan{window}, 0, int64_t(lastCandidate));
    if (confirmed)
        *confirmed = start && start->Confirmed;
    if (!start)
        return frame;
    const auto p = static_cast<std::size_t>(start->Offset);
    DecodeFrameHeader(&window[p], frame);
    frame.Found = true;
    frame.Offset = static_cast<int32_t>(p);
    frame.Length = FrameLength(frame, start->FreeFormatBytes);
    frame.XingZeros = true;
    for (std::size_t i = p + 4; i < p + 10; ++i)
        frame.XingZeros = frame.XingZeros && i < window.size() && window[i] == 0;
    const TInfoFrame info = ReadInfoFrame(window.subspan(p), frame);
    // "Info" marks a stream of one bit rate: no VBR header.
    vbr = info.Found && std::memcmp(info.Signature.data(), "Info", 4) != 0 ? describeVBRHeader(window.subspan(p), info)
                                                                           : TVBRHeader{};
    return frame;
}

TVBRHeader ReadVBRHeader(std::span<const uint8_t> window, std::size_t position) {
    if (HasTextAt(window, position, "Xing"))
        return describeVBRHeader(window, ReadXingHeader(window, position));
    if (HasTextAt(window, position, "VBRI"))
        return describeVBRHeader(window, ReadVbriHeader(window, position));
    return {};
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
