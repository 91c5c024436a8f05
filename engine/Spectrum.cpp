// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Spectrum.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <numbers>

#include <kiss_fftr.h>

namespace tindrel::engine {

struct Spectrum::State {
    kiss_fftr_cfg config = nullptr;
    std::vector<kiss_fft_scalar> input;
    std::vector<kiss_fft_cpx> output;
    ~State() { kiss_fftr_free(config); }
};

Spectrum::Spectrum(std::size_t points) : m_state(std::make_unique<State>()), m_window(points) {
    m_state->config = kiss_fftr_alloc(static_cast<int>(points), 0, nullptr, nullptr);
    if (!m_state->config)
        throw std::bad_alloc();
    m_state->input.resize(points);
    m_state->output.resize(points / 2 + 1);
    double sum = 0.0;
    for (std::size_t i = 0; i < points; ++i) {
        m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / points));
        sum += m_window[i];
    }
    // A sine of amplitude A gives a peak of A * sum / 2.
    m_scale = static_cast<float>(2.0 / sum);
}

Spectrum::~Spectrum() = default;

void Spectrum::compute(const float* samples, float* magnitudes) {
    const std::size_t n = m_window.size();
    for (std::size_t i = 0; i < n; ++i)
        m_state->input[i] = samples[i] * m_window[i];
    kiss_fftr(m_state->config, m_state->input.data(), m_state->output.data());
    for (std::size_t k = 0; k < n / 2; ++k) {
        const kiss_fft_cpx c = m_state->output[k];
        magnitudes[k] = std::sqrt(c.r * c.r + c.i * c.i) * m_scale;
    }
}

} // namespace tindrel::engine
