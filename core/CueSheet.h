// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Split.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tindrel {

// One track of a CUE sheet. Times are in CD frames (1/75 s) from the start
// of the track's file; texts are UTF-8.
struct CueTrack {
    int number = 0;
    std::string file; // the FILE line it belongs to
    std::string title;
    std::string performer;
    std::optional<int64_t> index00;                            // the pregap's start, when given
    int64_t index01 = -1;                                      // where the track starts
    int line = 0;                                              // the sheet's line of its TRACK
    int64_t startMs() const { return (index01 * 40 + 1) / 3; } // 1/75 s = 40/3 ms, to the nearest ms
};

struct CueSheet {
    std::string title;     // the album
    std::string performer; // the album's artist, for tracks without their own
    std::vector<CueTrack> tracks;
};

// Reads a sheet's text: FILE, TRACK, TITLE, PERFORMER and INDEX lines (REM
// and other commands are skipped), values quoted or not, lines ended by LF
// or CR LF, UTF-8 (with or without a byte-order mark) or, failing that,
// ISO-8859-1. Throws std::runtime_error naming the line for a sheet that
// cannot be used: a malformed INDEX time, a track without INDEX 01, times
// that do not go forward among the tracks of one file (under one FILE line
// or several that name it), a quote left open, or no track at all.
CueSheet ParseCueSheet(std::string_view text);
// Reads the sheet from a file; throws std::runtime_error when it cannot be
// read, or as ParseCueSheet.
CueSheet LoadCueSheet(const std::string& path);

// The sheet beside an MP3 file: the same name with ".cue" (or ".CUE") for
// its extension; nothing when there is none.
std::optional<std::string> CueBeside(const std::string& mp3Path);

// The tracks of the sheet that belong to source: all of them when the sheet
// names a single file (rips are often renamed), else those of the FILE
// lines naming source's file name, or failing that its name with another
// extension ("cd1.wav" for "cd1.mp3"). Throws std::runtime_error when none
// do.
std::vector<CueTrack> TracksFor(const CueSheet& sheet, const std::string& source);
// What the user is told of the sheet's tracks that TracksFor left out, as
// they belong to other files; empty when none were.
std::string OtherFilesText(const CueSheet& sheet, const std::vector<CueTrack>& tracks);

// "NN - Title.mp3" (or "NN.mp3" without a title). Characters that a file
// name cannot hold here or on a memory stick's file system (control
// characters and / \ : * ? " < > |) become "_", trailing dots and blanks
// are dropped, and a long title is shortened at a character's edge so the
// name fits in 255 bytes.
std::string CuePieceName(const CueTrack& track);

// The source's tags with the title, artist (the track's performer, else
// the sheet's), album and track number taken from the sheet, for one piece.
PieceTags CuePieceTags(const std::string& source, const CueSheet& sheet, const CueTrack& track);
// The same from the source's tags already loaded, for a sheet of many tracks.
class TID3v1;
class TID3v2;
PieceTags CuePieceTags(TID3v1 v1, TID3v2 v2, const CueSheet& sheet, const CueTrack& track);

} // namespace tindrel
