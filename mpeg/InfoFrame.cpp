// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/InfoFrame.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace tindrel {

namespace {

constexpr uint32_t kAllXingFields = kXingHasFrames | kXingHasBytes | kXingHasToc | kXingHasQuality;
// Signature, flags, frames, bytes, table, quality.
constexpr std::size_t kFullXingSize = 120;
// Offsets inside the encoder's extension.
constexpr std::size_t kExtMusicLength = 28;
constexpr std::size_t kExtMusicCrc = 32;
constexpr std::size_t kExtTagCrc = 34;

void writeBE(std::span<uint8_t> bytes, std::size_t at, std::size_t size, uint64_t value) {
    for (std::size_t i = size; i-- > 0; value >>= 8)
        bytes[at + i] = uint8_t(value);
}

// Entry i: the share of the audio bytes (the info frame not counted) that
// lies before the end of the frame i % of the way through, in 256ths, as
// the encoder writes it; entry 0 is 0.
void writeXingToc(std::span<uint8_t> frame, const TInfoFrame& info, const TInfoCounts& counts) {
    const auto& lengths = counts.FrameLengths;
    const std::size_t n = lengths.size();
    std::vector<int64_t> before(n + 1, 0);
    for (std::size_t k = 0; k < n; ++k)
        before[k + 1] = before[k] + lengths[k];
    for (std::size_t i = 0; i < kXingTocSize; ++i) {
        const std::size_t upTo = std::min(n, i * n / kXingTocSize + 1);
        const int64_t value = i == 0 || before[n] == 0 ? 0 : before[upTo] * 256 / before[n];
        frame[info.TocOffset + i] = uint8_t(std::min<int64_t>(value, 255));
    }
}

// A VBRI table keeps its number of entries and their width; the frames per
// entry and the scale change so that it spans the new frames.
void writeVbriToc(std::span<uint8_t> frame, const TInfoFrame& info, const TInfoCounts& counts) {
    const std::size_t entries = info.VbriEntries;
    if (entries == 0)
        return;
    const std::size_t n = counts.FrameLengths.size();
    const std::size_t perEntry = std::clamp<std::size_t>((n + entries - 1) / entries, 1, 0xFFFF);
    std::vector<uint64_t> sizes(entries, 0);
    for (std::size_t i = 0; i < n; ++i)
        sizes[std::min(i / perEntry, entries - 1)] += counts.FrameLengths[i];
    const uint64_t largest = *std::max_element(sizes.begin(), sizes.end());
    const uint64_t limit = (uint64_t(1) << (8 * info.VbriEntrySize)) - 1;
    const uint64_t scale = std::clamp<uint64_t>((largest + limit - 1) / limit, 1, 0xFFFF);
    writeBE(frame, info.HeaderOffset + 20, 2, scale);
    writeBE(frame, info.HeaderOffset + 24, 2, perEntry);
    for (std::size_t i = 0; i < entries; ++i)
        writeBE(frame, info.TocOffset + i * info.VbriEntrySize, info.VbriEntrySize,
                std::min<uint64_t>(sizes[i] / scale, limit));
}

void writeExtensionSums(std::span<uint8_t> frame, const TInfoFrame& info, const TInfoCounts& counts) {
    const std::size_t ext = info.ExtensionOffset;
    writeBE(frame, ext + kExtMusicLength, 4, uint64_t(counts.ByteCount));
    writeBE(frame, ext + kExtMusicCrc, 2, counts.MusicCrc);
    writeBE(frame, ext + kExtTagCrc, 2, InfoCrc16(frame.first(ext + kExtTagCrc)));
}

TMPEGFrame silentHeader(const TMPEGFrame& format, uint8_t bitRateIndex) {
    TMPEGFrame frame = format;
    frame.Protected = false;
    frame.Padded = false;
    frame.BitRateIndex = bitRateIndex;
    return frame;
}

std::size_t dataArea(const TMPEGFrame& frame) {
    const std::size_t length = FrameLength(frame);
    const std::size_t head = DataAreaOffset(frame);
    return length > head ? length - head : 0;
}

std::vector<uint8_t> headerBytes(const TMPEGFrame& frame) {
    // At least the header, so that a frame of no length is never written to.
    std::vector<uint8_t> bytes(std::max<std::size_t>(FrameLength(frame), 4), 0);
    bytes[0] = 0xFF;
    bytes[1] = uint8_t(0xE0 | frame.VersionCode << 3 | frame.LayerCode << 1 | (frame.Protected ? 0 : 1));
    bytes[2] = uint8_t(frame.BitRateIndex << 4 | frame.SampleRateIndex << 2 | (frame.Padded ? 2 : 0) |
                       (frame.PrivateBit ? 1 : 0));
    bytes[3] = uint8_t(frame.ModeCode << 6 | frame.ModeExtension << 4 | (frame.Copyright ? 8 : 0) |
                       (frame.Original ? 4 : 0) | frame.EmphasisCode);
    return bytes;
}

} // namespace

