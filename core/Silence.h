// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tindrel {

// What counts as a pause: sound below thresholdDb (of full scale, as the
// mean power of a short block) for at least minLengthMs.
struct SilenceOptions {
    double thresholdDb = -48.0;
    int64_t minLengthMs = 300;
};

// How far from a planned cut a pause is looked for, either way.
inline constexpr int64_t kPauseWindowMs = 15'000;

// A stretch of a file, in milliseconds from its start.
struct Silence {
    int64_t startMs = 0;
    int64_t endMs = 0;
    int64_t lengthMs() const { return endMs - startMs; }
    int64_t middleMs() const { return startMs + (endMs - startMs) / 2; }
    bool operator==(const Silence&) const = default;
};

// The loudness of a whole file, one figure per short block, so that
// pauses can be looked for again with other settings without decoding the
// file a second time.
class LevelProfile {
public:
    LevelProfile() = default;
    // levels: mean power of each block of blockFrames frames at rate, on a
    // scale where a full-scale square wave is 1.
    LevelProfile(int rate, int blockFrames, int64_t lengthFrames, std::vector<float> levels);

    int64_t lengthMs() const;
    int64_t lengthFrames() const { return m_lengthFrames; } // decoded samples a channel
    int blockCount() const { return static_cast<int>(m_levels.size()); }
    // Every pause of at least the options' length, in time order.
    std::vector<Silence> FindSilences(const SilenceOptions& options) const;
    // The longest stretch below the threshold (of any length) that lies
    // within [fromMs, toMs]; an empty stretch when there is none.
    Silence LongestQuiet(double thresholdDb, int64_t fromMs, int64_t toMs) const;

private:
    int64_t blockStartMs(int64_t block) const;
    int firstBlockAt(int64_t ms) const;

    int m_rate = 44100;
    int m_blockFrames = 1;
    int64_t m_lengthFrames = 0;
    std::vector<float> m_levels;
};

// Reports how far a scan has come, in percent.
using ScanProgress = std::function<void(int percent)>;

// Decodes the file once with the engine's decoder and measures its
// loudness. Safe to run on a worker thread: progress is called from it, and
// the scan gives up (returning nothing) once stopRequested says so; it is
// asked between blocks of a third of a second of sound.
// Throws std::runtime_error("Cannot decode \"<path>\" to look for pauses.")
// when the file cannot be opened or decoded.
std::optional<LevelProfile> ScanLevels(const std::string& path, const ScanProgress& progress,
                                       const std::function<bool()>& stopRequested);

// An inner cut of a parts split, moved into a pause where one was found.
struct PauseCut {
    int64_t plannedMs = 0;      // where the equal parts put it
    int64_t cutMs = 0;          // where it goes
    bool moved = false;         // false: no pause in its window
    int64_t longestQuietMs = 0; // when not moved: the longest quiet in the window
};

// Moves each inner cut of n equal parts of lengthMs (as a parts split
// places them) to the middle of the longest pause whose middle lies within
// windowMs of it. A cut moves no further back than the cut before it and no
// further on than the next planned cut, so the pieces keep their order; a
// cut with no pause in reach stays where it was.
std::vector<PauseCut> PlacePartsAtPauses(const LevelProfile& profile, int n, int64_t lengthMs,
                                         const SilenceOptions& options, int64_t windowMs = kPauseWindowMs);

// The cuts of a split by silences: the middle of each pause that touches
// neither end of the file (lengthMs as the pauses were measured, the
// profile's: the player's length may differ by a few ms), keeping at least minPieceMs between cuts and
// from either end; longer pauses win. pieces > 0 keeps at most pieces - 1
// cuts, at the longest pauses. In time order.
std::vector<int64_t> CutsAtSilences(const std::vector<Silence>& silences, int64_t lengthMs, int64_t minPieceMs,
                                    int pieces);

// The lines telling which cuts stayed where the equal parts put them, one a
// cut ("Cut 2 at 05:00.000 was not moved: no pause of at least 0.300 s
// within 15 s; the longest quiet there lasts 0.120 s."); empty when every
// cut was moved. Cuts are counted from 1.
std::string UnmovedCutsText(const std::vector<PauseCut>& cuts, const SilenceOptions& options, int64_t windowMs);

} // namespace tindrel
