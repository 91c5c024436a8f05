// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Pauses found in recordings made by sox and lame, whose pauses lie at
// known times.
#include "core/Silence.h"

#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace tindrel {
namespace {

using test::Sound;
using test::Stretch;

// One MPEG audio frame at 44.1 kHz, rounded down.
constexpr int64_t kFrameMs = 26;

// Tones between pauses of 0.2, 0.5, 1 and 3 s, then speech with gaps of
// 0.1 and 0.25 s, then a tone. The pauses' middles are at 1.100, 2.450,
// 4.200 and 7.200 s, the gaps' at 10.350 and 11.125 s; 12.850 s in all.
std::vector<Stretch> recording(Sound pause) {
    return {{Sound::Tone, 1}, {pause, 0.2},         {Sound::Tone, 1}, {pause, 0.5},         {Sound::Tone, 1},
            {pause, 1},       {Sound::Tone, 1},     {pause, 3},       {Sound::Tone, 1},     {Sound::Speech, 0.6},
            {pause, 0.1},     {Sound::Speech, 0.6}, {pause, 0.25},    {Sound::Speech, 0.6}, {Sound::Tone, 1}};
}

// The levels of both recordings, scanned once for the whole program.
const LevelProfile& profileOf(Sound pause) {
    static const test::TempDir dir;
    static std::map<Sound, LevelProfile> profiles;
    if (!profiles.count(pause)) {
        const std::string path =
            test::MakeMp3(dir.path(), pause == Sound::Zero ? "zero.mp3" : "hiss.mp3", recording(pause));
        EXPECT_FALSE(path.empty());
        profiles[pause] = ScanLevels(path, {}, {}).value_or(LevelProfile());
    }
    return profiles[pause];
}

TEST(Silence, FindsEveryPauseOfTheMinimumLengthAndNothingElse) {
    const struct {
        const char* name;
        Sound pause;
        SilenceOptions options;
        std::vector<int64_t> middlesMs;
    } cases[] = {
        {"digital zero, 0.3 s: not the 0.2 s pause nor the speech's gaps", Sound::Zero, {}, {2450, 4200, 7200}},
        {"-60 dB hiss, 0.3 s", Sound::Hiss, {}, {2450, 4200, 7200}},
        {"0.15 s: the 0.2 s pause and the 0.25 s gap too, never a syllable's dip",
         Sound::Zero,
         {-48, 150},
         {1100, 2450, 4200, 7200, 11125}},
        {"2.9 s at least", Sound::Hiss, {-48, 2900}, {7200}},
        {"below -70 dB the hiss is no pause", Sound::Hiss, {-70, 300}, {}},
        {"below -70 dB digital zero still is", Sound::Zero, {-70, 300}, {2450, 4200, 7200}},
    };
    for (const auto& c : cases) {
        const LevelProfile& profile = profileOf(c.pause);
        EXPECT_NEAR(profile.lengthMs(), 12'850, 1) << c.name;
        const std::vector<Silence> found = profile.FindSilences(c.options);
        ASSERT_EQ(found.size(), c.middlesMs.size()) << c.name;
        for (std::size_t i = 0; i < found.size(); ++i)
            EXPECT_LE(std::llabs(found[i].middleMs() - c.middlesMs[i]), kFrameMs)
                << c.name << ": pause " << i << " " << found[i].startMs << "-" << found[i].endMs;
    }
}

TEST(Silence, PartsAtPausesMoveEachCutIntoAPauseOrSayWhy) {
    // A cut moved into the pause with the given middle, or (0) kept where
    // it was with the longest quiet in its window.
    struct Expected {
        int64_t middleMs;
        int64_t longestQuietMs;
    };
    const struct {
        const char* name;
        int n;
        int64_t windowMs;
        std::vector<Expected> cuts;
    } cases[] = {
        {"the whole file in reach: the 3 s pause", 2, 15'000, {{7200, 0}}},
        {"the longer of two pauses in reach; a window that holds 0.137 s of the 0.25 s gap",
         4,
         1'500,
         {{4200, 0}, {7200, 0}, {0, 137}}},
        {"a window that reaches 0.63 s into the 3 s pause, too little", 3, 500, {{4200, 0}, {0, 633}}},
        {"the longest pause before the next cut wins; a cut whose pause went to the cut before stays",
         6,
         15'000,
         {{4200, 0}, {0, 723}, {7200, 0}, {0, 100}, {0, 250}}},
    };
    for (const auto& c : cases) {
        const LevelProfile& profile = profileOf(Sound::Hiss);
        const std::vector<PauseCut> cuts = PlacePartsAtPauses(profile, c.n, 12'850, {}, c.windowMs);
        ASSERT_EQ(cuts.size(), c.cuts.size()) << c.name;
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            const Expected& e = c.cuts[i];
            EXPECT_EQ(cuts[i].moved, e.middleMs != 0) << c.name << ": cut " << i;
            const int64_t error =
                e.middleMs != 0 ? cuts[i].cutMs - e.middleMs : cuts[i].longestQuietMs - e.longestQuietMs;
            EXPECT_LE(std::llabs(error), kFrameMs) << c.name << ": cut " << i;
            if (i > 0) {
                EXPECT_GT(cuts[i].cutMs, cuts[i - 1].cutMs) << c.name;
            }
        }
    }
    const std::vector<PauseCut> cuts = PlacePartsAtPauses(profileOf(Sound::Hiss), 4, 12'850, {}, 1'500);
    const std::string said = UnmovedCutsText(cuts, {}, 1'500);
    EXPECT_EQ(said.rfind("Cut 3 at 00:09.636 was not moved: no pause of at least 0.300 s within 1.5 s; the longest "
                         "quiet there lasts 0.1",
                         0),
              0u)
        << said;
    EXPECT_EQ(said.find('\n'), std::string::npos) << "the cuts that were moved are not named";
}

TEST(Silence, CutsAtSilencesKeepTheLongestPausesThatLeaveLongEnoughPieces) {
    const std::vector<Silence> pauses = {{0, 500},     {2000, 2500},  {4000, 5000},
                                         {5200, 5500}, {8000, 11000}, {19000, 20000}};
    const struct {
        const char* name;
        int64_t minPieceMs;
        int pieces;
        std::vector<int64_t> cuts;
    } cases[] = {
        {"every pause inside the file; none at its ends", 0, 0, {2250, 4500, 5350, 9500}},
        {"pieces of 1 s at least: the shorter of two close pauses goes", 1000, 0, {2250, 4500, 9500}},
        {"three pieces: the two longest pauses", 0, 3, {4500, 9500}},
        {"pieces of 3 s at least", 3000, 0, {4500, 9500}},
        {"one piece: no cut", 0, 1, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CutsAtSilences(pauses, 20'000, c.minPieceMs, c.pieces), c.cuts) << c.name;
}

TEST(Silence, ScanRefusesWhatItCannotDecodeAndStopsWhenAsked) {
    const test::TempDir dir;
    EXPECT_THROW(ScanLevels(dir.write("text.mp3", test::Bytes(5000, 'x')), {}, {}), std::runtime_error);
    EXPECT_THROW(ScanLevels(dir.file("missing.mp3"), {}, {}), std::runtime_error);
    const std::string path = test::MakeMp3(dir.path(), "tone.mp3", {{Sound::Tone, 2}});
    std::vector<int> seen;
    EXPECT_TRUE(ScanLevels(path, [&](int p) { seen.push_back(p); }, {}));
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
    EXPECT_FALSE(ScanLevels(path, {}, [] { return true; }));
}

} // namespace
} // namespace tindrel