namespace {

// Eight tables, so that eight bytes are taken in one step.
uint16_t crc16ByTables(const uint8_t* p, std::size_t n, uint16_t crc) {
    static const auto tables = [] {
        std::array<std::array<uint16_t, 256>, 8> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
            t[0][i] = uint16_t(c);
        }
        for (std::size_t k = 1; k < t.size(); ++k)
            for (std::size_t i = 0; i < 256; ++i)
                t[k][i] = uint16_t(t[k - 1][i] >> 8 ^ t[0][t[k - 1][i] & 0xFF]);
        return t;
    }();
    for (; n >= 8; n -= 8, p += 8) {
        crc = uint16_t(tables[7][(crc ^ p[0]) & 0xFF] ^ tables[6][(crc >> 8 ^ p[1]) & 0xFF] ^ tables[5][p[2]] ^
                       tables[4][p[3]] ^ tables[3][p[4]] ^ tables[2][p[5]] ^ tables[1][p[6]] ^ tables[0][p[7]]);
    }
    for (; n > 0; --n, ++p)
        crc = uint16_t(crc >> 8 ^ tables[0][(crc ^ *p) & 0xFF]);
    return crc;
}

#if defined(__x86_64__)

// Long runs are folded 16 bytes at a time with carry-less multiplication,
// four runs of blocks side by side, down to 16 bytes that leave the same
// remainder; the tables finish those and the tail. Bytes are reflected:
// the first byte's lowest bit is the highest power of x, so a 16-byte
// block loaded little-endian holds A = lo * x^64 + hi, and a product of two
// 64-bit halves comes out as a 128-bit block times x.

// x^n mod (x^16 + x^15 + x^2 + 1), bit d standing for x^d.
uint32_t powerOfX(unsigned n) {
    uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & 0x10000)
            r ^= 0x18005;
    }
    return r;
}

// The pair of factors that moves a block `bits` further on:
// A * x^bits = lo * x^(64 + bits) + hi * x^bits, each less one for the x
// the product brings, as reflected 64-bit halves.
__m128i foldFactors(unsigned bits) {
    const auto reflect = [](uint32_t poly) {
        uint64_t v = 0;
        for (int d = 0; d < 16; ++d)
            if (poly >> d & 1)
                v |= uint64_t(1) << (63 - d);
        return v;
    };
    return _mm_set_epi64x(int64_t(reflect(powerOfX(bits - 1))), int64_t(reflect(powerOfX(64 + bits - 1))));
}

__attribute__((target("pclmul"))) __m128i fold(__m128i block, __m128i factors) {
    return _mm_xor_si128(_mm_clmulepi64_si128(block, factors, 0x00), _mm_clmulepi64_si128(block, factors, 0x11));
}

__attribute__((target("pclmul"))) uint16_t crc16ByFolding(const uint8_t* p, std::size_t n, uint16_t crc) {
    static const __m128i by128 = foldFactors(128);
    static const __m128i by512 = foldFactors(512);
    const auto load = [](const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
    // A running CRC is the same as its two bytes added to the first two.
    __m128i a0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(crc));
    __m128i a1 = load(p + 16);
    __m128i a2 = load(p + 32);
    __m128i a3 = load(p + 48);
    for (p += 64, n -= 64; n >= 64; p += 64, n -= 64) {
        a0 = _mm_xor_si128(fold(a0, by512), load(p));
        a1 = _mm_xor_si128(fold(a1, by512), load(p + 16));
        a2 = _mm_xor_si128(fold(a2, by512), load(p + 32));
        a3 = _mm_xor_si128(fold(a3, by512), load(p + 48));
    }
    __m128i a = _mm_xor_si128(fold(a0, by128), a1);
    a = _mm_xor_si128(fold(a, by128), a2);
    a = _mm_xor_si128(fold(a, by128), a3);
    for (; n >= 16; p += 16, n -= 16)
        a = _mm_xor_si128(fold(a, by128), load(p));
    std::array<uint8_t, 16> rest{};
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rest.data()), a);
    return crc16ByTables(p, n, crc16ByTables(rest.data(), rest.size(), 0));
}

#endif

} // namespace

