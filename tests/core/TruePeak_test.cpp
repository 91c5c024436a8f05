// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/TruePeak.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tindrel {
namespace {

// Sines whose samples miss their crests: a quarter of the rate sampled 45
// degrees off the crest shows 3 dB less than it plays. The meter finds the
// crest at each rate's oversampling, and a quiet stretch after a loud one
// (which it skips) does not hide a later, louder one.
TEST(TruePeak, FindsCrestsBetweenSamples) {
    const struct {
        int rate;
        double cycle; // samples a period
        double amplitude;
    } cases[] = {{44100, 4, 0.5}, {48000, 4, 0.9}, {96000, 4, 0.7}, {44100, 9.3, 0.8}, {192000, 64, 0.6}};
    for (const auto& c : cases) {
        TruePeakMeter meter(2, c.rate);
        std::vector<int16_t> frames;
        // Levels change in slow ramps: a sudden change would itself ring
        // above the level.
        double level = c.amplitude / 2;
        const auto tone = [&](double to, int count) {
            for (int i = 0; i < count; ++i) {
                level += (to - level) / (count - i);
                const double v = level * std::sin(2 * M_PI * double(frames.size() / 2) / c.cycle + M_PI / 4);
                frames.push_back(int16_t(std::lround(v * 32767)));
                frames.push_back(0);
            }
        };
        tone(c.amplitude / 2, 20000);
        tone(0.01, 3000);
        tone(0.01, 30000);
        tone(c.amplitude, 3000);
        tone(c.amplitude, 20000);
        for (std::size_t at = 0; at < frames.size(); at += 2 * 999)
            meter.add(frames.data() + at, std::min<std::size_t>(999, (frames.size() - at) / 2));
        EXPECT_NEAR(20 * std::log10(meter.finish()), 20 * std::log10(c.amplitude), 0.1) << c.rate << " " << c.cycle;
    }
}

} // namespace
} // namespace tindrel
