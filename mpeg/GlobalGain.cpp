// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/GlobalGain.h"

#include "mpeg/FrameHeader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tindrel {
namespace {

// part2_3_length (12 bits) and big_values (9 bits) stand before the gain in
// each granule's channel record.
constexpr unsigned kGainOffsetInRecord = 21;

// Where the global gains of one kind of Layer III frame stand.
struct GainLayout {
    bool Valid = false;
    int Granules = 0;
    int Channels = 0;
    bool Protected = false;
    std::size_t SideInfoStart = 0;
    std::size_t SideInfoSize = 0;
    unsigned FirstRecordBit = 0; // from the start of the side information
    unsigned RecordBits = 0;

    std::size_t FieldsSize() const { return SideInfoStart + SideInfoSize; }
    std::size_t GainBit(int granule, int channel) const {
        return SideInfoStart * 8 + FirstRecordBit + unsigned(granule * Channels + channel) * RecordBits +
               kGainOffsetInRecord;
    }
};

GainLayout layoutOf(std::span<const uint8_t> frame) {
    GainLayout layout;
    // Free format is taken: the side information does not depend on the
    // frame's length.
    if (frame.size() < 4 || !IsFrameHeader(frame.data(), true))
        return layout;
    TMPEGFrame header;
    DecodeFrameHeader(frame.data(), header);
    if (header.LayerCode != kLayerIII)
        return layout;
    layout.Protected = header.Protected;
    layout.SideInfoStart = SideInfoOffset(header);
    layout.SideInfoSize = SideInfoSize(header);
    layout.Channels = header.ModeCode == kModeMono ? 1 : 2;
    const bool mono = layout.Channels == 1;
    if (header.VersionCode == kMPEG1) {
        // main_data_begin 9, private bits 5 or 3, scfsi 4 per channel.
        layout.Granules = 2;
        layout.FirstRecordBit = 9 + (mono ? 5 : 3) + 4 * unsigned(layout.Channels);
        layout.RecordBits = 59;
    } else {
        // main_data_begin 8, private bits 1 or 2, no scfsi; the records carry
        // a 9-bit scalefac_compress instead of 4 bits.
        layout.Granules = 1;
        layout.FirstRecordBit = 8 + (mono ? 1 : 2);
        layout.RecordBits = 63;
    }
    layout.Valid = frame.size() >= layout.FieldsSize();
    return layout;
}

// A gain never straddles more than two bytes.
uint8_t readGain(std::span<const uint8_t> frame, std::size_t bit) {
    const unsigned pair = unsigned(frame[bit / 8]) << 8 | frame[bit / 8 + 1];
    return uint8_t(pair >> (8 - bit % 8));
}

void writeGain(std::span<uint8_t> frame, std::size_t bit, uint8_t gain) {
    const unsigned shift = 8 - unsigned(bit % 8);
    const unsigned mask = 0xFFu << shift;
    unsigned pair = unsigned(frame[bit / 8]) << 8 | frame[bit / 8 + 1];
    pair = (pair & ~mask) | (unsigned(gain) << shift);
    frame[bit / 8] = uint8_t(pair >> 8);
    frame[bit / 8 + 1] = uint8_t(pair);
}

// Up to 16 bits of the frame from bit on, reading no byte past them.
unsigned readBits(std::span<const uint8_t> frame, std::size_t bit, unsigned count) {
    const std::size_t last = bit + count - 1;
    unsigned bytes = 0;
    for (std::size_t at = bit / 8; at <= last / 8; ++at)
        bytes = bytes << 8 | frame[at];
    return bytes >> (7 - last % 8) & ((1u << count) - 1);
}

// The largest value each of the 32 Huffman tables carries; tables 16 to 31
// add linbits to 15.
constexpr std::array<unsigned, 32> kTableLargest{0,    1,    2,  2,  0,  3,   3,   5,   5,    5,   7,
                                                 7,    7,    15, 0,  15, 16,  18,  22,  30,   78,  270,
                                                 1038, 8206, 30, 46, 78, 142, 270, 526, 2062, 8206};

// The largest value any table of a granule's record may carry: 1 when only
// the small values at the top of the spectrum are coded.
unsigned largestValue(std::span<const uint8_t> frame, std::size_t gainBit, bool mpeg1) {
    const std::size_t switchBit = gainBit + 8 + (mpeg1 ? 4 : 9);
    const bool switched = readBits(frame, switchBit, 1) != 0;
    const std::size_t tablesBit = switchBit + 1 + (switched ? 3 : 0);
    unsigned largest = 1;
    for (unsigned region = 0; region < (switched ? 2u : 3u); ++region)
        largest = std::max(largest, kTableLargest[readBits(frame, tablesBit + 5 * region, 5)]);
    return largest;
}

uint16_t crcStep(uint16_t crc, uint8_t byte) {
    crc ^= uint16_t(byte << 8);
    for (int i = 0; i < 8; ++i)
        crc = (crc & 0x8000) ? uint16_t(crc << 1 ^ 0x8005) : uint16_t(crc << 1);
    return crc;
}

} // namespace

