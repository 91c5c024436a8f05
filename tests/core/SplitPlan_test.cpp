// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/SplitPlan.h"

#include "core/Silence.h"
#include "tags/ID3v2.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tindrel {
namespace {

using test::Bytes;
using test::ReadFileBytes;

TEST(SplitPlan, AMovedCutStaysBetweenItsNeighbours) {
    const struct {
        const char* name;
        std::size_t i;
        int64_t ms;
        bool moved;
    } cases[] = {
        {"within its neighbours", 1, 2500, true},         {"onto the cut before", 1, 1000, false},
        {"past the cut after", 1, 3000, false},           {"the first to the file's start", 0, 0, true},
        {"the first before the start", 0, -1, false},     {"the last to the end", 2, 10'000, false},
        {"the last just before the end", 2, 9'999, true}, {"no such cut", 3, 5000, false},
    };
    for (const auto& c : cases) {
        std::vector<int64_t> cuts{1000, 2000, 3000};
        std::vector<int64_t> expected = cuts;
        if (c.moved)
            expected[c.i] = c.ms;
        EXPECT_EQ(MoveCut(cuts, c.i, c.ms, 10'000), c.moved) << c.name;
        EXPECT_EQ(cuts, expected) << c.name;
    }
}

// Pieces of a 10 s tone at 128 kbit/s without a first frame of notes:
// without --exact each is cut between whole frames, at the boundary
// nearest to its time (4000 ms falls 0.125 of a frame past boundary 153,
// at 3997 ms), the last one to the end of the audio; pieces meet, and each
// holds its bytes between the tags the split writes. Exactly, each decodes
// to its own length, the last one to the end of the stream.
TEST(SplitPlan, PiecesAreCutAtTheirOwnTimesWithTheirTags) {
    const test::TempDir dir;
    const std::string input = test::MakeMp3(dir.path(), "album.mp3", {{test::Sound::Tone, 10}}, "-t");
    ASSERT_FALSE(input.empty());
    const Bytes source = ReadFileBytes(input);
    const DescribeSource describe = [](const std::string&) { return std::optional(SourceFacts{10'100, 128}); };
    const CueSheet sheet = ParseCueSheet("TITLE Album\nTRACK 01 AUDIO\nTITLE One\nINDEX 01 00:00:00\n"
                                         "TRACK 02 AUDIO\nTITLE Two\nINDEX 00 00:02:00\nINDEX 01 00:04:00\n"
                                         "TRACK 03 AUDIO\nTITLE Late\nINDEX 01 00:10:10\n");
    std::string note;
    std::vector<PlannedPiece> pieces = PiecesFromCue(input, dir.path(), sheet, sheet.tracks, 10'100, &note);
    ASSERT_EQ(pieces.size(), 2u) << "a track that starts at the end is left out";
    EXPECT_EQ(note, "Track 3 (line 9) starts at or after the end of the file (00:10.100) and was left out; track 2 "
                    "runs to the end.");
    EXPECT_EQ(pieces[0].endMs, 4000) << "the pregap stays with the track before";
    PlaceOnFrames(input, pieces);
    EXPECT_EQ(pieces[0].endMs, 3997);
    EXPECT_EQ(pieces[1].startMs, 3997);
    EXPECT_EQ(pieces[0].endByte, pieces[1].startByte);
    ASSERT_LT(std::size_t(pieces[1].startByte) + 1, source.size());
    EXPECT_EQ(source[std::size_t(pieces[1].startByte)], 0xFF) << "a frame starts where the piece does";
    EXPECT_EQ(pieces[1].endByte, int64_t(source.size()));
    SplitObserver observer;
    EXPECT_EQ(RunSplitPlan(input, pieces, describe, observer, "a note").message, "Splitting MP3 is completed.\na note");
    for (const PlannedPiece& p : pieces) {
        TID3v2 tag;
        ASSERT_TRUE(tag.Load(p.path)) << p.path;
        EXPECT_EQ(tag.Album(), "Album") << p.path;
        const Bytes piece = ReadFileBytes(p.path);
        EXPECT_EQ(Bytes(piece.begin() + tag.TagSize(), piece.end() - 128),
                  Bytes(source.begin() + p.startByte, source.begin() + p.endByte))
            << p.path;
    }

    const std::vector<PlannedPiece> parts = PiecesBetweenCuts(input, dir.path(), {2500, 9000}, 10'000);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].path, dir.path() + "/album_chunk_2.mp3");
    EXPECT_EQ(parts[1].startMs, 2500);
    EXPECT_EQ(parts[2].endMs, 10'000);
    EXPECT_EQ(RunSplitPlan(input, parts, describe, observer, {}, SplitMode::Exact).message,
              "Splitting MP3 is completed.");
    // The last piece runs to the end of the stream, which without the
    // encoder's notes holds its delay and padding too.
    const int64_t lengths[] = {2500, 6500, ScanLevels(input, {}, {})->lengthMs() - 9000};
    for (int i = 0; i < 3; ++i) {
        const auto decoded = ScanLevels(parts[std::size_t(i)].path, {}, {});
        ASSERT_TRUE(decoded);
        EXPECT_NEAR(double(decoded->lengthMs()), double(lengths[i]), 1) << parts[std::size_t(i)].path;
    }

    const std::string noise = dir.write("noise.mp3", test::PatternBytes(20'000, 3));
    const SplitOutcome refused =
        RunSplitPlan(noise, PiecesBetweenCuts(noise, dir.path(), {500}, 1000), describe, observer);
    EXPECT_EQ(refused.result, SplitResult::Failed);
    EXPECT_NE(refused.message.find("holds no MPEG audio"), std::string::npos) << refused.message;
}

// Cuts at found times in a VBR file (lame -V 2: loud noise at high rates,
// silence at the lowest), where the average bit rate puts a time seconds
// away: each piece starts and ends at the frame boundary nearest to its
// planned times in both modes, and decodes to the length that the plan
// (as --dry-run lists it) gives.
TEST(SplitPlan, PiecesOfAVbrSourceEndWhereThePlanSays) {
    const test::TempDir dir;
    const std::string input = test::MakeMp3(dir.path(), "talk.mp3",
                                            {{test::Sound::Speech, 3},
                                             {test::Sound::Zero, 3},
                                             {test::Sound::Speech, 2},
                                             {test::Sound::Zero, 2},
                                             {test::Sound::Speech, 2}},
                                            "-V 2");
    ASSERT_FALSE(input.empty());
    const auto average = std::optional(SourceFacts{12'000, int64_t(ReadFileBytes(input).size()) * 8 / 12'000});
    const DescribeSource describe = [&](const std::string&) { return average; };
    constexpr double kFrameMs = 1152 * 1000.0 / 44100;
    const std::vector<int64_t> cuts{4500, 9000};
    for (const SplitMode mode : {SplitMode::Bytes, SplitMode::Exact}) {
        const std::string folder = dir.file(mode == SplitMode::Bytes ? "bytes" : "exact");
        std::filesystem::create_directory(folder);
        std::vector<PlannedPiece> pieces = PiecesBetweenCuts(input, folder, cuts, 12'000);
        if (mode == SplitMode::Bytes)
            PlaceOnFrames(input, pieces);
        SplitObserver observer;
        ASSERT_EQ(RunSplitPlan(input, pieces, describe, observer, {}, mode).message, "Splitting MP3 is completed.");
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            EXPECT_LE(std::abs(double(pieces[i].endMs - cuts[i])), kFrameMs / 2) << pieces[i].path;
            const auto decoded = ScanLevels(pieces[i].path, {}, {});
            ASSERT_TRUE(decoded) << pieces[i].path;
            EXPECT_LE(std::abs(double(decoded->lengthMs() - (pieces[i].endMs - pieces[i].startMs))), kFrameMs)
                << pieces[i].path;
        }
    }
}

} // namespace
} // namespace tindrel
