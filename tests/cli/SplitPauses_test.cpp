// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// tindrel-cli cutting by a CUE sheet and at pauses, run as a program with
// its player, on recordings made by sox and lame.
#include "core/Silence.h"
#include "core/TimeText.h"
#include "tests/cli/RunProgram.h"
#include "tests/support/Command.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace tindrel {
namespace {

using test::ProgramResult;
using test::RunCliProgram;
using test::Sound;

// One MPEG audio frame at 44.1 kHz, and the scan's block, rounded up.
constexpr int64_t kFrameMs = 27;
constexpr int64_t kBlockMs = 5;

// Where a piece's sound starts: the end of the quiet it opens with.
int64_t soundStartMs(const std::string& piece) {
    const std::optional<LevelProfile> profile = ScanLevels(piece, {}, {});
    if (!profile)
        return -1;
    const std::vector<Silence> quiet = profile->FindSilences({-48, 20});
    return quiet.empty() || quiet.front().startMs > kFrameMs ? 0 : quiet.front().endMs;
}

// Five tracks; each one's tone starts 0.2 s after its INDEX 01 and ends
// 0.5 s before the next, so a piece that starts a frame late or early shows
// it in the quiet it opens with. Tracks 3 and 5 have a pregap (INDEX 00).
// Without --exact a piece starts at the frame boundary nearest to its
// track, within half a frame, and a decoder loses the sound of its first
// frame, whose bit reservoir lay in the frame before; the exact mode cuts
// the gapless stream that the encoder's first frame describes, to the
// sample.
TEST(SplitByCue, PiecesStartAtTheTracksAndCarryTheSheetsTags) {
    const double starts[] = {0, 3.2, 6.04, 712 / 75.0, 12.88}; // INDEX 01, in s
    const double end = 16;
    std::vector<test::Stretch> sound;
    for (int i = 0; i < 5; ++i) {
        const double next = i < 4 ? starts[i + 1] : end;
        sound.push_back({Sound::Zero, 0.2});
        sound.push_back({Sound::Tone, next - starts[i] - 0.7});
        sound.push_back({Sound::Zero, 0.5});
    }
    const std::string text =
        "REM GENRE Test\r\nPERFORMER \"The Band\"\r\nTITLE \"Caf\xE9 Album\"\r\nFILE \"album.wav\" WAVE\r\n"
        "  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n    INDEX 01 00:00:00\r\n"
        "  TRACK 02 AUDIO\r\n    TITLE \"Two: A/B\"\r\n    PERFORMER \"Guest\"\r\n    INDEX 01 00:03:15\r\n"
        "  TRACK 03 AUDIO\r\n    TITLE Three\r\n    INDEX 00 00:05:40\r\n    INDEX 01 00:06:03\r\n"
        "  TRACK 04 AUDIO\r\n    TITLE \"Four\"\r\n    INDEX 01 00:09:37\r\n"
        "  TRACK 05 AUDIO\r\n    TITLE \"Five\"\r\n    INDEX 00 00:12:00\r\n    INDEX 01 00:12:66\r\n";
    const struct {
        const char* mode;
        const char* lameArgs;
        int64_t startToleranceMs;
        // The samples of each piece but the last (1/75 s is 588 samples).
        std::vector<int64_t> samples;
    } modes[] = {{"bytes", "", kFrameMs / 2 + kFrameMs + kBlockMs, {}},
                 {"exact", "", kBlockMs, {141'120, 125'244, 152'292, 149'352}}};
    const struct {
        const char* name;
        const char* artist;
        const char* title;
    } pieces[] = {{"01 - One.mp3", "The Band", "One"},
                  {"02 - Two_ A_B.mp3", "Guest", "Two: A/B"},
                  {"03 - Three.mp3", "The Band", "Three"},
                  {"04 - Four.mp3", "The Band", "Four"},
                  {"05 - Five.mp3", "The Band", "Five"}};
    for (const auto& m : modes) {
        const test::TempDir dir;
        const std::string source = test::MakeMp3(dir.path(), "album.mp3", sound, m.lameArgs);
        ASSERT_FALSE(source.empty());
        const std::string sheet = dir.write("album.cue", test::Bytes(text.begin(), text.end()));
        const std::string out = dir.file("out");
        std::filesystem::create_directory(out);
        std::vector<std::string> args{"split", source, "--cue", sheet, "-d", out};
        if (m.samples.size())
            args.push_back("--exact");
        const ProgramResult r = RunCliProgram(args);
        ASSERT_EQ(r.status, 0) << m.mode << ": " << r.err;
        EXPECT_EQ(r.out, "Splitting MP3 is completed.\n") << m.mode;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 5) << m.mode;
        int64_t total = 0;
        for (int i = 0; i < 5; ++i) {
            const std::string piece = out + "/" + pieces[i].name;
            ASSERT_TRUE(std::filesystem::exists(piece)) << piece;
            EXPECT_LE(std::llabs(soundStartMs(piece) - 200), m.startToleranceMs) << m.mode << ": " << piece;
            const std::string tags = test::CommandOutput("mid3v2 -l '" + piece + "'");
            for (const std::string& line :
                 {std::string("TIT2=") + pieces[i].title, std::string("TPE1=") + pieces[i].artist,
                  std::string("TALB=Caf\xC3\xA9 Album"), "TRCK=" + std::to_string(i + 1)})
                EXPECT_NE(tags.find(line + "\n"), std::string::npos) << piece << " lacks " << line << ":\n" << tags;
            const int64_t samples = ScanLevels(piece, {}, {})->lengthFrames();
            total += samples;
            if (i < int(m.samples.size())) {
                EXPECT_EQ(samples, m.samples[std::size_t(i)]) << m.mode << ": " << piece;
            }
        }
        if (m.samples.size()) {
            EXPECT_EQ(total, ScanLevels(source, {}, {})->lengthFrames()) << "the exact pieces add up to the source";
        }
    }
}

