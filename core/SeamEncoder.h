// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/MPEGFrame.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tindrel {

// Encodes the few frames that bridge a seam with libmp3lame, in the
// source's kind (sample rate, channels, channel mode, CRC) at a constant
// bit rate, without the bit reservoir, so that each frame carries all its
// own main data and can stand between frames of another encoding.
class SeamEncoder {
public:
    SeamEncoder(const TMPEGFrame& format, uint16_t kbps);

    // Samples the encoder holds back before its first frame's sound: its
    // input sample i comes out of a decoder at sample i + EncoderDelay() +
    // the decoder's own delay.
    int EncoderDelay() const;
    // Encodes interleaved 16-bit samples (one or two channels, as the
    // format) and returns the frames, whole, in order, the encoder's
    // flush included. Throws std::runtime_error when the encoder refuses.
    std::vector<std::vector<uint8_t>> Encode(std::span<const int16_t> samples) const;

private:
    TMPEGFrame m_format;
    uint16_t m_kbps;
};

// Splits a run of whole frames into frames; a cut-off frame at the end is
// left out.
std::vector<std::vector<uint8_t>> SplitFrames(std::span<const uint8_t> bytes);

} // namespace tindrel
