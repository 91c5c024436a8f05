// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tindrel {

// A cut copies at most this many bytes per block.
inline constexpr std::size_t kCutBlockBytes = 61'440;
// Both ends of a cut are moved this much earlier, and an offset never goes
// beyond kCutOffsetLimitMs either way.
inline constexpr int64_t kCutOffsetMs = -150;
inline constexpr int64_t kCutOffsetLimitMs = 5'000;

// What the player reports of a source: its play length and its one bit rate.
struct SourceFacts {
    int64_t lengthMs = 0;
    int64_t bitRateKbps = 0;
};
// Describes a source, or gives nothing when the player cannot be used.
using DescribeSource = std::function<std::optional<SourceFacts>(const std::string& path)>;

// The byte range a cut copies: count 0 means "the whole input".
struct CutBytes {
    int64_t start = 0;
    int64_t count = 0;
};

// Works out the byte range for the given times (already moved by the
// offset); nothing when the cut is refused (start at or past the length, not
// before the end, or the whole selection before the start of the file). A
// bit rate of 0 gives a count of 0.
std::optional<CutBytes> CutByteRange(int64_t startMs, int64_t endMs, const SourceFacts& facts);

// Copies the range of the input between the two time texts into output,
// positioned by the source's bit rate: bytes = kbit/s x ms / 8 from the
// first byte of the file. Returns false when the cut is refused (missing
// input, player not usable, an empty or reversed range, output is the input
// itself, or output exists and overwrite is false); nothing is written then.
// Throws "'x' is not a valid integer value" for a bad time text, "Cannot
// open file ..." / "Cannot create file ..." and "Stream read error" (the
// output then holds the whole blocks copied before the failing one).
bool CutRange(const std::string& inputPath, const std::string& outputPath, const std::string& startText,
              int64_t offsetMs, bool overwrite, const std::string& endText, const DescribeSource& describe);

// Deletes a file even when it is marked read-only; true when the file
// existed and is gone.
bool ForceDeleteFile(const std::string& path);

// The file name of path with its last four characters dropped, whatever
// they are: "song.mp3" gives "song", "song.mpeg" gives "song.".
std::string SourceStem(const std::string& path);

// folder (a separator is added when missing) + stem + "_chunk_" + k + ".mp3".
std::string PartOutputPath(const std::string& folder, const std::string& stem, int k);

// The times of part i (from 0) of n over a length: equal parts of
// length / n, the last one running to the end.
struct PartTimes {
    int64_t startMs;
    int64_t endMs;
};
PartTimes PartRange(int i, int n, int64_t lengthMs);

// The gauge after part i (from 0) of n: i / (n - 1) x 100 with halves to
// even; a single part fills the gauge.
int PartProgress(int i, int n);

} // namespace tindrel
