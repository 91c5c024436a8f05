// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace tindrel::engine {

// Magnitude spectrum of a Hann-windowed block of samples. Scaled so that a
// full-scale sine on a bin centre gives a magnitude of about 1.
class Spectrum {
public:
    // points: an even block length (512 or 2048 here).
    explicit Spectrum(std::size_t points);
    ~Spectrum();
    Spectrum(const Spectrum&) = delete;
    Spectrum& operator=(const Spectrum&) = delete;

    std::size_t points() const { return m_window.size(); }
    // samples: points() values in -1..1; writes points()/2 magnitudes, bin 0
    // (the mean) first.
    void compute(const float* samples, float* magnitudes);

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::vector<float> m_window;
    float m_scale;
};

} // namespace tindrel::engine
