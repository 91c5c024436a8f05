// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/CueSheet.h"
#include "core/Split.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tindrel {

// One piece a split is about to write: shown to the user, who may move or
// drop cuts, before anything is written.
struct PlannedPiece {
    int64_t startMs = 0;
    int64_t endMs = 0;
    std::string path;
    PieceTags tags;
    // For a sheet's piece, its start and end in the sheet's 1/75 s (-1 for
    // none): the exact mode cuts there, not at the ms they round to.
    int64_t startCd = -1;
    int64_t endCd = -1;
};

// The pieces between successive cuts (in time order, each inside the
// file) of source, from its start to lengthMs, named as the parts of a
// parts split ("song_chunk_1.mp3", ...) in folder and carrying the
// source's tags.
std::vector<PlannedPiece> PiecesBetweenCuts(const std::string& source, const std::string& folder,
                                            const std::vector<int64_t>& cutsMs, int64_t lengthMs);

// One piece a track, from its INDEX 01 to the next track's (the gap before
// a track, from its INDEX 00, stays with the track before it) or to
// lengthMs, named by CuePieceName in folder and tagged by CuePieceTags.
// Tracks that start at or after lengthMs are left out.
std::vector<PlannedPiece> PiecesFromCue(const std::string& source, const std::string& folder, const CueSheet& sheet,
                                        const std::vector<CueTrack>& tracks, int64_t lengthMs);

// Moves times[i] (cuts or piece starts, in time order) to ms when it stays
// after the one before (at 0 or later for the first) and before the one
// after (before lengthMs for the last); false, and nothing changed,
// otherwise.
bool MoveCut(std::vector<int64_t>& times, std::size_t i, int64_t ms, int64_t lengthMs);

// Cuts every planned piece from source at its own times (never moved by
// the offset), each with its tags, replacing files of the same names: by
// the byte rule, or exactly (the last piece then runs to the end of the
// stream). A piece whose cut is refused is left out and named in the
// message; one whose tags cannot be written is kept and named. note, when
// not empty, follows the completion line. Stops between pieces when the
// observer asks. A source without MPEG audio is refused (Failed), as by
// every split. Throws as CutPiece does.
SplitOutcome RunSplitPlan(const std::string& source, const std::vector<PlannedPiece>& pieces,
                          const DescribeSource& describe, SplitObserver& observer, const std::string& note = {},
                          SplitMode mode = SplitMode::Bytes);

} // namespace tindrel
