// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Downmix.h"
#include "engine/FileDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace tindrel::engine {
namespace {

// The amplitude (full scale 1) of a tone of freq Hz in one output channel,
// over whole cycles of it.
double toneLevel(const std::vector<int16_t>& pcm, int channel, double freq, int rate) {
    const std::size_t frames = pcm.size() / 2;
    double re = 0, im = 0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double phase = 2 * std::numbers::pi * freq * double(n) / rate;
        const double sample = pcm[2 * n + std::size_t(channel)] / 32768.0;
        re += sample * std::cos(phase);
        im += sample * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / double(frames);
}

// A 5.1 WAV (made by sox) with a tone of its own in each channel, at half
// scale: each side takes its front and back channel whole and the centre
// at -3 dB, scaled by their sum (1 + 0.7071 + 1); the LFE goes nowhere.
TEST(Downmix, EachChannelOfA51WavReachesItsOwnSide) {
    const struct {
        const char* channel;
        double freq;
        double left, right;
    } cases[] = {
        {"front left", 200, 0.1847, 0},  {"front right", 300, 0, 0.1847},
        {"centre", 500, 0.1306, 0.1306}, {"LFE", 60, 0, 0},
        {"back left", 700, 0.1847, 0},   {"back right", 1100, 0, 0.1847},
    };
    auto decoder = OpenFileDecoder(std::string(TINDREL_ENGINE_DATA) + "/wav_51_tones.wav");
    ASSERT_EQ(decoder->channels(), 2);
    std::vector<int16_t> pcm(800 * 2);
    ASSERT_EQ(decoder->read(pcm.data(), 800), 800u);
    for (const auto& c : cases) {
        EXPECT_NEAR(toneLevel(pcm, 0, c.freq, 8000), c.left, 0.002) << c.channel << " on the left";
        EXPECT_NEAR(toneLevel(pcm, 1, c.freq, 8000), c.right, 0.002) << c.channel << " on the right";
    }
}

// A broken float stream (WAV, Vorbis) can hold NaN and infinities: NaN is
// silence, infinities clip, never a conversion the language leaves open.
TEST(Downmix, FloatSamplesOutsideTheScaleClipAndNaNIsSilence) {
    const struct {
        float in;
        int16_t out;
    } cases[] = {
        {0.5f, 16384},
        {-1.0f, -32768},
        {1.0f, 32767},
        {std::numeric_limits<float>::infinity(), 32767},
        {-std::numeric_limits<float>::infinity(), -32768},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {-std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToInt16(c.in), c.out) << c.in;
}

} // namespace
} // namespace tindrel::engine
