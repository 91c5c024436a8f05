// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "core/LosslessGain.h"
#include "core/Loudness.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tindrel {
namespace {

std::string decibels(double linear) {
    if (linear <= 0)
        return "-inf";
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", 20 * std::log10(linear));
    return text;
}

std::string row(const TLoudness& figures, const std::string& name) {
    char text[160];
    const std::string loudness = figures.Silent() ? "-inf" : decibels(std::pow(10.0, figures.Loudness / 20));
    std::snprintf(text, sizeof text, "%9s %9s %9s %+8.2f  ", loudness.c_str(), decibels(figures.SamplePeak).c_str(),
                  decibels(figures.TruePeak).c_str(), figures.Gain());
    return text + name + "\n";
}

int undoAll(const std::vector<std::string>& files, CliContext& context) {
    for (const std::string& file : files)
        context.out << file << (UndoGain(file) ? ": the gain change is undone\n" : ": no gain change to undo\n");
    return kExitDone;
}

// The steps for one file: a number of dB, or the track's or the album's
// gain, lowered for --no-clip.
int stepsFor(const std::string& how, const TLoudnessScan* scan, std::size_t i, bool noClip, const std::string& file) {
    int steps = 0;
    if (how == "track")
        steps = GainSteps(scan->Tracks[i].Gain());
    else if (how == "album")
        steps = GainSteps(scan->Album.Gain());
    else
        steps = GainSteps(std::stod(how));
    if (noClip) {
        const auto range = FileGainRange(file);
        steps = StepsWithoutClipping(steps, scan->Tracks[i].SamplePeak, range.value_or(TGainRange{0, 0}));
    }
    return steps;
}

bool isNumber(const std::string& text) {
    std::size_t used = 0;
    try {
        std::stod(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size();
}

} // namespace

int LoudnessCommand(const CommandLine& line, CliContext& context) {
    const std::vector<std::string>& files = line.operands;
    if (files.empty())
        throw UsageError("loudness needs at least one FILE");
    if (line.has("--undo"))
        return undoAll(files, context);
    const std::string apply = line.value("--apply").value_or("");
    if (!apply.empty() && apply != "track" && apply != "album" && !isNumber(apply))
        throw UsageError("--apply takes track, album or a number of dB");
    const bool album = line.has("--album") || apply == "album";
    const bool noClip = line.has("--no-clip");
    // A fixed change needs no measuring unless clipping is to be avoided.
    const bool measure = apply.empty() || apply == "track" || apply == "album" || noClip || line.has("--write");

    TLoudnessScan scan;
    if (measure) {
        scan = ScanLoudness(
            files, [&](int percent) { context.progress.show("Measuring loudness: " + std::to_string(percent) + " %"); },
            context.stopRequested);
        context.progress.clear();
        if (scan.Tracks.empty()) {
            context.err << "tindrel-cli: Measuring is stopped.\n";
            return kExitStopped;
        }
        context.out << " Loudness      Peak True peak     Gain\n"
                    << "     LUFS      dBFS      dBFS       dB\n";
        for (std::size_t i = 0; i < files.size(); ++i)
            context.out << row(scan.Tracks[i], files[i]);
        if (album)
            context.out << row(scan.Album, "(album)");
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const bool mp3 = HoldsLayerIII(files[i]);
        int steps = 0;
        if (!apply.empty()) {
            if (!mp3)
                throw std::runtime_error("\"" + files[i] + "\" holds no MPEG Layer III audio.");
            steps = stepsFor(apply, measure ? &scan : nullptr, i, noClip, files[i]);
            const TGainApplied applied = ApplyGain(files[i], steps);
            char text[128];
            std::snprintf(text, sizeof text, ": gain changed by %+d steps (%+.1f dB)%s\n", steps, steps * kGainStepDB,
                          applied.Clamped ? ", some gains held at their limit" : "");
            context.out << files[i] << text;
        }
        if (line.has("--write")) {
            if (!mp3) {
                context.out << files[i] << ": not an MP3 file, no tags written\n";
                continue;
            }
            const TLoudness track = AfterGainSteps(scan.Tracks[i], steps);
            const TLoudness albumFigures = AfterGainSteps(scan.Album, steps);
            std::string reason;
            if (!WriteReplayGainTags(files[i], track, album ? &albumFigures : nullptr, &reason))
                throw std::runtime_error("Cannot write the tags of \"" + files[i] + "\". " + reason);
        }
    }
    return kExitDone;
}

} // namespace tindrel
