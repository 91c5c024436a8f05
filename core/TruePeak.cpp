// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/TruePeak.h"

#include <algorithm>
#include <cmath>

namespace tindrel {
namespace {

// Interpolated values are looked at in blocks of this many positions; a
// block whose inputs cannot lift the peak is skipped.
constexpr std::size_t kBlock = 128;
constexpr int kHalf = TruePeakMeter::kTaps / 2;

// A Kaiser-windowed sinc at the original rate's Nyquist frequency.
double weight(double t) {
    if (std::abs(t) >= kHalf)
        return 0;
    const double sinc = t == 0 ? 1.0 : std::sin(M_PI * t) / (M_PI * t);
    const double beta = 6.0;
    const double r = t / kHalf;
    return sinc * std::cyl_bessel_i(0.0, beta * std::sqrt(1 - r * r)) / std::cyl_bessel_i(0.0, beta);
}

} // namespace

TruePeakMeter::TruePeakMeter(int channels, int rate)
    : m_channels(std::size_t(std::max(channels, 1))), m_factor(rate < 96000    ? 4
                                                               : rate < 192000 ? 2
                                                                               : 1),
      m_buffers(m_channels, std::vector<float>(kTaps - 1, 0.0f)) {
    for (int p = 1; p < m_factor; ++p) {
        const double d = double(p) / m_factor;
        std::array<float, kTaps> w{};
        float sum = 0;
        // Input m stands at offset m - (kHalf - 1) from the sample before the
        // interpolated position.
        for (int m = 0; m < kTaps; ++m) {
            w[std::size_t(m)] = float(weight(d - (m - (kHalf - 1))));
            sum += std::abs(w[std::size_t(m)]);
        }
        m_gainBound = std::max(m_gainBound, sum);
        m_weights.push_back(w);
    }
}

void TruePeakMeter::add(const int16_t* frames, std::size_t count) {
    m_plane.resize(count);
    for (std::size_t c = 0; c < m_channels; ++c) {
        for (std::size_t i = 0; i < count; ++i)
            m_plane[i] = float(frames[i * m_channels + c]) / 32768.0f;
        addChannel(c, m_plane.data(), count);
    }
}

void TruePeakMeter::addChannel(std::size_t channel, const float* samples, std::size_t count) {
    std::vector<float>& buf = m_buffers[channel];
    buf.insert(buf.end(), samples, samples + count);
    // Position j interpolates between buf[j] and buf[j + 1] from
    // buf[j - kHalf + 1 .. j + kHalf].
    const std::size_t first = kHalf - 1;
    const std::size_t end = buf.size() - kHalf;
    for (std::size_t block = first; block < end; block += kBlock) {
        const std::size_t blockEnd = std::min(end, block + kBlock);
        float loudest = 0;
        for (std::size_t i = block - first; i < blockEnd + kHalf; ++i)
            loudest = std::max(loudest, std::abs(buf[i]));
        m_peak = std::max(m_peak, loudest);
        if (loudest * m_gainBound <= m_peak)
            continue;
        for (std::size_t j = block; j < blockEnd; ++j) {
            const float* in = &buf[j - first];
            for (const auto& w : m_weights) {
                float y = 0;
                for (int m = 0; m < kTaps; ++m)
                    y += w[std::size_t(m)] * in[m];
                m_peak = std::max(m_peak, std::abs(y));
            }
        }
    }
    buf.erase(buf.begin(), buf.end() - (kTaps - 1));
}

double TruePeakMeter::finish() const {
    // The last positions would need samples after the end. Taking those as
    // silence would ring where a file stops short, a peak no player makes,
    // so they are left out, as other meters leave them out.
    return m_peak;
}

} // namespace tindrel
