// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace tindrel::engine {

// Where each channel of a file with more than two sits; WAV and Vorbis
// number their speakers differently.
enum class SpeakerOrder { Wav, Vorbis };

// The engine plays mono as mono and everything else as stereo.
inline int OutputChannels(int fileChannels) {
    return fileChannels == 1 ? 1 : 2;
}

// A float sample (full scale at +-1) as a 16-bit one, clipped; a broken
// stream's NaN is silence.
inline int16_t ToInt16(float sample) {
    const float scaled = sample * 32768.0f;
    if (std::isnan(scaled))
        return 0;
    if (scaled >= 32767.0f)
        return 32767;
    if (scaled <= -32768.0f)
        return -32768;
    return static_cast<int16_t>(scaled < 0 ? scaled - 0.5f : scaled + 0.5f);
}

// Writes `frames` interleaved frames of OutputChannels(channels) 16-bit
// samples from interleaved float input. Surround channels go to their side,
// centre ones to both at -3 dB, LFE nowhere; each side is scaled so that a
// full-scale signal in every channel does not clip.
void MixToOutput(const float* in, int channels, SpeakerOrder order, int16_t* out, std::size_t frames);

} // namespace tindrel::engine
