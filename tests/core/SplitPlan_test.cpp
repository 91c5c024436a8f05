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

// Pieces of a 10 s tone at 128 kbit/s (16 bytes a ms) without tags or a
// first frame of notes: by the byte rule each is its bytes from 16 x start
// between the tags the split writes, with no 150 ms offset; the last one,
// whose end the player puts 100 ms past the file, ends at the last whole
// ms the file holds. Exactly, each decodes to its own length, the last
// one to the end of the stream.
TEST(SplitPlan, PiecesAreCutAtTheirOwnTimesWithTheirTags) {
    const test::TempDir dir;
    const std::string input = test::MakeMp3(dir.path(), "album.mp3", {{test::Sound::Tone, 10}}, "-t");
    ASSERT_FALSE(input.empty());
    const Bytes source = ReadFileBytes(input);
    const DescribeSource describe = [](const std::string&) { return std::optional(SourceFacts{10'100, 128}); };
    const CueSheet sheet = ParseCueSheet("TITLE Album\nTRACK 01 AUDIO\nTITLE One\nINDEX 01 00:00:00\n"
                                         "TRACK 02 AUDIO\nTITLE Two\nINDEX 00 00:02:00\nINDEX 01 00:04:00\n"
                                         "TRACK 03 AUDIO\nTITLE Late\nINDEX 01 00:10:10\n");
    const std::vector<PlannedPiece> pieces = PiecesFromCue(input, dir.path(), sheet, sheet.tracks, 10'100);
    ASSERT_EQ(pieces.size(), 2u) << "a track that starts at the end is left out";
    EXPECT_EQ(pieces[0].endMs, 4000) << "the pregap stays with the track before";
    SplitObserver observer;
    EXPECT_EQ(RunSplitPlan(input, pieces, describe, observer, "a note").message, "Splitting MP3 is completed.\na note");
    const struct {
        std::string name;
        std::size_t first, last;
    } written[] = {{"01 - One.mp3", 0, 64'000}, {"02 - Two.mp3", 64'000, source.size() / 16 * 16}};
    for (const auto& w : written) {
        TID3v2 tag;
        ASSERT_TRUE(tag.Load(dir.file(w.name))) << w.name;
        EXPECT_EQ(tag.Album(), "Album") << w.name;
        const Bytes piece = ReadFileBytes(dir.file(w.name));
        EXPECT_EQ(Bytes(piece.begin() + tag.TagSize(), piece.end() - 128),
                  Bytes(source.begin() + long(w.first), source.begin() + long(w.last)))
            << w.name;
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

} // namespace
} // namespace tindrel
