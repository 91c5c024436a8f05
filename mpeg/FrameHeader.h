// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// The one description of an MPEG audio frame that every reader and writer
// of frames asks: the header's bit layout, its tables, a frame's length,
// samples and side information, where a Xing/Info or VBRI header sits, the
// one reader of those headers, and the search for where audio starts.
// Header-only, with nothing but the standard library, so that the engine,
// which links nothing of the rest of Tindrel, reads frames by the same rules.

#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace tindrel {

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

// kbit/s by version code, layer code and bit-rate index. The MPEG 2 and
// MPEG 2.5 rows share the low-sampling-frequency table; the reserved version
// (code 1) and the reserved layer (code 0) have no bit rates. Index 0 is
// free format, whose rate no table gives.
using TBitRateRow = std::array<uint16_t, 16>;
inline constexpr TBitRateRow kNoBitRates{};
inline constexpr TBitRateRow kLowLayerI{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0};
inline constexpr TBitRateRow kLowLayerII_III{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
inline constexpr TBitRateRow kMPEG1LayerI{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
inline constexpr TBitRateRow kMPEG1LayerII{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
inline constexpr TBitRateRow kMPEG1LayerIII{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
// [version][layer]; layer codes run III = 1, II = 2, I = 3.
inline constexpr std::array<std::array<TBitRateRow, 4>, 4> kBitRateTable{{
    {kNoBitRates, kLowLayerII_III, kLowLayerII_III, kLowLayerI},
    {kNoBitRates, kNoBitRates, kNoBitRates, kNoBitRates},
    {kNoBitRates, kLowLayerII_III, kLowLayerII_III, kLowLayerI},
    {kNoBitRates, kMPEG1LayerIII, kMPEG1LayerII, kMPEG1LayerI},
}};
// Hz by version code and sample-rate index.
inline constexpr std::array<std::array<uint16_t, 4>, 4> kSampleRateTable{{
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
}};

// Table lookups for a decoded header. Out-of-range codes give 0, never an
// out-of-bounds read.
inline uint16_t TableBitRate(const TMPEGFrame& frame) { // kbit/s
    if (frame.VersionCode > 3 || frame.LayerCode > 3 || frame.BitRateIndex > 15)
        return 0;
    return kBitRateTable[frame.VersionCode][frame.LayerCode][frame.BitRateIndex];
}
inline uint16_t TableSampleRate(const TMPEGFrame& frame) { // Hz
    if (frame.VersionCode > 3 || frame.SampleRateIndex > 3)
        return 0;
    return kSampleRateTable[frame.VersionCode][frame.SampleRateIndex];
}

// Samples a frame decodes to: 384 in Layer I (of every version), 1152 in
// Layer II and in MPEG 1 Layer III, 576 in MPEG 2 and 2.5 Layer III, which
// carry one granule instead of two.
inline uint32_t SamplesPerFrame(const TMPEGFrame& frame) {
    if (frame.LayerCode == kLayerI)
        return 384;
    if (frame.LayerCode == kLayerIII && frame.VersionCode != kMPEG1)
        return 576;
    return 1152;
}
// Bytes per kbit/s and kHz of a frame: an eighth of its samples.
inline uint16_t SizeCoefficient(const TMPEGFrame& frame) {
    return uint16_t(SamplesPerFrame(frame) / 8);
}
// Layer I counts in 4-byte slots, so its padding is one such slot.
inline uint16_t PaddingSize(const TMPEGFrame& frame) {
    if (!frame.Padded)
        return 0;
    return frame.LayerCode == kLayerI ? 4 : 1;
}

// Layer III side information of a frame of this version and mode, whatever
// its layer: encoders write their Xing/Info header right behind this much.
inline uint32_t SideInfoSizeOfMode(const TMPEGFrame& frame) {
    const bool mono = frame.ModeCode == kModeMono;
    if (frame.VersionCode == kMPEG1)
        return mono ? 17 : 32;
    return mono ? 9 : 17;
}
// Bytes of side information behind the header and its CRC; Layers I and II
// have none of this kind.
inline uint32_t SideInfoSize(const TMPEGFrame& frame) {
    return frame.LayerCode == kLayerIII ? SideInfoSizeOfMode(frame) : 0;
}
// The 16-bit CRC that follows the header when the protection bit is 0.
inline uint32_t CrcSize(const TMPEGFrame& frame) {
    return frame.Protected ? 2 : 0;
}
// Where a Layer III frame's side information and its data area begin.
inline uint32_t SideInfoOffset(const TMPEGFrame& frame) {
    return 4 + CrcSize(frame);
}
inline uint32_t DataAreaOffset(const TMPEGFrame& frame) {
    return SideInfoOffset(frame) + SideInfoSize(frame);
}

// The distance from a frame's first byte to its Xing/Info header: 4 header
// bytes and the side information. The CRC of a protected frame is not
// counted: encoders that protect their frames (lame -p) still write the
// header there, over the side information's last two bytes, and decoders
// look for it there.
inline uint16_t VBRHeaderOffset(const TMPEGFrame& frame) {
    return uint16_t(4 + SideInfoSizeOfMode(frame));
}
// A VBRI header sits 32 bytes behind the header in every version and mode.
inline constexpr std::size_t kVBRIOffset = 36;

// True for 4 bytes that may start a frame: sync bits set, no reserved
// version, layer, sample rate or emphasis code, and a bit-rate index that is
// not forbidden; free format (index 0) only when freeFormat.
inline bool IsFrameHeader(const uint8_t* header, bool freeFormat) {
    const uint8_t version = (header[1] >> 3) & 3;
    const uint8_t layer = (header[1] >> 1) & 3;
    const uint8_t bitRateIndex = header[2] >> 4;
    const uint8_t sampleRateIndex = (header[2] >> 2) & 3;
    const uint8_t emphasis = header[3] & 3;
    return header[0] == 0xFF && (header[1] & 0xE0) == 0xE0 && version != 1 && layer != 0 && bitRateIndex != 15 &&
           (bitRateIndex != 0 || freeFormat) && sampleRateIndex != 3 && emphasis != 2;
}
// The check of the analysis's frame search, which takes no free format.
inline bool LooksLikeFrameHeader(const uint8_t* header) {
    return IsFrameHeader(header, false);
}

// Fills RawHeader and every header field of frame from the 4 bytes; the
// search fields (Found, Offset, Length, XingZeros) are left as they are.
inline void DecodeFrameHeader(const uint8_t* header, TMPEGFrame& frame) {
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

// The same version, layer and sample rate: frames of one stream.
inline bool SameKind(const TMPEGFrame& a, const TMPEGFrame& b) {
    return a.VersionCode == b.VersionCode && a.LayerCode == b.LayerCode && a.SampleRateIndex == b.SampleRateIndex;
}

// Bytes in the frame, padding included: samples / 8 x bit rate / sample
// rate, truncated; Layer I truncates to whole 4-byte slots first. A free
// format frame is freeFormatBytes long before its padding (see
// FreeFormatBytes); 0 for a reserved sample rate or an unknown free
// format length.
inline uint16_t FrameLength(const TMPEGFrame& frame, uint32_t freeFormatBytes = 0) {
    const uint32_t sampleRate = TableSampleRate(frame);
    if (sampleRate == 0)
        return 0;
    if (frame.BitRateIndex == 0)
        return freeFormatBytes == 0 ? 0 : uint16_t(freeFormatBytes + PaddingSize(frame));
    const uint32_t bitRate = uint32_t(TableBitRate(frame)) * 1000;
    if (frame.LayerCode == kLayerI)
        return uint16_t((12 * bitRate / sampleRate) * 4 + PaddingSize(frame));
    return uint16_t(SizeCoefficient(frame) * bitRate / sampleRate + PaddingSize(frame));
}

// Where a stream's bytes come from for the frame search: at(position, n)
// gives the n bytes at position, or nullptr where they run past the data.
struct TByteSpan {
    std::span<const uint8_t> bytes;
    const uint8_t* at(int64_t position, std::size_t n) const {
        if (position < 0 || uint64_t(position) + n > bytes.size())
            return nullptr;
        return bytes.data() + position;
    }
};

// A free format frame's length before its padding: the distance to the
// next header that repeats its version, layer, rate bits and protection,
// less the frame's padding. 0 when none follows within the longest frame
// a free format stream may have.
template <class Bytes> uint32_t FreeFormatBytes(Bytes&& bytes, int64_t position, const TMPEGFrame& frame) {
    constexpr int64_t kShortest = 16;
    constexpr int64_t kLongest = 4096;
    for (int64_t q = position + kShortest; q <= position + kLongest; ++q) {
        const uint8_t* next = bytes.at(q, 4);
        if (!next)
            return 0;
        if (next[0] == 0xFF && next[1] == frame.RawHeader[1] && (next[2] & 0xFC) == (frame.RawHeader[2] & 0xFC) &&
            IsFrameHeader(next, true))
            return uint32_t(q - position - PaddingSize(frame));
    }
    return 0;
}

// Where audio starts: the first frame's position and, in free format, the
// length its frames have before their padding.
struct TAudioStart {
    int64_t Offset = 0;
    uint32_t FreeFormatBytes = 0;
    // Frames of its kind follow it (see FindAudioStart); false for the
    // first frame whose successor merely looks like a header.
    bool Confirmed = false;
};

// Frames of one kind in a row that make the start of audio believable
// behind other bytes: two frames, one looking like the successor of the
// other, turn up in any few kilobytes of binary data.
inline constexpr int kFramesToConfirm = 4;

// Searches positions from `from` to lastCandidate for the first frame that
// frames of its own kind follow: one successor for a frame at `from` (right
// behind the tags, where audio is expected), kFramesToConfirm frames in a
// row elsewhere, or a run of two or more that reaches the end of the data
// (a short stream, or a window that ends). When no frame is so confirmed,
// the first frame whose successor merely looks like a header (of any kind)
// is taken, unconfirmed; nothing when there is not even that.
template <class Bytes> std::optional<TAudioStart> FindAudioStart(Bytes&& bytes, int64_t from, int64_t lastCandidate) {
    std::optional<TAudioStart> plausible;
    for (int64_t p = from; p <= lastCandidate; ++p) {
        const uint8_t* header = bytes.at(p, 4);
        if (!header)
            break;
        if (header[0] != 0xFF || !IsFrameHeader(header, true))
            continue;
        TMPEGFrame first;
        DecodeFrameHeader(header, first);
        const uint32_t free = first.BitRateIndex == 0 ? FreeFormatBytes(bytes, p, first) : 0;
        uint16_t length = FrameLength(first, free);
        if (length == 0)
            continue;
        int run = 1;
        bool reachesEnd = false;
        uint32_t runFree = free;
        for (int64_t at = p + length; run < kFramesToConfirm; ++run) {
            const uint8_t* next = bytes.at(at, 4);
            if (!next) {
                reachesEnd = true;
                break;
            }
            if (run == 1 && !plausible && LooksLikeFrameHeader(next) && first.BitRateIndex != 0)
                plausible = TAudioStart{p, free, false};
            TMPEGFrame frame;
            if (next[0] != 0xFF || !IsFrameHeader(next, true))
                break;
            DecodeFrameHeader(next, frame);
            if (!SameKind(frame, first) || (frame.BitRateIndex != 0 && first.BitRateIndex == 0))
                break;
            // Free format frames may follow frames of a set bit rate (an
            // exact piece of a free format stream starts with its info
            // frame and silent frames of a set rate): their length is
            // found at the first of them.
            if (frame.BitRateIndex == 0 && runFree == 0)
                runFree = FreeFormatBytes(bytes, at, frame);
            length = FrameLength(frame, runFree);
            if (length == 0)
                break;
            at += length;
        }
        if (run >= kFramesToConfirm || (p == from && run >= 2) || (reachesEnd && run >= 2))
            return TAudioStart{p, free, true};
    }
    return plausible;
}

// ---- Xing/Info and VBRI headers ------------------------------------------------

// The silent first frame of a stream that describes the rest: a "Xing"
// (variable bit rate) or "Info" (constant) header, often followed by the
// encoder's extension with its delay and padding, or a "VBRI" header.
struct TInfoFrame {
    bool Found = false;
    bool IsVBRI = false;
    // "Xing", "Info" or "VBRI".
    std::array<char, 4> Signature{};
    // Where the header starts inside the frame.
    std::size_t HeaderOffset = 0;
    uint32_t Flags = 0;
    // -1 when the header does not give them.
    int64_t FrameCount = -1; // audio frames, the info frame not counted
    int64_t ByteCount = -1;  // bytes from the info frame to the last frame
    bool HasToc = false;
    std::size_t TocOffset = 0;
    bool HasQuality = false;
    uint32_t Quality = 0;
    // Where the encoder's extension would start ("LAME3.100" and its fields).
    std::size_t ExtensionOffset = 0;
    // It is there, 36 bytes, starting with the encoder's name.
    bool HasExtension = false;
    uint16_t EncoderDelay = 0;
    uint16_t EncoderPadding = 0;
    // VBRI's table: entries, scale, bytes per entry, frames per entry.
    uint16_t VbriEntries = 0;
    uint16_t VbriScale = 0;
    uint16_t VbriEntrySize = 0;
    uint16_t VbriFramesPerEntry = 0;
};

inline constexpr std::size_t kInfoExtensionSize = 36;
inline constexpr uint32_t kXingHasFrames = 1;
inline constexpr uint32_t kXingHasBytes = 2;
inline constexpr uint32_t kXingHasToc = 4;
inline constexpr uint32_t kXingHasQuality = 8;
inline constexpr std::size_t kXingTocSize = 100;
// The delay and padding field inside the extension: 12 bits each.
inline constexpr std::size_t kExtDelayPadding = 21;
// A VBRI table starts 26 bytes into its header.
inline constexpr std::size_t kVbriTocOffset = 26;

inline uint32_t ReadBigEndian(std::span<const uint8_t> bytes, std::size_t at, std::size_t size) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value = value << 8 | bytes[at + i];
    return value;
}

inline bool HasTextAt(std::span<const uint8_t> bytes, std::size_t at, const char* text) {
    return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, text, 4) == 0;
}

// A Xing/Info header at `at`: the fields its flags announce, in order.
// Not found when they do not all lie inside bytes.
inline TInfoFrame ReadXingHeader(std::span<const uint8_t> bytes, std::size_t at) {
    TInfoFrame info;
    if (at + 8 > bytes.size())
        return info;
    info.HeaderOffset = at;
    std::memcpy(info.Signature.data(), bytes.data() + at, 4);
    info.Flags = ReadBigEndian(bytes, at + 4, 4);
    std::size_t next = at + 8;
    const auto field = [&](uint32_t flag, std::size_t size) -> std::optional<std::size_t> {
        if (!(info.Flags & flag))
            return std::nullopt;
        const std::size_t here = next;
        next += size;
        return here;
    };
    const auto frames = field(kXingHasFrames, 4);
    const auto byteCount = field(kXingHasBytes, 4);
    const auto toc = field(kXingHasToc, kXingTocSize);
    const auto quality = field(kXingHasQuality, 4);
    if (next > bytes.size())
        return info;
    info.Found = true;
    info.FrameCount = frames ? int64_t(ReadBigEndian(bytes, *frames, 4)) : -1;
    info.ByteCount = byteCount ? int64_t(ReadBigEndian(bytes, *byteCount, 4)) : -1;
    info.HasToc = toc.has_value();
    info.TocOffset = toc.value_or(0);
    info.HasQuality = quality.has_value();
    info.Quality = quality ? ReadBigEndian(bytes, *quality, 4) : 0;
    info.ExtensionOffset = next;
    // The extension starts with the encoder's name: letters and digits.
    bool named = next + kInfoExtensionSize <= bytes.size();
    for (std::size_t i = 0; named && i < 4; ++i)
        named = std::isalnum(bytes[next + i]) != 0;
    if (named) {
        info.HasExtension = true;
        const uint32_t delayPadding = ReadBigEndian(bytes, next + kExtDelayPadding, 3);
        info.EncoderDelay = uint16_t(delayPadding >> 12);
        info.EncoderPadding = uint16_t(delayPadding & 0xFFF);
    }
    return info;
}

// A VBRI header at `at`; its table counts only when it lies inside bytes.
inline TInfoFrame ReadVbriHeader(std::span<const uint8_t> bytes, std::size_t at) {
    TInfoFrame info;
    if (at + kVbriTocOffset > bytes.size())
        return info;
    info.Found = true;
    info.IsVBRI = true;
    std::memcpy(info.Signature.data(), "VBRI", 4);
    info.HeaderOffset = at;
    info.Quality = ReadBigEndian(bytes, at + 8, 2);
    info.ByteCount = ReadBigEndian(bytes, at + 10, 4);
    info.FrameCount = ReadBigEndian(bytes, at + 14, 4);
    info.VbriEntries = uint16_t(ReadBigEndian(bytes, at + 18, 2));
    info.VbriScale = uint16_t(ReadBigEndian(bytes, at + 20, 2));
    info.VbriEntrySize = uint16_t(ReadBigEndian(bytes, at + 22, 2));
    info.VbriFramesPerEntry = uint16_t(ReadBigEndian(bytes, at + 24, 2));
    info.TocOffset = at + kVbriTocOffset;
    const std::size_t tocBytes = std::size_t(info.VbriEntries) * info.VbriEntrySize;
    info.HasToc = info.VbriEntrySize >= 1 && info.VbriEntrySize <= 4 && info.TocOffset + tocBytes <= bytes.size();
    return info;
}

// The one reader of Xing/Info and VBRI headers: whichever of them the
// frame (its bytes from its header on, its header decoded into format)
// carries where encoders put it. The signatures are compared exactly.
inline TInfoFrame ReadInfoFrame(std::span<const uint8_t> frame, const TMPEGFrame& format) {
    const std::size_t at = VBRHeaderOffset(format);
    if (HasTextAt(frame, at, "Xing") || HasTextAt(frame, at, "Info"))
        return ReadXingHeader(frame, at);
    if (HasTextAt(frame, kVBRIOffset, "VBRI"))
        return ReadVbriHeader(frame, kVBRIOffset);
    return {};
}

// The decoder's own delay in samples, on top of the encoder's delay: a
// gapless decoder skips both at the start and adds it back at the end.
inline constexpr int64_t kMp3DecoderDelay = 529;

// ---- Layer III frame contents ----------------------------------------------------

// The reservoir field of a Layer III frame, read from its first bytes: how
// many bytes before its own data area its main data begins. 9 bits in
// MPEG 1, 8 bits in MPEG 2 and 2.5; 0 for Layers I and II.
inline uint16_t MainDataBegin(const TMPEGFrame& frame, const uint8_t* frameBytes) {
    if (frame.LayerCode != kLayerIII)
        return 0;
    const uint8_t* side = frameBytes + SideInfoOffset(frame);
    if (frame.VersionCode == kMPEG1)
        return uint16_t(side[0] << 1 | side[1] >> 7);
    return side[0];
}

} // namespace tindrel
