// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/LosslessGain.h"

#include "mpeg/FrameWalk.h"
#include "platform/FileStream.h"
#include "tags/APEv2.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace tindrel {
namespace {

using test::Bytes;
using test::TempDir;

double rmsLevel(const std::string& path) {
    const std::string out = test::CommandOutput("ffmpeg -nostdin -hide_banner -i '" + path +
                                                "' -af astats=measure_perchannel=none:measure_overall=RMS_level "
                                                "-f null - 2>&1 | grep 'RMS level dB'");
    const std::size_t at = out.find("dB:");
    return at == std::string::npos ? NAN : std::atof(out.c_str() + at + 3);
}

// Whether every byte that differs between two files' first count bytes lies
// behind the header of one of the frames, within its side information.
bool onlySideInfoDiffers(const std::string& path, const Bytes& a, const Bytes& b, std::size_t count) {
    const FileStream file = FileStream::openRead(path);
    const TFrameWalk walk = WalkFrames(file, 0, int64_t(count));
    std::vector<bool> mayDiffer(count, false);
    for (const TFrameSpan& frame : walk.Frames)
        for (std::size_t i = 4; i < 4 + 2 + 32 && frame.Offset + int64_t(i) < int64_t(count); ++i)
            mayDiffer[std::size_t(frame.Offset) + i] = true;
    for (std::size_t i = 0; i < count; ++i)
        if (a[i] != b[i] && !mayDiffer[i])
            return false;
    return true;
}

std::string copied(const TempDir& dir, const char* name) {
    const std::string path = dir.file(name);
    std::filesystem::copy_file(test::TestDataDir() + "/mpeg/" + name, path);
    return path;
}

// -4.5 dB as three steps: the decoded sound drops by that much, only side
// information changes (the gains and, in protected frames, the CRC), the
// undo record goes between the audio and the ID3v1 block, and the undo
// gives the file's bytes back.
TEST(LosslessGain, ApplyingStepsIsLosslessAndUndoes) {
    if (std::system("command -v ffmpeg >/dev/null") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    const TempDir dir;
    for (const char* name : {"cbr128_tags.mp3", "crc_stereo.mp3", "mpeg2_mono_crc.mp3", "vbr_xing.mp3"}) {
        const std::string mp3 = copied(dir, name);
        const Bytes source = test::ReadFileBytes(mp3);
        const double level = rmsLevel(mp3);
        const TGainApplied applied = ApplyGain(mp3, GainSteps(-4.5));
        EXPECT_EQ(applied.Steps, -3);
        EXPECT_FALSE(applied.Clamped);
        EXPECT_NEAR(level - rmsLevel(mp3), 4.5, 0.05) << name;

        const Bytes changed = test::ReadFileBytes(mp3);
        const bool v1 = std::string(source.end() - 128, source.end() - 125) == "TAG";
        const std::size_t audio = source.size() - (v1 ? 128 : 0);
        ASSERT_GT(changed.size(), source.size()) << name;
        EXPECT_TRUE(onlySideInfoDiffers(mp3, source, changed, audio)) << name;
        EXPECT_TRUE(
            std::equal(source.begin() + long(audio), source.end(), changed.end() - long(source.size() - audio)));
        TAPEv2 ape;
        const FileStream file = FileStream::openRead(mp3);
        ASSERT_TRUE(ape.Load(file.fd(), int64_t(changed.size() - (source.size() - audio))));
        EXPECT_EQ(ape.Value(kGainUndoKey), "+003,+003,N");

        EXPECT_TRUE(UndoGain(mp3));
        EXPECT_EQ(test::ReadFileBytes(mp3), source) << name;
        EXPECT_FALSE(UndoGain(mp3));
    }
}

// The other lossless gain tool takes back Tindrel's change and Tindrel
// takes back the other's; both see the same range of global gains.
TEST(LosslessGain, EitherToolUndoesTheOthersChange) {
    if (std::system("command -v mp3gain >/dev/null") != 0)
        GTEST_SKIP() << "mp3gain is not installed";
    const TempDir dir;
    // Its analysis cannot decode the protected sample (it stops at the
    // encoder's info frame), so the range is compared on the others.
    const struct {
        const char* name;
        bool analysed;
    } files[] = {{"cbr128_tags.mp3", true}, {"crc_stereo.mp3", false}, {"mpeg2_22k.mp3", true}};
    for (const auto& [name, analysed] : files) {
        const std::string mp3 = copied(dir, name);
        const Bytes source = test::ReadFileBytes(mp3);
        const bool v1 = std::string(source.end() - 128, source.end() - 125) == "TAG";
        const std::size_t audio = source.size() - (v1 ? 128 : 0);

        ApplyGain(mp3, 2);
        test::CommandOutput("mp3gain -q -u '" + mp3 + "'");
        const Bytes undone = test::ReadFileBytes(mp3);
        EXPECT_TRUE(std::equal(source.begin(), source.begin() + long(audio), undone.begin())) << name;

        std::filesystem::copy_file(test::TestDataDir() + "/mpeg/" + name, mp3,
                                   std::filesystem::copy_options::overwrite_existing);
        test::CommandOutput("mp3gain -q -g -3 '" + mp3 + "'");
        EXPECT_NE(test::ReadFileBytes(mp3), source);
        EXPECT_TRUE(UndoGain(mp3));
        EXPECT_EQ(test::ReadFileBytes(mp3), source) << name;

        if (!analysed)
            continue;
        test::CommandOutput("mp3gain -q '" + mp3 + "'");
        TAPEv2 ape;
        const FileStream file = FileStream::openRead(mp3);
        ASSERT_TRUE(ape.Load(file.fd(), file.size() - int64_t(source.size() - audio))) << name;
        const auto range = FileGainRange(mp3);
        ASSERT_TRUE(range.has_value());
        char text[16];
        std::snprintf(text, sizeof text, "%03d,%03d", range->Min, range->Max);
        EXPECT_EQ(ape.Value(kGainRangeKey), text) << name;

        // Both tools change the same file alike, its items included.
        const std::string twin = dir.file("twin.mp3");
        std::filesystem::copy_file(mp3, twin, std::filesystem::copy_options::overwrite_existing);
        ApplyGain(mp3, 1);
        test::CommandOutput("mp3gain -q -g 1 '" + twin + "'");
        const auto items = [&](const std::string& path) {
            TAPEv2 tag;
            const FileStream in = FileStream::openRead(path);
            EXPECT_TRUE(tag.Load(in.fd(), in.size() - int64_t(source.size() - audio)));
            return tag;
        };
        const TAPEv2 ours = items(mp3), theirs = items(twin);
        for (const char* key : {kGainUndoKey, kGainRangeKey})
            EXPECT_EQ(ours.Value(key), theirs.Value(key)) << name << " " << key;
        // (Its gain item moves by 1.0 dB a step in some files and by 1.505
        // in others; Tindrel's always by the step's 1.505 dB.)
        EXPECT_NEAR(std::atof(ours.Value("REPLAYGAIN_TRACK_PEAK").c_str()),
                    std::atof(theirs.Value("REPLAYGAIN_TRACK_PEAK").c_str()), 0.00001)
            << name;
    }
}

// ReplayGain frames a scanner wrote follow a change of the gain and its
// undo, as a tagging library reads them: players would otherwise add the
// change twice.
TEST(LosslessGain, ReplayGainFramesFollowTheChange) {
    if (std::system("/usr/bin/python3 -c 'import mutagen' 2>/dev/null") != 0)
        GTEST_SKIP() << "mutagen is not installed";
    const TempDir dir;
    const std::string mp3 = copied(dir, "cbr128_tags.mp3");
    const TLoudness album{-20.0, 0.5, 0.51};
    ASSERT_TRUE(WriteReplayGainTags(mp3, {-11.48, 0.9, 0.988553}, &album));
    const auto frames = [&] {
        return test::CommandOutput("/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3; "
                                   "[print(f.desc, f.text[0]) for f in ID3(sys.argv[1]).getall('TXXX')]\" '" +
                                   mp3 + "'");
    };
    ApplyGain(mp3, -2);
    EXPECT_EQ(frames(), "REPLAYGAIN_TRACK_GAIN -3.51 dB\nREPLAYGAIN_TRACK_PEAK 0.699013\n"
                        "REPLAYGAIN_ALBUM_GAIN 5.01 dB\nREPLAYGAIN_ALBUM_PEAK 0.360624\n");
    EXPECT_TRUE(UndoGain(mp3));
    EXPECT_EQ(frames(), "REPLAYGAIN_TRACK_GAIN -6.52 dB\nREPLAYGAIN_TRACK_PEAK 0.988554\n"
                        "REPLAYGAIN_ALBUM_GAIN 2.00 dB\nREPLAYGAIN_ALBUM_PEAK 0.509999\n");
}

// Clipping protection lowers a raise until the peak stays under full scale
// and no gain passes 255; it never raises and leaves a cut alone.
TEST(LosslessGain, StepsWithoutClippingLowerOnlyRaises) {
    const struct {
        int steps;
        double peak;
        uint8_t highestGain;
        int expected;
    } cases[] = {
        {4, 0.5, 200, 3},                     // 0.5 x 2 reaches full scale
        {2, 0.9, 200, 0},                     // one step is already too much
        {-3, 1.2, 250, -3}, {5, 0.1, 253, 2}, // the gain field's limit
        {3, 0.4, 150, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StepsWithoutClipping(c.steps, c.peak, {0, c.highestGain}), c.expected) << c.steps << " " << c.peak;
}

} // namespace
} // namespace tindrel
