// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// The split command against the page's steps, with the player's answers
// given by the test so that every byte range is known.
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "core/Split.h"
#include "core/TimeText.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace tindrel {
namespace {

using test::ReadFileBytes;
using test::TempDir;

const SourceFacts kTenSeconds{10'057, 128};

DescribeSource player(std::optional<SourceFacts> facts) {
    return [facts](const std::string&) { return facts; };
}

// What the split page does for one piece: load both tags of the source,
// cut, then write the tags into the piece.
void pagePiece(const std::string& source, const std::string& piece, const std::string& start, const std::string& end) {
    TID3v1 v1;
    TID3v2 v2;
    v1.Load(source);
    v2.Load(source);
    ASSERT_TRUE(CutRange(source, piece, start, kCutOffsetMs, true, end, player(kTenSeconds)));
    v1.Save(piece);
    v2.Save(piece);
}

class SplitCommandTest : public ::testing::Test {
protected:
    SplitCommandTest() { std::filesystem::copy_file(test::TestDataDir() + "/app/ten-seconds.mp3", source); }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        args.insert(args.begin(), {"split", source});
        return RunCli(args, context);
    }

    TempDir dir;
    const std::string source = dir.file("ten-seconds.mp3");
    std::ostringstream out;
    std::ostringstream err;
    ProgressLine progress{err, false};
    CliContext context{out, err, progress, [] { return false; }, player(kTenSeconds)};
};

TEST_F(SplitCommandTest, TimeModeWritesThePagesPiece) {
    const std::string piece = dir.file("piece.mp3");
    ASSERT_EQ(run({"--start", "00:01.000", "--end", "00:03.500", "-o", piece}), 0) << err.str();
    EXPECT_EQ(out.str(), "Splitting MP3 is completed.\n");
    EXPECT_EQ(err.str(), "");
    pagePiece(source, dir.file("page.mp3"), "00:01.000", "00:03.500");
    EXPECT_EQ(ReadFileBytes(piece), ReadFileBytes(dir.file("page.mp3")));
    TID3v1 v1;
    ASSERT_TRUE(v1.Load(piece));
    EXPECT_EQ(v1.Title(), "Ten Seconds") << "the source's tags go into the piece";
}

TEST_F(SplitCommandTest, PartsModeWritesThePagesPartsUnderThePagesNames) {
    const std::string folder = dir.file("out");
    std::filesystem::create_directory(folder);
    std::filesystem::create_directory(dir.file("page"));
    ASSERT_EQ(run({"--parts", "$3", "-d", folder}), 0) << err.str();
    EXPECT_EQ(out.str(), "Splitting MP3 is completed.\n");
    for (int i = 0; i < 3; ++i) {
        const PartTimes t = PartRange(i, 3, kTenSeconds.lengthMs);
        const std::string name = "ten-seconds_chunk_" + std::to_string(i + 1) + ".mp3";
        pagePiece(source, dir.file("page/" + name), FormatTimeText(t.startMs / 1000.0),
                  FormatTimeText(t.endMs / 1000.0));
        EXPECT_EQ(ReadFileBytes(folder + "/" + name), ReadFileBytes(dir.file("page/" + name))) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/ten-seconds_chunk_4.mp3"));
}

TEST_F(SplitCommandTest, RefusalsGiveThePagesMessagesAndWriteNothing) {
    const std::string piece = dir.file("piece.mp3");
    const std::string existing = dir.write("existing.mp3", test::PatternBytes(64, 3));
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"--start", "00:02.000", "--end", "00:02.000", "-o", piece}, 1, "Start Time and End Time can not be the same"},
        {{"--end", "00:00.000", "-o", piece}, 1, "Start Time and End Time can not be the same"},
        {{"--start", "00:03.000", "--end", "00:02.000", "-o", piece}, 1, "Splitting MP3 is failed."},
        {{"--start", "2:00.000", "--end", "02:00.000", "-o", piece}, 1, "Splitting MP3 is failed."},
        {{"--start", "00:11.000", "--end", "00:12.000", "-o", piece}, 1, "Splitting MP3 is failed."},
        {{"--end", "00:01.000", "-o", source}, 1, "Output file can not be the same as the input file."},
        {{"--end", "00:01.000", "-o", dir.path() + "/./ten-seconds.mp3"}, 1, "Output file can not be the same"},
        {{"--end", "00:01.000", "-o", existing}, 1, "add --force"},
        {{"--start", "00:0x.000", "--end", "00:01.000", "-o", piece}, 1, "'0x' is not a valid integer value"},
        {{"--end", "00:01.000"}, 2, "needs -o OUT"},
        {{"--parts", "0", "-d", dir.path()}, 1, "Please specify a proper quantity of parts."},
        {{"--parts", "x", "-d", dir.path()}, 1, "Please specify a proper quantity of parts."},
        {{"--parts", "3 ", "-d", dir.path()}, 1, "Please specify a proper quantity of parts."},
        {{"--parts", "-2", "-d", dir.path()}, 1, "Please specify a proper quantity of parts."},
        {{"--parts", "2", "-d", dir.file("none")}, 1, "Please specify a proper output directory."},
        {{"--parts", "2"}, 1, "Please specify a proper output directory."},
        {{"--parts", "2", "-o", piece}, 2, "--parts goes with -d DIR"},
        {{"-d", dir.path(), "--end", "00:01.000", "-o", piece}, 2, "-d DIR goes with --parts N"},
        {{"--silences", "--parts", "2", "-d", dir.path()}, 2, "modes of their own"},
        {{"--cue", "a.cue", "-o", piece}, 2, "--cue goes with -d DIR"},
        {{"--at-pauses", "-d", dir.path()}, 2, "--at-pauses goes with --parts N"},
        {{"--parts", "2", "--window", "3", "-d", dir.path()}, 2, "--window goes with --at-pauses"},
        {{"--parts", "2", "--threshold", "-50", "-d", dir.path()}, 2, "--threshold goes with --at-pauses or"},
        {{"--silences", "--threshold", "6", "-d", dir.path()}, 2, "--threshold needs a number from -120 to 0"},
        {{"--silences", "--min-silence", "0.3s", "-d", dir.path()}, 2, "--min-silence needs a number"},
        {{"--silences", "--pieces", "2.5", "-d", dir.path()}, 2, "--pieces needs a whole number"},
        {{"--silences", "-d", dir.path()}, 1, "No pause of at least 0.300 s below -48 dB to cut at was found"},
        {{"--cue", dir.file("none.cue"), "-d", dir.path()}, 1, "Cannot open file"},
        {{"--cue", existing, "-d", dir.path()}, 1, "The CUE sheet cannot be used"},
    };
    const auto before = ReadFileBytes(source);
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), c.status) << c.message;
        EXPECT_EQ(out.str(), "") << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
        EXPECT_FALSE(std::filesystem::exists(piece)) << c.message;
        EXPECT_FALSE(std::filesystem::exists(dir.file("ten-seconds_chunk_1.mp3"))) << c.message;
        EXPECT_EQ(ReadFileBytes(existing), test::PatternBytes(64, 3)) << c.message;
        EXPECT_EQ(ReadFileBytes(source), before) << c.message;
    }
    std::filesystem::remove(source);
    EXPECT_EQ(run({"--end", "00:01.000", "-o", piece}), 1);
    EXPECT_NE(err.str().find("Please open a MP3 file."), std::string::npos) << err.str();
}

TEST_F(SplitCommandTest, WithoutAPlayerNothingIsCut) {
    context.describe = player(std::nullopt);
    EXPECT_EQ(run({"--end", "00:01.000", "-o", dir.file("piece.mp3")}), 1);
    EXPECT_EQ(run({"--parts", "2", "-d", dir.path()}), 1);
    EXPECT_NE(err.str().find("Splitting MP3 is failed."), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir.file("piece.mp3")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ten-seconds_chunk_1.mp3")));
}

TEST_F(SplitCommandTest, StoppingKeepsThePartsAlreadyWritten) {
    int asked = 0;
    context.stopRequested = [&asked] { return ++asked > 2; };
    EXPECT_EQ(run({"--parts", "4", "-d", dir.path()}), kExitStopped);
    EXPECT_NE(err.str().find("stopped after 2 of 4 parts"), std::string::npos) << err.str();
    EXPECT_TRUE(std::filesystem::exists(dir.file("ten-seconds_chunk_2.mp3")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ten-seconds_chunk_3.mp3")));
}

} // namespace
} // namespace tindrel