uint16_t InfoCrc16(std::span<const uint8_t> bytes, uint16_t crc) {
    // The music CRC runs over every byte a join or a cut writes.
#if defined(__x86_64__)
    static const bool folding = __builtin_cpu_supports("pclmul");
    if (folding && bytes.size() >= 64)
        return crc16ByFolding(bytes.data(), bytes.size(), crc);
#endif
    return crc16ByTables(bytes.data(), bytes.size(), crc);
}

bool RewriteInfoFrame(std::span<uint8_t> frame, const TInfoFrame& info, const TInfoCounts& counts, bool keepPadding) {
    if (!info.Found)
        return false;
    const uint64_t frames = counts.FrameLengths.size();
    if (info.IsVBRI) {
        writeBE(frame, info.HeaderOffset + 10, 4, uint64_t(counts.ByteCount));
        writeBE(frame, info.HeaderOffset + 14, 4, frames);
        if (info.HasToc)
            writeVbriToc(frame, info, counts);
        return true;
    }
    std::size_t next = info.HeaderOffset + 8;
    if (info.Flags & kXingHasFrames) {
        writeBE(frame, next, 4, frames);
        next += 4;
    }
    if (info.Flags & kXingHasBytes)
        writeBE(frame, next, 4, uint64_t(counts.ByteCount));
    if (info.HasToc)
        writeXingToc(frame, info, counts);
    if (info.HasExtension) {
        if (!keepPadding)
            writeBE(frame, info.ExtensionOffset + kExtDelayPadding, 3, uint32_t(info.EncoderDelay) << 12);
        writeExtensionSums(frame, info, counts);
    }
    return true;
}

std::size_t InfoFrameLength(const TNewInfoFrame& wanted) {
    const uint8_t index = BitRateIndexForData(wanted.Format, kFullXingSize + kInfoExtensionSize, wanted.BitRateIndex);
    return index == 0 ? 0 : FrameLength(silentHeader(wanted.Format, index));
}

std::vector<uint8_t> BuildInfoFrame(const TNewInfoFrame& wanted, const TInfoCounts& counts) {
    const uint8_t index = BitRateIndexForData(wanted.Format, kFullXingSize + kInfoExtensionSize, wanted.BitRateIndex);
    const TMPEGFrame header = silentHeader(wanted.Format, index);
    std::vector<uint8_t> frame = headerBytes(header);
    const std::size_t at = VBRHeaderOffset(header);
    if (index == 0 || frame.size() < at + kFullXingSize + kInfoExtensionSize)
        return {};
    std::memcpy(frame.data() + at, wanted.Constant ? "Info" : "Xing", 4);
    writeBE(frame, at + 4, 4, kAllXingFields);
    writeBE(frame, at + 116, 4, wanted.Quality);
    const std::size_t ext = at + kFullXingSize;
    if (wanted.Extension.size() >= kInfoExtensionSize) {
        std::memcpy(frame.data() + ext, wanted.Extension.data(), kInfoExtensionSize);
        // Peak and replay gain were measured on the whole source: unknown
        // for a piece.
        std::fill(frame.begin() + long(ext + 11), frame.begin() + long(ext + 19), uint8_t{0});
    } else {
        std::memcpy(frame.data() + ext, "LAME     ", 9);
    }
    writeBE(frame, ext + kExtDelayPadding, 3, uint32_t(wanted.Delay & 0xFFF) << 12 | (wanted.Padding & 0xFFF));
    TInfoFrame info;
    info.Found = true;
    info.HeaderOffset = at;
    info.Flags = kAllXingFields;
    info.HasToc = true;
    info.TocOffset = at + 16;
    info.HasExtension = true;
    info.ExtensionOffset = ext;
    info.EncoderDelay = wanted.Delay;
    RewriteInfoFrame(frame, info, counts, true);
    return frame;
}

uint8_t BitRateIndexForData(const TMPEGFrame& format, std::size_t dataBytes, uint8_t preferred) {
    if (preferred > 0 && preferred < 15 && dataArea(silentHeader(format, preferred)) >= dataBytes)
        return preferred;
    for (uint8_t index = 1; index < 15; ++index)
        if (dataArea(silentHeader(format, index)) >= dataBytes)
            return index;
    return 0;
}

std::vector<uint8_t> BuildSilentFrame(const TMPEGFrame& format, uint8_t bitRateIndex, std::span<const uint8_t> tail) {
    const TMPEGFrame header = silentHeader(format, bitRateIndex);
    if (dataArea(header) < tail.size() || bitRateIndex == 0 || bitRateIndex > 14)
        return {};
    std::vector<uint8_t> frame = headerBytes(header);
    std::copy(tail.begin(), tail.end(), frame.end() - long(tail.size()));
    return frame;
}

} // namespace tindrel
