// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/MPEGaudio.h"

#include "tests/mpeg/Ffprobe.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace tindrel {
namespace {

// Every MP3 and MP2 sample made by an encoder agrees with ffprobe on sample
// rate and channel count, and on the duration within three frames: the
// constant-rate formula counts the encoder's info frame and its padding as
// audio, and ffprobe leaves the encoder delay out of a Xing header's count.
TEST(FfprobeCrossCheck, MP3SamplesAgreeWithTheReferenceProber) {
    if (!test::HaveFfprobe())
        GTEST_SKIP() << "ffprobe is not installed";
    std::printf("%-20s %8s %8s %4s %4s %10s %10s\n", "file", "rate", "ffprobe", "ch", "ff", "duration", "ffprobe");
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::TestDataDir() + "/mpeg")) {
        const auto extension = entry.path().extension();
        if (extension != ".mp3" && extension != ".mp2")
            continue;
        const std::string name = entry.path().filename().string();
        TMPEGaudio audio;
        audio.Analyze(entry.path().string());
        ASSERT_TRUE(audio.IsValid()) << name;
        const auto probe = test::Ffprobe(entry.path().string());
        ASSERT_TRUE(probe) << name;
        const unsigned channels = std::string(audio.ChannelModeName()) == "Mono" ? 1 : 2;
        std::printf("%-20s %8u %8u %4u %4u %10.4f %10.4f\n", name.c_str(), audio.SampleRate(), probe->sampleRate,
                    channels, probe->channels, audio.Duration(), probe->duration);
        EXPECT_EQ(audio.SampleRate(), probe->sampleRate) << name;
        EXPECT_EQ(channels, probe->channels) << name;
        const double frameSeconds = SizeCoefficient(audio.FirstFrame()) * 8.0 / audio.SampleRate();
        EXPECT_NEAR(audio.Duration(), probe->duration, 3 * frameSeconds) << name;
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

} // namespace
} // namespace tindrel
