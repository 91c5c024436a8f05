// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tindrel {

// The loudness every file is brought to by its gain, in LUFS.
inline constexpr double kReferenceLoudness = -18.0;

// The measured loudness of a file or of an album.
struct TLoudness {
    // Integrated loudness in LUFS; -infinity for silence.
    double Loudness = 0;
    // Highest sample and highest inter-sample peak, 1.0 being full scale.
    double SamplePeak = 0;
    double TruePeak = 0;

    bool Silent() const;
    // dB that bring the loudness to the reference; 0 for silence.
    double Gain() const;
};

struct TLoudnessScan {
    std::vector<std::string> Paths;
    std::vector<TLoudness> Tracks;
    // All tracks measured as one programme: the loudness of their blocks
    // together, the highest peaks.
    TLoudness Album;
};

// Reports how far a scan has come, in percent of the sound of all files.
using LoudnessProgress = std::function<void(int percent)>;

// Decodes every file with the engine's decoders (any format the player
// reads) and measures it, several files at once on a machine with several
// cores. progress is called from the scanning threads, one call at a time;
// stopRequested is asked between blocks and makes the scan return early
// with an empty result.
// Throws std::runtime_error("Cannot decode \"<path>\" to measure its
// loudness.") for the first file that cannot be opened or decoded.
TLoudnessScan ScanLoudness(const std::vector<std::string>& paths, const LoudnessProgress& progress = {},
                           const std::function<bool()>& stopRequested = {});

// The texts the tags hold: "-6.52 dB" and "0.988553".
std::string GainText(double db);
std::string PeakText(double peak);

// Writes the track's (and when album is given, the album's) gain and peak
// as ID3v2 user text frames, keeping every other frame and every byte
// behind the ID3v2 tag (an APEv2 tag among them). The peak written is the
// true peak. False, with the file as it was and the cause in reason, when
// the file cannot be rewritten.
bool WriteReplayGainTags(const std::string& path, const TLoudness& track, const TLoudness* album,
                         std::string* reason = nullptr);

} // namespace tindrel
