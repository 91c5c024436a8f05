// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/ReadOnlyOutputs.h"
#include "core/CueSheet.h"
#include "core/ExactCut.h"
#include "core/Silence.h"
#include "core/Split.h"
#include "core/SplitPlan.h"
#include "core/TimeText.h"
#include "mpeg/MPEGaudio.h"
#include "platform/FileOps.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace tindrel {

namespace {

// The progress line stands for the page's gauge and Stop button.
class ConsoleSplitObserver final : public SplitObserver {
public:
    explicit ConsoleSplitObserver(CliContext& context) : m_context(context) {}
    bool stopRequested() override { return m_context.stopRequested(); }
    void partDone(int part, int count, int percent) override {
        m_context.progress.show("Splitting: " + std::to_string(percent) + "% (part " + std::to_string(part) + " of " +
                                std::to_string(count) + ")");
    }

private:
    CliContext& m_context;
};

// The page shows every outcome in one box; here a completed split goes to
// the output, and anything short of it (a refusal, a part or tags that
// could not be written) to the error stream with a failing exit status, so
// that a script knows.
int report(const SplitOutcome& outcome, CliContext& context) {
    if (outcome.result == SplitResult::Completed && outcome.refusedParts.empty() && outcome.withoutID3v1.empty() &&
        outcome.withoutID3v2.empty()) {
        context.out << outcome.message << '\n';
        return kExitDone;
    }
    throw std::runtime_error(outcome.message + (outcome.reason.empty() ? "" : "\n" + outcome.reason));
}

SplitMode modeOf(const CommandLine& line) {
    return line.has("--exact") ? SplitMode::Exact : SplitMode::Bytes;
}

int splitTime(const std::string& source, const CommandLine& line, CliContext& context) {
    const std::string start = line.value("--start").value_or("00:00.000");
    const std::string end = line.value("--end").value_or("00:00.000");
    const std::optional<std::string> output = line.value("--output");
    if (!output || output->empty())
        throw UsageError("split needs -o OUT, or --parts N with -d DIR");
    if (const auto refusal = SplitRangeRefusal(start, end))
        throw std::runtime_error(*refusal);
    // The page's save dialog asks before it replaces a file; here --force
    // is the answer. The source itself is refused by the split, not here.
    const ReadOnlyOutputs marked({*output}, line.has("--force"));
    if (FileExists(*output) && !SameFile(*output, source) && !line.has("--force"))
        throw std::runtime_error("\"" + *output + "\" exists; add --force to replace it.");
    const SplitOutcome outcome = RunSplitRange(source, *output, start, end, context.describe, modeOf(line));
    marked.report(context.err);
    return report(outcome, context);
}

int splitParts(const std::string& source, const std::string& count, const CommandLine& line, CliContext& context) {
    int32_t n = 0;
    const std::string folder = line.value("--directory").value_or("");
    if (auto refusal = PartsCountRefusal(count, n); refusal || (refusal = PartsFolderRefusal(folder)))
        throw std::runtime_error(*refusal);
    // The page divides the length that the player reported when the file
    // was opened; here the split asks for it once it holds the source open,
    // and the exact mode finds the length itself.
    const SplitMode mode = modeOf(line);
    std::vector<std::string> outputs;
    for (int k = 1; k <= n; ++k)
        outputs.push_back(PartOutputPath(folder, SourceStem(source), k));
    const ReadOnlyOutputs marked(outputs, line.has("--force"));
    ConsoleSplitObserver observer(context);
    const SplitOutcome outcome = RunSplitParts(source, folder, n, -1, context.describe, observer, mode);
    context.progress.clear();
    marked.report(context.err);
    if (outcome.result == SplitResult::Stopped) {
        context.err << "tindrel-cli: Splitting is stopped after " << outcome.partsDone << " of " << n << " parts.\n";
        return kExitStopped;
    }
    return report(outcome, context);
}

// ---- The modes that cut where the sound pauses or a CUE sheet says ----------

std::string FormatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A decimal number given to option, within [low, high].
double numberOption(const CommandLine& line, std::string_view option, double fallback, double low, double high) {
    const std::optional<std::string> text = line.value(option);
    if (!text)
        return fallback;
    char* end = nullptr;
    const double value = std::strtod(text->c_str(), &end);
    if (text->empty() || *end != '\0' || !std::isfinite(value) || value < low || value > high)
        throw UsageError(std::string(option) + " needs a number from " + FormatNumber(low) + " to " +
                         FormatNumber(high) + ", not \"" + *text + "\"");
    return value;
}

SilenceOptions silenceOptions(const CommandLine& line) {
    const SilenceOptions defaults;
    return {numberOption(line, "--threshold", defaults.thresholdDb, -120, 0),
            std::llround(numberOption(line, "--min-silence", defaults.minLengthMs / 1000.0, 0.01, 3600) * 1000)};
}

std::string seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", ms / 1000.0);
    return text;
}

