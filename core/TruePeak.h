// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tindrel {

// The highest peak of a signal between its samples, as a meter sees it by
// oversampling: four times below 96 kHz, twice below 192 kHz. The
// interpolation runs only where it could raise the peak found so far, so
// that measuring costs little beside decoding.
class TruePeakMeter {
public:
    static constexpr int kTaps = 16; // input samples each interpolated value is made of

    TruePeakMeter(int channels, int rate);

    // Interleaved 16-bit frames.
    void add(const int16_t* frames, std::size_t count);
    // The peak so far, 1.0 being full scale.
    double finish() const;

private:
    void addChannel(std::size_t channel, const float* samples, std::size_t count);

    std::size_t m_channels;
    int m_factor;
    // Weights of each phase between two samples (phase 0, the sample itself,
    // needs none).
    std::vector<std::array<float, kTaps>> m_weights;
    // The largest sum of absolute weights of a phase: no interpolated value
    // exceeds the largest input it is made of by more than this factor.
    float m_gainBound = 1;
    std::vector<std::vector<float>> m_buffers;
    std::vector<float> m_plane;
    float m_peak = 0;
};

} // namespace tindrel
