// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/OggVorbis.h"
#include "player/WAVfile.h"
#include "player/WMAfile.h"

#include "tests/mpeg/Ffprobe.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace tindrel {
namespace {

struct Reading {
    bool valid;
    unsigned sampleRate, channels;
    double duration;
    bool durationComparable;
};

Reading ReadSample(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".ogg") {
        TOggVorbis ogg;
        ogg.ReadFromFile(path.string());
        return {ogg.Valid(), ogg.SampleRate(), ogg.Channels(), ogg.Duration(), true};
    }
    if (extension == ".wav") {
        TWAVfile wav;
        wav.ReadFromFile(path.string());
        return {wav.Valid(), wav.SampleRate(), wav.Channels(), wav.Duration(), true};
    }
    // The WMA length is the file size over the maximum bit rate, a rough
    // estimate that is not compared.
    TWMAfile wma;
    wma.ReadFromFile(path.string());
    return {wma.Valid(), wma.SampleRate(), wma.Channels(), wma.Duration(), false};
}

TEST(FfprobeCrossCheck, ReaderSamplesAgreeWithTheReferenceProber) {
    if (!test::HaveFfprobe())
        GTEST_SKIP() << "ffprobe is not installed";
    std::printf("%-20s %8s %8s %4s %4s %10s %10s\n", "file", "rate", "ffprobe", "ch", "ff", "duration", "ffprobe");
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::TestDataDir() + "/player")) {
        const auto extension = entry.path().extension();
        if (extension != ".ogg" && extension != ".wav" && extension != ".wma")
            continue;
        const std::string name = entry.path().filename().string();
        const Reading reading = ReadSample(entry.path());
        ASSERT_TRUE(reading.valid) << name;
        const auto probe = test::Ffprobe(entry.path().string());
        ASSERT_TRUE(probe) << name;
        std::printf("%-20s %8u %8u %4u %4u %10.4f %10.4f\n", name.c_str(), reading.sampleRate, probe->sampleRate,
                    reading.channels, probe->channels, reading.duration, probe->duration);
        EXPECT_EQ(reading.sampleRate, probe->sampleRate) << name;
        EXPECT_EQ(reading.channels, probe->channels) << name;
        if (reading.durationComparable) {
            EXPECT_NEAR(reading.duration, probe->duration, 0.001) << name;
        }
        ++checked;
    }
    EXPECT_GE(checked, 6);
}

} // namespace
} // namespace tindrel