// Decodes the source once for its pauses; nothing when stopped.
std::optional<LevelProfile> scan(const std::string& source, CliContext& context) {
    std::optional<LevelProfile> profile = ScanLevels(
        source,
        [&context](int percent) { context.progress.show("Looking for pauses: " + std::to_string(percent) + "%"); },
        context.stopRequested);
    context.progress.clear();
    if (!profile)
        context.err << "tindrel-cli: Looking for pauses is stopped; nothing was written.\n";
    return profile;
}

// Lists what a split would write (and the pauses found), or writes it.
// Without --exact the pieces are cut between whole frames: they are placed
// there first, so that the list shows where they will really be cut.
int runPlan(const std::string& source, std::vector<PlannedPiece> pieces, const std::vector<Silence>& pauses,
            const std::string& note, const CommandLine& line, CliContext& context) {
    if (modeOf(line) == SplitMode::Bytes)
        PlaceOnFrames(source, pieces);
    if (line.has("--dry-run")) {
        for (std::size_t i = 0; i < pauses.size(); ++i)
            context.out << "Pause " << i + 1 << ": " << FormatTimeText(pauses[i].startMs / 1000.0) << " - "
                        << FormatTimeText(pauses[i].endMs / 1000.0) << " (" << seconds(pauses[i].lengthMs()) << ")\n";
        for (std::size_t i = 0; i < pieces.size(); ++i)
            context.out << "Piece " << i + 1 << ": " << FormatTimeText(pieces[i].startMs / 1000.0) << " - "
                        << FormatTimeText(pieces[i].endMs / 1000.0) << " " << pieces[i].path << "\n";
        if (!note.empty())
            context.out << note << "\n";
        return kExitDone;
    }
    std::vector<std::string> outputs;
    for (const PlannedPiece& piece : pieces)
        outputs.push_back(piece.path);
    const ReadOnlyOutputs marked(outputs, line.has("--force"));
    ConsoleSplitObserver observer(context);
    const SplitOutcome outcome = RunSplitPlan(source, pieces, context.describe, observer, note, modeOf(line));
    context.progress.clear();
    marked.report(context.err);
    if (outcome.result == SplitResult::Stopped) {
        context.err << "tindrel-cli: Splitting is stopped after " << outcome.partsDone << " of " << pieces.size()
                    << " parts.\n";
        return kExitStopped;
    }
    return report(outcome, context);
}

// The length the cuts are planned over, once the folder is checked: the
// player's for the byte rule. The exact mode cuts the decoded stream, so it
// takes the length the scan measured when there is one, and needs no
// player (without either, its last piece simply runs to the end).
int64_t planLength(const std::string& source, const std::string& folder, const CommandLine& line, CliContext& context,
                   std::optional<int64_t> decodedMs = std::nullopt) {
    if (const auto refusal = PartsFolderRefusal(folder))
        throw std::runtime_error(*refusal);
    if (modeOf(line) == SplitMode::Exact && decodedMs)
        return *decodedMs;
    const std::optional<SourceFacts> facts = context.describe(source);
    if (facts)
        return facts->lengthMs;
    if (modeOf(line) == SplitMode::Exact)
        return std::numeric_limits<int32_t>::max();
    throw std::runtime_error(kSplitFailed);
}

// A file without MPEG audio is said to be one before its sound is scanned,
// not after the scan found no pause in it.
void checkHoldsMPEGAudio(const std::string& source) {
    TMPEGaudio analysis;
    analysis.Analyze(source);
    if (!analysis.IsValid())
        throw std::runtime_error(NoMPEGAudioMessage(source));
}

int splitPartsAtPauses(const std::string& source, const std::string& count, const CommandLine& line,
                       CliContext& context) {
    int32_t n = 0;
    if (const auto refusal = PartsCountRefusal(count, n))
        throw std::runtime_error(*refusal);
    const std::string folder = line.value("--directory").value_or("");
    planLength(source, folder, line, context, 0); // refuses before the scan, not after it
    checkHoldsMPEGAudio(source);
    const SilenceOptions options = silenceOptions(line);
    const int64_t windowMs = std::llround(numberOption(line, "--window", kPauseWindowMs / 1000.0, 0, 3600) * 1000);
    const std::optional<LevelProfile> profile = scan(source, context);
    if (!profile)
        return kExitStopped;
    const int64_t lengthMs = planLength(source, folder, line, context, profile->lengthMs());
    const std::vector<PauseCut> cuts = PlacePartsAtPauses(*profile, n, lengthMs, options, windowMs);
    std::vector<int64_t> times;
    for (const PauseCut& cut : cuts)
        times.push_back(cut.cutMs);
    return runPlan(source, PiecesBetweenCuts(source, folder, times, lengthMs), profile->FindSilences(options),
                   UnmovedCutsText(cuts, options, windowMs), line, context);
}

// Why a split by silences has nothing to cut at.
std::string noCutText(const std::vector<Silence>& pauses, const SilenceOptions& options, int64_t minPieceMs,
                      int pieces) {
    const std::string nothing = "; nothing was written.";
    if (pauses.empty())
        return "No pause of at least " + seconds(options.minLengthMs) + " below " + FormatNumber(options.thresholdDb) +
               " dB to cut at was found" + nothing;
    const std::string found =
        std::to_string(pauses.size()) + (pauses.size() == 1 ? " pause was" : " pauses were") + " found, but ";
    if (pieces == 1)
        return found + "--pieces 1 asks for the whole file as one piece" + nothing;
    if (minPieceMs > 0)
        return found + "none leaves pieces of at least " + seconds(minPieceMs) + " (--min-piece)" + nothing;
    return found + "each one touches the start or the end of the file" + nothing;
}