TEST(SplitAtPauses, TheToolCutsAtPausesAndNamesTheCutsItCouldNotMove) {
    const test::TempDir dir;
    // Pauses at 1.5-2.5 s and 3.5-4 s, and a 0.2 s gap at 5.5 s, in 8 s.
    const std::string source = test::MakeMp3(dir.path(), "talk.mp3",
                                             {{Sound::Tone, 1.5},
                                              {Sound::Zero, 1},
                                              {Sound::Tone, 1},
                                              {Sound::Zero, 0.5},
                                              {Sound::Tone, 1.5},
                                              {Sound::Zero, 0.2},
                                              {Sound::Tone, 2.3}});
    ASSERT_FALSE(source.empty());
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> said; // in the output (or the error for a failure)
        int pieces;
    } cases[] = {
        {"three parts: the first cut moves to 2 s, the second finds only the 0.2 s gap within 1 s",
         {"--parts", "3", "--at-pauses", "--window", "1"},
         0,
         {"Splitting MP3 is completed.\nCut 2 at 00:05.3", " was not moved: no pause of at least 0.300 s within 1 s; "
                                                           "the longest quiet there lasts 0.1"},
         3},
        {"the plan without writing",
         {"--parts", "3", "--at-pauses", "--dry-run"},
         0,
         {"Pause 1: 00:01.5", "Pause 2: 00:03.5", "Piece 3: 00:03.7"},
         0},
        {"every pause", {"--silences"}, 0, {"Splitting MP3 is completed.\n"}, 3},
        {"the longest pause only", {"--silences", "--pieces", "2"}, 0, {"Splitting MP3 is completed.\n"}, 2},
        {"every pause, cut exactly", {"--silences", "--exact"}, 0, {"Splitting MP3 is completed.\n"}, 3},
        {"no pause long enough is said, not taken for one piece",
         {"--silences", "--min-silence", "1.5"},
         1,
         {"No pause of at least 1.500 s below -48 dB to cut at was found; nothing was written."},
         0},
        {"pauses found but one piece asked for",
         {"--silences", "--pieces", "1"},
         1,
         {"2 pauses were found, but --pieces 1 asks for the whole file as one piece; nothing was written."},
         0},
        {"pauses found but none far enough from the ends",
         {"--silences", "--min-piece", "5"},
         1,
         {"2 pauses were found, but none leaves pieces of at least 5.000 s (--min-piece); nothing was written."},
         0},
    };
    for (const auto& c : cases) {
        const std::string out = dir.file("out");
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        std::vector<std::string> args{"split", source, "-d", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult r = RunCliProgram(args);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        for (const std::string& text : c.said)
            EXPECT_NE((c.status == 0 ? r.out : r.err).find(text), std::string::npos) << c.name << ":\n"
                                                                                     << r.out << r.err;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), c.pieces) << c.name;
    }
    // Sound that is no MPEG audio is said to be that, not to hold no pause.
    const std::string ogg = dir.file("talk.ogg");
    std::filesystem::copy_file(test::TestDataDir() + "/engine/tone1k.ogg", ogg);
    const ProgramResult r = RunCliProgram({"split", ogg, "--silences", "-d", dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds no MPEG audio"), std::string::npos) << r.err;
}

// The pieces --dry-run lists: their start and end, in ms.
std::vector<std::pair<int64_t, int64_t>> listedPieces(const std::string& out) {
    std::vector<std::pair<int64_t, int64_t>> pieces;
    for (std::size_t at = out.find("Piece "); at != std::string::npos; at = out.find("Piece ", at + 1)) {
        const std::size_t colon = out.find(": ", at);
        pieces.emplace_back(ParseTimeMs(out.substr(colon + 2, 9)), ParseTimeMs(out.substr(colon + 14, 9)));
    }
    return pieces;
}

// VBR speech (espeak-ng) and VBR music (sox), cut at their pauses and by a
// sheet: in both modes each piece decodes to the length --dry-run lists
// for it, within one frame, and the times listed without --exact lie
// within half a frame of those planned (the exact mode's).
TEST(SplitVbrSources, PiecesEndWhereTheDryRunSaysInBothModes) {
    const test::TempDir dir;
    const std::string cue = "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:62\n"
                            "TRACK 03 AUDIO\nINDEX 01 00:03:71\n";
    const std::string sheet = dir.write("music.cue", test::Bytes(cue.begin(), cue.end()));
    const struct {
        const char* file;
        std::vector<std::string> args;
        double frameMs;
    } cases[] = {
        {"speech-vbr.mp3", {"--silences"}, 576 * 1000.0 / 22050},
        {"music-vbr.mp3", {"--silences"}, 1152 * 1000.0 / 44100},
        {"music-vbr.mp3", {"--cue", sheet}, 1152 * 1000.0 / 44100},
    };
    for (const auto& c : cases) {
        const std::string source = test::TestDataDir() + "/split/" + c.file;
        std::vector<std::pair<int64_t, int64_t>> planned;
        for (const bool exact : {true, false}) {
            const std::string out = dir.file(std::string(c.file) + c.args[0] + (exact ? ".exact" : ".bytes"));
            std::filesystem::create_directory(out);
            std::vector<std::string> args{"split", source, "-d", out};
            args.insert(args.end(), c.args.begin(), c.args.end());
            if (exact)
                args.push_back("--exact");
            args.push_back("--dry-run");
            const ProgramResult listed = RunCliProgram(args);
            ASSERT_EQ(listed.status, 0) << c.file << ": " << listed.err;
            const auto pieces = listedPieces(listed.out);
            ASSERT_GE(pieces.size(), 2u) << listed.out;
            if (exact)
                planned = pieces;
            ASSERT_EQ(pieces.size(), planned.size()) << listed.out;
            args.pop_back();
            const ProgramResult r = RunCliProgram(args);
            ASSERT_EQ(r.status, 0) << c.file << ": " << r.err;
            std::vector<std::filesystem::path> written{std::filesystem::directory_iterator(out), {}};
            std::sort(written.begin(), written.end()); // fewer than ten: their names sort as their numbers
            ASSERT_EQ(written.size(), pieces.size()) << c.file;
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                const std::string what = std::string(c.file) + (exact ? " exact" : " bytes") + " piece " +
                                         std::to_string(i + 1);
                // Both listed to the nearest ms.
                EXPECT_LE(std::abs(double(pieces[i].second - planned[i].second)), c.frameMs / 2 + 1) << what;
                const std::optional<LevelProfile> decoded = ScanLevels(written[i].string(), {}, {});
                ASSERT_TRUE(decoded) << what;
                EXPECT_LE(std::abs(double(decoded->lengthMs() - (pieces[i].second - pieces[i].first))), c.frameMs)
                    << what;
            }
        }
    }
}

} // namespace
} // namespace tindrel
