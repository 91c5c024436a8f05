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
    // Where a cut without --exact takes the piece, once placed on the
    // source's frames (PlaceOnFrames): its bytes [startByte, endByte).
    int64_t startByte = -1;
    int64_t endByte = -1;
};

class FrameCuts;
// Moves the pieces' starts and ends to the frame boundaries nearest to
// them, where a cut without --exact really cuts, and sets their times to
// those of the boundaries: pieces that met still meet, none becomes empty,
// and the last one runs to the end of the stream.
void PlaceOnFrames(const FrameCuts& frames, std::vector<PlannedPiece>& pieces);
// The same on the frames of source, walked once. Throws std::runtime_error
// naming the source when it holds no MPEG audio.
void PlaceOnFrames(const std::string& source, std::vector<PlannedPiece>& pieces);

// The pieces between successive cuts (in time order, each inside the
// file) of source, from its start to lengthMs, named as the parts of a
// parts split ("song_chunk_1.mp3", ...) in folder and carrying the
// source's tags.
std::vector<PlannedPiece> PiecesBetweenCuts(const std::string& source, const std::string& folder,
                                            const std::vector<int64_t>& cutsMs, int64_t lengthMs);

// One piece a track, from its INDEX 01 to the next track's (the gap before
// a track, from its INDEX 00, stays with the track before it) or to
// lengthMs, named by CuePieceName in folder (a name that an earlier
// piece took, its letters' cases aside, gets " (2)", " (3)"... before its
// extension) and tagged by CuePieceTags. Tracks that start at or after
// lengthMs are left out, and note (when given) says which.
std::vector<PlannedPiece> PiecesFromCue(const std::string& source, const std::string& folder, const CueSheet& sheet,
                                        const std::vector<CueTrack>& tracks, int64_t lengthMs,
                                        std::string* note = nullptr);

// Moves times[i] (cuts or piece starts, in time order) to ms when it stays
// after the one before (at 0 or later for the first) and before the one
// after (before lengthMs for the last); false, and nothing changed,
// otherwise.
bool MoveCut(std::vector<int64_t>& times, std::size_t i, int64_t ms, int64_t lengthMs);

// Cuts every planned piece from source at its own times (never moved by
// the offset), each with its tags, replacing files of the same names:
// between the whole frames nearest to them (pieces not yet placed are
// placed by PlaceOnFrames), or exactly; the last piece runs to the end of
// the stream. A piece whose cut is refused is left out and named in the
// message; one whose tags cannot be written is kept and named. note, when
// not empty, follows the completion line. Stops between pieces when the
// observer asks. A source without MPEG audio is refused (Failed), as by
// every split. Throws as CutPiece does.
SplitOutcome RunSplitPlan(const std::string& source, const std::vector<PlannedPiece>& pieces,
                          const DescribeSource& describe, SplitObserver& observer, const std::string& note = {},
                          SplitMode mode = SplitMode::Bytes);

} // namespace tindrel