int splitSilences(const std::string& source, const CommandLine& line, CliContext& context) {
    const std::string folder = line.value("--directory").value_or("");
    planLength(source, folder, line, context, 0); // refuses before the scan, not after it
    checkHoldsMPEGAudio(source);
    const SilenceOptions options = silenceOptions(line);
    const int64_t minPieceMs = std::llround(numberOption(line, "--min-piece", 0, 0, 360'000) * 1000);
    const double piecesValue = numberOption(line, "--pieces", 0, 0, 10'000);
    if (piecesValue != std::floor(piecesValue))
        throw UsageError("--pieces needs a whole number");
    const int pieces = static_cast<int>(piecesValue);
    const std::optional<LevelProfile> profile = scan(source, context);
    if (!profile)
        return kExitStopped;
    const int64_t lengthMs = planLength(source, folder, line, context, profile->lengthMs());
    const std::vector<Silence> pauses = profile->FindSilences(options);
    const std::vector<int64_t> cuts = CutsAtSilences(pauses, profile->lengthMs(), minPieceMs, pieces);
    // Finding nothing is said, not taken for one piece the size of the file,
    // and so is a pause found but not used.
    if (cuts.empty())
        throw std::runtime_error(noCutText(pauses, options, minPieceMs, pieces));
    return runPlan(source, PiecesBetweenCuts(source, folder, cuts, lengthMs), pauses, {}, line, context);
}

int splitCue(const std::string& source, const std::string& sheetPath, const CommandLine& line, CliContext& context) {
    const std::string folder = line.value("--directory").value_or("");
    const CueSheet sheet = LoadCueSheet(sheetPath);
    const std::vector<CueTrack> tracks = TracksFor(sheet, source);
    checkHoldsMPEGAudio(source);
    const int64_t lengthMs = planLength(source, folder, line, context);
    std::string pastTheEnd;
    const std::vector<PlannedPiece> pieces = PiecesFromCue(source, folder, sheet, tracks, lengthMs, &pastTheEnd);
    if (pieces.empty())
        throw std::runtime_error("Every track of the CUE sheet starts after the end of the file; nothing was written.");
    // Tracks left out are said, beside the completion line.
    std::string note = OtherFilesText(sheet, tracks);
    if (!pastTheEnd.empty())
        note += (note.empty() ? "" : "\n") + pastTheEnd;
    return runPlan(source, pieces, {}, note, line, context);
}

// Which options go with which mode, so that a mistyped command is told
// rather than silently half obeyed.
void checkModeOptions(const CommandLine& line) {
    const bool parts = line.has("--parts"), pauses = line.has("--at-pauses"), silences = line.has("--silences"),
               cue = line.has("--cue");
    if (int(parts) + int(silences) + int(cue) > 1)
        throw UsageError("--parts, --silences and --cue are modes of their own; give one");
    for (const char* mode : {"--parts", "--silences", "--cue"})
        if (line.has(mode) && (line.has("--start") || line.has("--end") || line.has("--output")))
            throw UsageError(std::string(mode) + " goes with -d DIR, not with --start, --end or -o");
    if (pauses && !parts)
        throw UsageError("--at-pauses goes with --parts N");
    if (!parts && !silences && !cue && line.has("--directory"))
        throw UsageError("-d DIR goes with --parts N, --silences or --cue SHEET");
    for (const char* option : {"--threshold", "--min-silence"})
        if (line.has(option) && !pauses && !silences)
            throw UsageError(std::string(option) + " goes with --at-pauses or --silences");
    if (line.has("--window") && !pauses)
        throw UsageError("--window goes with --at-pauses");
    for (const char* option : {"--min-piece", "--pieces"})
        if (line.has(option) && !silences)
            throw UsageError(std::string(option) + " goes with --silences");
    if (line.has("--dry-run") && !pauses && !silences && !cue)
        throw UsageError("--dry-run goes with --at-pauses, --silences or --cue SHEET");
}

} // namespace

int SplitCommand(const CommandLine& line, CliContext& context) {
    if (line.operands.size() != 1)
        throw UsageError("split needs exactly one FILE");
    const std::string& source = line.operands[0];
    checkModeOptions(line);
    const std::optional<std::string> parts = line.value("--parts");
    if (!FileExists(source))
        throw std::runtime_error("Please open a MP3 file.");
    if (const std::optional<std::string> sheet = line.value("--cue"))
        return splitCue(source, *sheet, line, context);
    if (line.has("--silences"))
        return splitSilences(source, line, context);
    if (parts && line.has("--at-pauses"))
        return splitPartsAtPauses(source, *parts, line, context);
    return parts ? splitParts(source, *parts, line, context) : splitTime(source, line, context);
}

} // namespace tindrel
