// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Spectrum.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace tindrel::engine {
namespace {

TEST(Spectrum, SineOnABinCentrePeaksThereWithItsAmplitude) {
    struct Case {
        std::size_t points;
        double bin;
        float amplitude;
    };
    for (const Case& c : {Case{512, 12, 1.0f}, Case{512, 100, 0.5f}, Case{2048, 46, 0.25f}, Case{2048, 700, 1.0f}}) {
        std::vector<float> samples(c.points);
        for (std::size_t i = 0; i < c.points; ++i)
            samples[i] = c.amplitude * static_cast<float>(std::sin(2.0 * std::numbers::pi * c.bin * i / c.points));
        std::vector<float> magnitudes(c.points / 2);
        Spectrum spectrum(c.points);
        spectrum.compute(samples.data(), magnitudes.data());
        const auto peak = std::max_element(magnitudes.begin(), magnitudes.end()) - magnitudes.begin();
        EXPECT_EQ(peak, static_cast<long>(c.bin)) << c.points;
        EXPECT_NEAR(magnitudes[peak], c.amplitude, 0.01) << c.points;
        // The Hann window keeps the leak to the neighbours (half) and no further.
        EXPECT_NEAR(magnitudes[peak + 1], c.amplitude / 2, 0.01);
        EXPECT_LT(magnitudes[peak + 3], c.amplitude * 1e-3);
    }
}

TEST(Spectrum, SilenceAndConstantsStayInBinZero) {
    Spectrum spectrum(512);
    std::vector<float> samples(512, 0.25f);
    std::vector<float> magnitudes(256);
    spectrum.compute(samples.data(), magnitudes.data());
    EXPECT_NEAR(magnitudes[0], 0.5f, 0.01) << "the mean, doubled like every other bin";
    for (std::size_t k = 2; k < 256; ++k)
        ASSERT_LT(magnitudes[k], 1e-4) << k;
}

} // namespace
} // namespace tindrel::engine
