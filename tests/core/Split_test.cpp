// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Split.h"

#include "core/Silence.h"
#include "core/TimeText.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {
namespace {

using test::Bytes;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

DescribeSource fixed(int64_t lengthMs, int64_t kbps) {
    return [=](const std::string&) { return std::optional<SourceFacts>(SourceFacts{lengthMs, kbps}); };
}

Bytes slice(const Bytes& bytes, std::size_t first, std::size_t last) {
    return Bytes(bytes.begin() + first, bytes.begin() + last + 1);
}

// Pattern bytes under a frame header every 384 bytes (MPEG 1 Layer III,
// 128 kbit/s, 48 kHz), so that the MPEG analysis finds audio in them.
Bytes framedPattern(std::size_t count) {
    Bytes bytes = PatternBytes(count, 1);
    for (std::size_t at = 0; at + 4 <= count; at += 384) {
        bytes[at] = 0xFF;
        bytes[at + 1] = 0xFB;
        bytes[at + 2] = 0x94;
        bytes[at + 3] = 0x00;
    }
    return bytes;
}

class SplitTest : public ::testing::Test {
protected:
    TempDir dir;
    const Bytes source = framedPattern(160'000); // 10 s at 128 kbit/s
    const std::string input = dir.write("song.mp3", source);
};

// The split as the page and the tool run it: what is written, and what the
// user is told. The source has no tags, so every piece is its bytes between
// an empty ID3v2 header (10 bytes) and an empty ID3v1 block (128 bytes).
TEST_F(SplitTest, PartsSplitOutcomes) {
    struct StopAfter final : SplitObserver {
        int asked = 0, limit;
        explicit StopAfter(int parts) : limit(parts) {}
        bool stopRequested() override { return ++asked > limit; }
    };
    const std::string completed = kSplitCompleted;
    const struct {
        const char* name;
        int n;
        int64_t lengthMs, kbps;
        int stopAfter;
        SplitResult result;
        std::string message;
        std::vector<int64_t> sizes; // of each piece; 0: not written
    } cases[] = {
        {"two parts of 10 s at 128 kbit/s: bytes 0-77,583 and 77,600-157,599",
         2,
         10'000,
         128,
         99,
         SplitResult::Completed,
         completed,
         {77'584 + 138, 80'000 + 138}},
        {"a part that ends before the first byte once moved is left out",
         2,
         300,
         128,
         99,
         SplitResult::Completed,
         completed + "\nThese parts could not be cut and were not written: 1.",
         {0, 2'400 + 138}},
        {"stop after two of four parts",
         4,
         10'000,
         128,
         2,
         SplitResult::Stopped,
         "",
         {37'584 + 138, 39'984 + 138, 0, 0}},
        {"pieces too short for an ID3v1 block still get their ID3v2 tag",
         3,
         3'000,
         1,
         99,
         SplitResult::Completed,
         completed + "\nThe ID3v1 tag could not be written into: song_chunk_1.mp3, song_chunk_2.mp3, song_chunk_3.mp3.",
         {106 + 10, 124 + 10, 125 + 10}},
        {"more parts than milliseconds are refused, not tried one refusal at a time",
         2'147'483'647,
         10'000,
         128,
         99,
         SplitResult::Failed,
         "Please specify a proper quantity of parts.\nThe file lasts 00:10.000, too short for 2147483647 parts of at "
         "least 1 ms.",
         {0}},
    };
    for (const auto& c : cases) {
        const TempDir out;
        StopAfter observer(c.stopAfter);
        const SplitOutcome outcome =
            RunSplitParts(input, out.path(), c.n, c.lengthMs, fixed(c.lengthMs, c.kbps), observer);
        EXPECT_EQ(outcome.result, c.result) << c.name;
        EXPECT_EQ(outcome.message + (outcome.reason.empty() ? "" : "\n" + outcome.reason), c.message) << c.name;
        for (std::size_t k = 0; k < c.sizes.size(); ++k) {
            const std::string piece = PartOutputPath(out.path(), "song", int(k) + 1);
            EXPECT_EQ(test::FileSizeOf(piece), c.sizes[k]) << c.name << ", part " << k + 1;
        }
    }
    // The pieces hold the source's bytes, as the page and the tool write them.
    const TempDir out;
    SplitObserver observer;
    RunSplitParts(input, out.path(), 2, 10'000, fixed(10'000, 128), observer);
    const Bytes second = ReadFileBytes(PartOutputPath(out.path(), "song", 2));
    EXPECT_EQ(Bytes(second.begin() + 10, second.end() - 128), slice(source, 77'600, 157'599));
}

// Pieces whose old files are one file under two names, or one a link to
// the other, are written in turn, as if each were alone.
TEST_F(SplitTest, PiecesWhoseNamesLeadToOneFileAreWrittenInTurn) {
    for (const bool symbolic : {false, true}) {
        const TempDir out;
        const std::string first = out.write("song_chunk_1.mp3", PatternBytes(500, 2));
        const std::string second = PartOutputPath(out.path(), "song", 2);
        ASSERT_EQ(symbolic ? ::symlink(first.c_str(), second.c_str()) : ::link(first.c_str(), second.c_str()), 0);
        SplitObserver observer;
        EXPECT_EQ(RunSplitParts(input, out.path(), 2, 10'000, fixed(10'000, 128), observer).message, kSplitCompleted);
        // Two names of one file both see the last content written into it.
        EXPECT_EQ(test::FileSizeOf(first), symbolic ? 77'584 + 138 : 80'000 + 138) << symbolic;
        EXPECT_EQ(test::FileSizeOf(second), 80'000 + 138) << symbolic;
    }
}

TEST_F(SplitTest, RangeSplitOutcomes) {
    ASSERT_EQ(::symlink(input.c_str(), dir.file("link.mp3").c_str()), 0);
    const struct {
        std::string output, start, end;
        SplitResult result;
        std::string message, reason;
    } cases[] = {
        {dir.file("piece.mp3"), "00:01.000", "00:02.000", SplitResult::Completed, kSplitCompleted, ""},
        {dir.file("link.mp3"), "00:01.000", "00:02.000", SplitResult::Failed,
         "Output file can not be the same as the input file.", ""},
        {dir.file("never.mp3"), "00:12.000", "00:13.000", SplitResult::Failed, kSplitFailed,
         "The start 00:12.000 is at or past the end of the file (00:10.000)."},
        {dir.file("never.mp3"), "00:00.000", "00:00.100", SplitResult::Failed, kSplitFailed,
         "The range ends within the first 150 ms, by which every cut is moved earlier."},
        {dir.file("never.mp3"), "00:03.000", "00:02.000", SplitResult::Failed, kSplitFailed,
         "The start 00:03.000 is not before the end 00:02.000."},
    };
    for (const auto& c : cases) {
        const SplitOutcome outcome = RunSplitRange(input, c.output, c.start, c.end, fixed(10'000, 128));
        EXPECT_EQ(outcome.result, c.result) << c.output;
        EXPECT_EQ(outcome.message, c.message) << c.output;
        EXPECT_EQ(outcome.reason, c.reason) << c.output;
    }
    EXPECT_EQ(ReadFileBytes(input), source);
    EXPECT_EQ(test::FileSizeOf(dir.file("piece.mp3")), 16'000 + 138);
    EXPECT_EQ(test::FileSizeOf(dir.file("never.mp3")), 0);
    EXPECT_EQ(SplitRangeRefusal("00:01.000", "00:01.000"), "Start Time and End Time can not be the same");
}

TEST_F(SplitTest, ByteRangesFollowTheTimesAndTheOffset) {
    const struct {
        const char* start;
        const char* end;
        int64_t offset;
        int64_t first;
        int64_t count; // -1: refused
    } cases[] = {
        {"00:00.100", "00:02.000", -150, 0, 29'600},
        {"00:01.000", "00:02.000", 0, 16'000, 16'000},
        {"00:09.000", "00:20.000", 0, 144'000, 16'000}, // end cut back to the length
        {"00:10.000", "00:11.000", 0, 0, -1},           // start at the length
        {"00:03.000", "00:02.000", -150, 0, -1},        // start after end
        {"2:00.000", "02:00.000", 0, 0, -1},            // the same time written twice
        {"00:01.000", "00:02.000", -9'000, 0, -1},      // the offset stops at -5 s: all before the file
        {"00:00.000", "00:00.100", -150, 0, -1},        // E = -50: before the first byte
        {"00:00.000", "00:00.150", -150, 0, -1},        // E = 0: nothing, not the whole file
        {"00:00.000", "00:00.151", -150, 0, 16},        // E = 1 ms: 16 bytes
    };
    for (const auto& c : cases) {
        const std::string out = dir.file("out.mp3");
        ::unlink(out.c_str());
        const bool written = CutRange(input, out, c.start, c.offset, true, c.end, fixed(10'000, 128));
        if (c.count < 0) {
            EXPECT_FALSE(written) << c.start << " " << c.end;
            EXPECT_NE(::access(out.c_str(), F_OK), 0) << "a refused cut wrote " << c.start;
            continue;
        }
        ASSERT_TRUE(written) << c.start << " " << c.end;
        EXPECT_EQ(ReadFileBytes(out), slice(source, c.first, c.first + c.count - 1)) << c.start << " " << c.end;
    }
}

// In a VBR file (lame -V 2: noise at high rates, silence at the lowest)
// the average bit rate puts a time seconds from its sound; the times,
// moved by the offset as ever, are found among the frames instead, and
// the piece decodes to the length asked for within a frame.
TEST(SplitVbr, ATimeRangeOfAVbrSourceIsFoundAmongItsFrames) {
    const TempDir dir;
    const std::string input = test::MakeMp3(
        dir.path(), "talk.mp3", {{test::Sound::Speech, 4}, {test::Sound::Zero, 4}, {test::Sound::Speech, 4}}, "-V 2");
    ASSERT_FALSE(input.empty());
    const int64_t kbps = test::FileSizeOf(input) * 8 / 12'000;
    const std::string piece = dir.file("piece.mp3");
    ASSERT_EQ(RunSplitRange(input, piece, "00:05.000", "00:08.000", fixed(12'000, kbps)).message, kSplitCompleted);
    const auto decoded = ScanLevels(piece, {}, {});
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(double(decoded->lengthMs()), 3000, 1152 * 1000.0 / 44100);
}

// Another file put at the source's name while a split runs (after the
// file was checked, before its bytes are copied) is not what the pieces
// are cut from: the split reads the one file it opened and checked.
TEST_F(SplitTest, ASourceSwappedDuringTheSplitIsNotRead) {
    const std::string other = dir.write("other.mp3", PatternBytes(160'000, 7));
    const auto swapping = [&](const std::string& path) {
        std::filesystem::rename(other, input);
        return fixed(10'000, 128)(path);
    };
    SplitObserver observer;
    const struct {
        const char* what;
        std::function<SplitOutcome(const DescribeSource&)> split;
        std::string piece;
    } cases[] = {
        {"range",
         [&](const DescribeSource& d) {
             return RunSplitRange(input, dir.file("cut.mp3"), "00:01.000", "00:02.000", d);
         },
         dir.file("cut.mp3")},
        {"parts", [&](const DescribeSource& d) { return RunSplitParts(input, dir.path(), 2, 10'000, d, observer); },
         dir.file("song_chunk_1.mp3")},
    };
    for (const auto& c : cases) {
        dir.write("song.mp3", source);
        ASSERT_EQ(c.split(fixed(10'000, 128)).message, kSplitCompleted) << c.what;
        const Bytes unswapped = ReadFileBytes(c.piece);
        dir.write("other.mp3", PatternBytes(160'000, 7));
        ASSERT_EQ(c.split(swapping).message, kSplitCompleted) << c.what;
        EXPECT_EQ(ReadFileBytes(input), PatternBytes(160'000, 7)) << c.what << ": the swap did not happen";
        EXPECT_EQ(ReadFileBytes(c.piece), unswapped) << c.what;
    }
}

TEST_F(SplitTest, TheOffsetLimitAllowsFiveSecondsEitherWay) {
    ASSERT_TRUE(CutRange(input, dir.file("late"), "00:01.000", 9'000, true, "00:02.000", fixed(10'000, 128)));
    // +5 s, not +9 s: 6..7 s.
    EXPECT_EQ(ReadFileBytes(dir.file("late")), slice(source, 96'000, 111'999));
}

TEST_F(SplitTest, ABitRateOfZeroCopiesTheWholeInput) {
    ASSERT_TRUE(CutRange(input, dir.file("wav"), "00:01.000", 0, true, "00:02.000", fixed(10'000, 0)));
    EXPECT_EQ(ReadFileBytes(dir.file("wav")), source);
}

TEST_F(SplitTest, ARangePastTheEndKeepsOnlyWholeBlocks) {
    // The player claims 20 s, the file holds 10 s: the copy runs out.
    try {
        CutRange(input, dir.file("out"), "00:05.000", 0, true, "00:20.000", fixed(20'000, 128));
        ADD_FAILURE() << "a range past the end was copied without error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    // 80,000 bytes were there: one whole block of 61,440.
    EXPECT_EQ(ReadFileBytes(dir.file("out")), slice(source, 80'000, 80'000 + 61'440 - 1));
}

TEST_F(SplitTest, RefusalsWriteNothingAndKeepWhatWasThere) {
    const Bytes old = PatternBytes(100, 9);
    const std::string existing = dir.write("existing.mp3", old);
    EXPECT_FALSE(CutRange(input, existing, "00:01.000", 0, false, "00:02.000", fixed(10'000, 128)));
    EXPECT_EQ(ReadFileBytes(existing), old);
    EXPECT_FALSE(CutRange(dir.file("missing.mp3"), existing, "00:01.000", 0, true, "00:02.000", fixed(10'000, 128)));
    const DescribeSource notReady = [](const std::string&) { return std::optional<SourceFacts>(); };
    EXPECT_FALSE(CutRange(input, existing, "00:01.000", 0, true, "00:02.000", notReady));
    EXPECT_EQ(ReadFileBytes(existing), old);
    EXPECT_THROW(CutRange(input, existing, "a:00.000", 0, true, "00:02.000", fixed(10'000, 128)), std::runtime_error);
    EXPECT_EQ(ReadFileBytes(existing), old);
}

TEST_F(SplitTest, TheSourceIsNeverTheOutputHoweverItIsSpelt) {
    ASSERT_EQ(::symlink(input.c_str(), dir.file("link.mp3").c_str()), 0);
    for (const std::string& out : {input, dir.path() + "/./song.mp3", dir.file("link.mp3")}) {
        EXPECT_FALSE(CutRange(input, out, "00:01.000", 0, true, "00:02.000", fixed(10'000, 128))) << out;
        EXPECT_EQ(ReadFileBytes(input), source) << out;
    }
}

TEST_F(SplitTest, AnExistingReadOnlyOutputIsReplaced) {
    const std::string existing = dir.write("old.mp3", PatternBytes(100, 9));
    ASSERT_EQ(::chmod(existing.c_str(), 0444), 0);
    ASSERT_TRUE(CutRange(input, existing, "00:01.000", 0, true, "00:02.000", fixed(10'000, 128)));
    EXPECT_EQ(ReadFileBytes(existing), slice(source, 16'000, 31'999));
}

TEST(SplitNames, StemsAndPartPaths) {
    EXPECT_EQ(SourceStem("/music/song.mp3"), "song");
    EXPECT_EQ(SourceStem("/music/song.mpeg"), "song.");
    EXPECT_EQ(SourceStem("live.mp3"), "live");
    EXPECT_EQ(PartOutputPath("/out", "live", 1), "/out/live_chunk_1.mp3");
    EXPECT_EQ(PartOutputPath("/out/", "live", 12), "/out/live_chunk_12.mp3");
}

TEST(SplitParts, ProgressRoundsHalvesToEven) {
    const int five[] = {0, 25, 50, 75, 100};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(PartProgress(i, 5), five[i]);
    EXPECT_EQ(PartProgress(1, 9), 12);     // 12.5
    EXPECT_EQ(PartProgress(3, 9), 38);     // 37.5
    EXPECT_EQ(PartProgress(23, 41), 58);   // exactly 57.5
    EXPECT_EQ(PartProgress(109, 201), 54); // exactly 54.5
    EXPECT_EQ(PartProgress(0, 1), 100);
}

TEST(SplitParts, EqualPartsCoverTheLengthWithTheLastRunningToTheEnd) {
    EXPECT_EQ(PartRange(0, 3, 10'000).startMs, 0);
    EXPECT_EQ(PartRange(0, 3, 10'000).endMs, 3'332);
    EXPECT_EQ(PartRange(1, 3, 10'000).startMs, 3'333);
    EXPECT_EQ(PartRange(2, 3, 10'000).endMs, 10'000);
    EXPECT_EQ(PartRange(0, 1, 10'000).endMs, 10'000);
}

} // namespace
} // namespace tindrel
