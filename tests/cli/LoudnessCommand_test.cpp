// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// tindrel-cli loudness run as a program.
#include "tags/ID3v2.h"
#include "tests/cli/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace tindrel {
namespace {

using test::RunCliProgram;
using test::TempDir;

std::string copied(const TempDir& dir, const std::string& from, const std::string& name) {
    std::filesystem::copy_file(test::TestDataDir() + from, dir.file(name));
    return dir.file(name);
}

// A table row a file and one for the album; applying the album gain leaves
// the written album gain within half a step of 0; a fixed change and its
// undo give the bytes back.
TEST(LoudnessCommand, MeasuresTagsAppliesAndUndoes) {
    const TempDir dir;
    const std::string a = copied(dir, "/mpeg/cbr128_tags.mp3", "a.mp3");
    const std::string b = copied(dir, "/mpeg/mono_cbr64.mp3", "b.mp3");
    const auto r = RunCliProgram({"loudness", a, b, "--album", "--write", "--apply", "album"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The true peak is an estimate between samples: its last digit may move
    // with the decoder, so the row is checked without it.
    const std::size_t album = r.out.find("  (album)");
    ASSERT_NE(album, std::string::npos) << r.out;
    const std::string row = r.out.substr(r.out.rfind('\n', album) + 1, album - r.out.rfind('\n', album) - 1);
    EXPECT_EQ(row.substr(0, 19), "    -8.32     -6.37") << r.out;
    EXPECT_EQ(row.substr(row.size() - 6), " -9.68") << r.out;
    EXPECT_NE(r.out.find(a + ": gain changed by -6 steps (-9.0 dB)"), std::string::npos) << r.out;
    for (const std::string& file : {a, b}) {
        TID3v2 tag;
        ASSERT_TRUE(tag.Load(file));
        EXPECT_LE(std::abs(std::atof(tag.UserText("REPLAYGAIN_ALBUM_GAIN").c_str())), 0.76) << file;
        EXPECT_FALSE(tag.UserText("REPLAYGAIN_TRACK_PEAK").empty()) << file;
    }

    const std::string c = copied(dir, "/mpeg/crc_stereo.mp3", "c.mp3");
    const test::Bytes source = test::ReadFileBytes(c);
    EXPECT_EQ(RunCliProgram({"loudness", c, "--apply", "-4.5"}).out, c + ": gain changed by -3 steps (-4.5 dB)\n");
    EXPECT_EQ(RunCliProgram({"loudness", c, "--undo"}).out, c + ": the gain change is undone\n");
    EXPECT_EQ(test::ReadFileBytes(c), source);
}

// What cannot be done is refused with one line and no change.
TEST(LoudnessCommand, RefusesWhatItCannotDo) {
    const TempDir dir;
    const std::string mp2 = copied(dir, "/mpeg/layer2.mp2", "a.mp2");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"loudness", mp2, "--apply", "loud"}, 2, "--apply takes track, album or a number of dB"},
        {{"loudness", mp2, "--apply", "-3"}, 1, "holds no MPEG Layer III audio."},
        {{"loudness", dir.file("missing.mp3")}, 1, "Cannot decode"},
    };
    for (const auto& c : cases) {
        const auto r = RunCliProgram(c.args);
        EXPECT_EQ(r.status, c.status) << c.message << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(test::ReadFileBytes(mp2), test::ReadFileBytes(test::TestDataDir() + "/mpeg/layer2.mp2"));
}

} // namespace
} // namespace tindrel
