// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tindrel::engine::test {

// A sine of known frequency and length; frame i of channel c is
// amplitude * sin(2 pi f i / rate), negated on the right channel so that
// channel mix-ups show.
class SineDecoder final : public Decoder {
public:
    SineDecoder(int rate, int channels, double frequency, int64_t length, double amplitude = 16384.0)
        : m_rate(rate), m_channels(channels), m_frequency(frequency), m_length(length), m_amplitude(amplitude) {}

    int16_t sample(int64_t frame, int channel) const {
        const double v = m_amplitude * std::sin(2.0 * std::numbers::pi * m_frequency * frame / m_rate);
        return static_cast<int16_t>(std::lrint(channel == 0 ? v : -v));
    }

    int rate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    std::size_t read(int16_t* out, std::size_t frames) override {
        const int64_t n = std::min<int64_t>(static_cast<int64_t>(frames), m_length - m_next);
        for (int64_t i = 0; i < n; ++i, ++m_next)
            for (int c = 0; c < m_channels; ++c)
                out[i * m_channels + c] = sample(m_next, c);
        ++reads;
        return static_cast<std::size_t>(std::max<int64_t>(n, 0));
    }
    bool finished() const override { return m_next >= m_length; }
    bool seek(int64_t frame) override {
        m_next = frame;
        return true;
    }
    int64_t lengthFrames() const override { return m_length; }

    int reads = 0;

private:
    int m_rate;
    int m_channels;
    double m_frequency;
    int64_t m_length;
    double m_amplitude;
    int64_t m_next = 0;
};

} // namespace tindrel::engine::test