std::size_t GainFieldsSize(std::span<const uint8_t> frame) {
    const GainLayout layout = layoutOf(frame.first(std::min<std::size_t>(frame.size(), 4)));
    return layout.Granules == 0 ? 0 : layout.FieldsSize();
}

int GranuleCount(std::span<const uint8_t> frame) {
    return layoutOf(frame.first(std::min<std::size_t>(frame.size(), 4))).Granules;
}

uint16_t FrameCrc16(std::span<const uint8_t> frame, std::size_t sideInfoSize) {
    uint16_t crc = 0xFFFF;
    crc = crcStep(crcStep(crc, frame[2]), frame[3]);
    for (std::size_t i = 0; i < sideInfoSize; ++i)
        crc = crcStep(crc, frame[6 + i]);
    return crc;
}

TGainChange AddGlobalGain(std::span<uint8_t> frame, const TGainSteps& steps) {
    const GainLayout layout = layoutOf(frame);
    TGainChange change;
    if (!layout.Valid)
        return change;
    const uint16_t crcBefore = layout.Protected ? FrameCrc16(frame, layout.SideInfoSize) : 0;
    for (int granule = 0; granule < layout.Granules; ++granule) {
        for (int channel = 0; channel < layout.Channels; ++channel) {
            const std::size_t bit = layout.GainBit(granule, channel);
            const int wanted = readGain(frame, bit) + steps[std::size_t(granule)][std::size_t(channel)];
            const int held = wanted < 0 ? 0 : wanted > 255 ? 255 : wanted;
            change.Clamped = change.Clamped || held != wanted;
            writeGain(frame, bit, uint8_t(held));
        }
    }
    if (layout.Protected) {
        // The CRC is affine in the bytes it covers: adding the change of the
        // correct value keeps whatever error the stored value had.
        const uint16_t stored = uint16_t(frame[4] << 8 | frame[5]);
        const uint16_t updated = uint16_t(stored ^ crcBefore ^ FrameCrc16(frame, layout.SideInfoSize));
        frame[4] = uint8_t(updated >> 8);
        frame[5] = uint8_t(updated);
    }
    change.Applied = true;
    return change;
}

std::optional<TGainRange> GlobalGainRange(std::span<const uint8_t> frame) {
    const GainLayout layout = layoutOf(frame);
    if (!layout.Valid)
        return std::nullopt;
    TGainRange range;
    for (int granule = 0; granule < layout.Granules; ++granule) {
        for (int channel = 0; channel < layout.Channels; ++channel) {
            const uint8_t gain = readGain(frame, layout.GainBit(granule, channel));
            range.Min = std::min(range.Min, gain);
            range.Max = std::max(range.Max, gain);
        }
    }
    return range;
}

std::optional<std::size_t> MainDataSize(std::span<const uint8_t> frame) {
    const GainLayout layout = layoutOf(frame);
    if (!layout.Valid)
        return std::nullopt;
    std::size_t bits = 0;
    for (int granule = 0; granule < layout.Granules; ++granule)
        for (int channel = 0; channel < layout.Channels; ++channel)
            bits += readBits(frame, layout.GainBit(granule, channel) - kGainOffsetInRecord, 12);
    return (bits + 7) / 8;
}

std::optional<double> LoudestGranuleSteps(std::span<const uint8_t> frame) {
    const GainLayout layout = layoutOf(frame);
    if (!layout.Valid)
        return std::nullopt;
    double loudest = -std::numeric_limits<double>::infinity();
    for (int granule = 0; granule < layout.Granules; ++granule) {
        for (int channel = 0; channel < layout.Channels; ++channel) {
            const std::size_t gainBit = layout.GainBit(granule, channel);
            if (readBits(frame, gainBit - kGainOffsetInRecord, 12) == 0)
                continue; // part2_3_length: no data bits
            const unsigned largest = largestValue(frame, gainBit, layout.Granules == 2);
            loudest = std::max(loudest, readGain(frame, gainBit) + 16.0 / 3.0 * std::log2(double(largest)));
        }
    }
    return loudest;
}

} // namespace tindrel
