// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tindrel {

// One step of a Layer III global gain is 1.5 dB: the decoder scales every
// sample of a granule by 2^(gain / 4), and 2^(1/4) is 1.505 dB.
inline constexpr double kGainStepDB = 1.5;

// Step counts for each granule and channel of a frame: [granule][channel].
// MPEG 1 frames have two granules, MPEG 2 and 2.5 frames one; a mono frame
// uses channel 0 only.
using TGainSteps = std::array<std::array<int, 2>, 2>;

// The same step count for every granule and channel.
constexpr TGainSteps UniformGainSteps(int steps) {
    return {{{steps, steps}, {steps, steps}}};
}

struct TGainChange {
    // False when the bytes are no Layer III frame or too short to hold its
    // side information; nothing was written then.
    bool Applied = false;
    // A gain would have left 0..255 and was held at the bound; undoing the
    // change will not restore those granules.
    bool Clamped = false;
};

// The smallest and the largest global gain among a frame's granules.
struct TGainRange {
    uint8_t Min = 255;
    uint8_t Max = 0;
};

// Bytes from the header to the end of the side information of the Layer III
// frame at frame[0]; 0 when those bytes are no Layer III header. Free format
// is accepted: the side information does not depend on the frame length.
std::size_t GainFieldsSize(std::span<const uint8_t> frame);
// 2 for MPEG 1 Layer III, 1 for MPEG 2 and 2.5, 0 for anything else.
int GranuleCount(std::span<const uint8_t> frame);

// Adds steps to the global gain of each granule and channel of the frame
// whose header is at frame[0], held at 0..255. A CRC-protected frame gets a
// CRC that differs from its correct value exactly as the old one did, so a
// sound frame stays sound and a damaged one undoes back to its old bytes.
// No other bit is written.
TGainChange AddGlobalGain(std::span<uint8_t> frame, const TGainSteps& steps);
inline TGainChange AddGlobalGain(std::span<uint8_t> frame, int steps) {
    return AddGlobalGain(frame, UniformGainSteps(steps));
}

// The range of the frame's global gains; nothing for bytes that are no
// Layer III frame.
std::optional<TGainRange> GlobalGainRange(std::span<const uint8_t> frame);

// How loud the loudest granule of a frame can be, from its side information
// alone: its global gain plus the largest value its Huffman tables can
// carry (a value q decodes to q^(4/3) gain steps of 2^(1/4)), in those
// steps. Silent granules (no data bits) are left out, as encoders give them
// any gain; -infinity when all are. Nothing for bytes that are no Layer III
// frame. Scale factors only lower a band, so this bounds it from above.
std::optional<double> LoudestGranuleSteps(std::span<const uint8_t> frame);

// The bytes of main data the granules of the Layer III frame at frame[0]
// hold: their part2_3_length fields summed, rounded up to a byte. What
// follows them in the bit reservoir is stuffing no decoder reads. Nothing
// for bytes that are no Layer III frame.
std::optional<std::size_t> MainDataSize(std::span<const uint8_t> frame);

// The CRC of a protected MPEG audio frame: CRC-16 with polynomial 0x8005,
// most significant bit first, starting at 0xFFFF, over the last two header
// bytes and the side information.
uint16_t FrameCrc16(std::span<const uint8_t> frame, std::size_t sideInfoSize);

} // namespace tindrel
