// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Loudness.h"
#include "mpeg/GlobalGain.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tindrel {

// The APEv2 items in which the MP3 gain tools keep what they changed, so
// that any of them can take back a change another made.
inline constexpr const char* kGainUndoKey = "MP3GAIN_UNDO";
inline constexpr const char* kGainRangeKey = "MP3GAIN_MINMAX";

// The steps that take back the changes made so far, for the left and the
// right channel ("-003,-003,N"; W in place of N marks gains that were let
// wrap round instead of held, which Tindrel never does).
struct TGainUndo {
    int Left = 0;
    int Right = 0;
    bool Wrapped = false;
};
std::optional<TGainUndo> ParseGainUndo(std::string_view text);
std::string GainUndoText(const TGainUndo& undo);

// The whole number of 1.5 dB steps nearest to db.
int GainSteps(double db);
// steps, lowered until a file of that sample peak (1.0 full scale) and
// those global gains neither clips nor needs a gain above 255; never
// raised.
int StepsWithoutClipping(int steps, double samplePeak, const TGainRange& range);

// The figures of a file after its gain changed by steps.
TLoudness AfterGainSteps(TLoudness figures, int steps);

// The range of the global gains of every audio frame of an MP3 file,
// or nothing when it holds no Layer III audio.
// Throws "Cannot open file ..." or "Stream read error".
std::optional<TGainRange> FileGainRange(const std::string& path);

// Whether the file's audio is MPEG Layer III (an MP3 file); false for
// any file that cannot be read.
bool HoldsLayerIII(const std::string& path);

struct TGainApplied {
    int Steps = 0;
    // Some gain was held at 0 or 255: an undo will not restore it.
    bool Clamped = false;
    int64_t Frames = 0;
};

// Adds steps to the global gain of every Layer III audio frame and adds
// the opposite to the undo record, in one safe replacement of the file.
// The encoder's info frame and every byte outside the gain fields (and the
// CRCs of protected frames) stay as they were; the gain range item is kept
// up to date when the file has one. An undo record that comes back to 0
// and a tag left without items are removed, so that a change and its undo
// give the file's bytes back. ReplayGain frames of the ID3v2 tag follow the
// change: gains less by its dB, peaks scaled by it.
// Throws std::runtime_error: "\"<path>\" holds no MPEG Layer III audio.",
// "Cannot write the tags of \"<path>\". <reason>", or the errors of reading
// and of the safe write.
TGainApplied ApplyGain(const std::string& path, int steps);
// Takes back the changes the undo record holds (Tindrel's or another
// tool's), per channel. False, with the file untouched, when it has none.
bool UndoGain(const std::string& path);

} // namespace tindrel
