// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/WAVfile.h"

#include "tests/player/LittleEndianBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tindrel {
namespace {

using test::Bytes;
using test::Put16;
using test::Put32;
using test::TempDir;

// A 44-byte header as sox and most tools write it, then dataBytes of silence.
Bytes WavFile(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataBytes) {
    Bytes bytes(44 + dataBytes, 0);
    test::PutText(bytes, 0, "RIFF");
    Put32(bytes, 4, 36 + dataBytes);
    test::PutText(bytes, 8, "WAVEfmt ");
    Put32(bytes, 16, 16);
    Put16(bytes, 20, 1);
    Put16(bytes, 22, channels);
    Put32(bytes, 24, rate);
    Put32(bytes, 28, rate * channels * bits / 8);
    Put16(bytes, 32, uint16_t(channels * bits / 8));
    Put16(bytes, 34, bits);
    test::PutText(bytes, 36, "data");
    Put32(bytes, 40, dataBytes);
    return bytes;
}

TEST(WAVfile, ReadsTheEncoderSamples) {
    struct Case {
        const char* name;
        uint8_t channels;
        uint16_t rate;
        uint8_t bits;
        double seconds;
    };
    const Case cases[] = {{"mono22_16.wav", 1, 22050, 16, 1.0}, {"stereo8k_8.wav", 2, 8000, 8, 1.5}};
    for (const auto& c : cases) {
        const std::string path = test::TestDataDir() + "/player/" + c.name;
        TWAVfile wav;
        ASSERT_TRUE(wav.ReadFromFile(path)) << c.name;
        EXPECT_TRUE(wav.Valid()) << c.name;
        EXPECT_EQ(wav.Channels(), c.channels) << c.name;
        EXPECT_EQ(wav.SampleRate(), c.rate) << c.name;
        EXPECT_EQ(wav.BitsPerSample(), c.bits) << c.name;
        EXPECT_EQ(wav.FileSize(), int64_t(std::filesystem::file_size(path))) << c.name;
        EXPECT_DOUBLE_EQ(wav.Duration(), c.seconds) << c.name;
    }
}

TEST(WAVfile, OneSecondOfCDAudioLastsOneSecond) {
    TempDir dir;
    TWAVfile wav;
    ASSERT_TRUE(wav.ReadFromFile(dir.write("cd.wav", WavFile(2, 44100, 16, 176'400))));
    EXPECT_TRUE(wav.Valid());
    EXPECT_EQ(wav.FileSize(), 44 + 176'400);
    EXPECT_DOUBLE_EQ(wav.Duration(), 1.0);
}

TEST(WAVfile, RejectsWhatIsNotAShortWaveHeader) {
    struct Case {
        const char* what;
        Bytes bytes;
        bool result;
    };
    const Bytes header = WavFile(2, 44100, 16, 0);
    Bytes notRiff = WavFile(2, 44100, 16, 100);
    test::PutText(notRiff, 0, "RIFX");
    Bytes notWave = WavFile(2, 44100, 16, 100);
    test::PutText(notWave, 8, "AVI ");
    Bytes listFirst = WavFile(2, 44100, 16, 100);
    test::PutText(listFirst, 12, "LIST");
    const Case cases[] = {
        {"three channels", WavFile(3, 44100, 16, 100), true},
        {"no channels", WavFile(0, 44100, 16, 100), true},
        {"big-endian RIFX", notRiff, true},
        {"not WAVE", notWave, true},
        {"a chunk before fmt", listFirst, true},
        {"43 bytes", Bytes(header.begin(), header.begin() + 43), false},
        {"empty", Bytes{}, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        TWAVfile wav;
        // A valid read first, so that stale fields would show.
        ASSERT_TRUE(wav.ReadFromFile(dir.write("good.wav", WavFile(2, 44100, 16, 176'400))));
        EXPECT_EQ(wav.ReadFromFile(dir.write("case.wav", c.bytes)), c.result) << c.what;
        EXPECT_FALSE(wav.Valid()) << c.what;
        EXPECT_EQ(wav.Channels(), 0) << c.what;
        EXPECT_EQ(wav.FileSize(), 0) << c.what;
        EXPECT_EQ(wav.Duration(), 0.0) << c.what;
    }
    TWAVfile wav;
    EXPECT_FALSE(wav.ReadFromFile("/nonexistent/folder/x.wav"));
}

TEST(WAVfile, FieldsThatWouldDivideByZeroGiveNoLength) {
    struct Case {
        const char* what;
        uint32_t rate;
        uint16_t bits;
        uint32_t riffSize; // 0: as written by WavFile
        double seconds;
    };
    const Case cases[] = {
        {"rate of 65536: its low 16 bits are 0", 65536, 16, 0, 0.0},
        {"rate above 16 bits keeps its low part", 65536 + 8000, 8, 0, 8000.0 * 8 / 8000 / 8 / 2},
        {"zero bits per sample", 44100, 0, 0, 0.0},
        {"RIFF size below the header", 44100, 16, 20, 0.0},
        {"RIFF size near 4 GiB does not wrap", 1000, 8, 0xFFFFFFF0u, (0xFFFFFFF8 - 44) * 8.0 / 1000 / 8 / 2},
    };
    for (const auto& c : cases) {
        Bytes bytes = WavFile(2, c.rate, c.bits, 8000);
        if (c.riffSize != 0)
            Put32(bytes, 4, c.riffSize);
        TempDir dir;
        TWAVfile wav;
        ASSERT_TRUE(wav.ReadFromFile(dir.write("odd.wav", bytes))) << c.what;
        EXPECT_TRUE(wav.Valid()) << c.what;
        EXPECT_DOUBLE_EQ(wav.Duration(), c.seconds) << c.what;
    }
}

} // namespace
} // namespace tindrel
