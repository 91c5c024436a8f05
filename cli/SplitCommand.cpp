// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "core/Split.h"
#include "platform/FileOps.h"

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
    throw std::runtime_error(outcome.message);
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
    if (FileExists(*output) && !SameFile(*output, source) && !line.has("--force"))
        throw std::runtime_error("\"" + *output + "\" exists; add --force to replace it.");
    return report(RunSplitRange(source, *output, start, end, context.describe, modeOf(line)), context);
}

int splitParts(const std::string& source, const std::string& count, const CommandLine& line, CliContext& context) {
    int32_t n = 0;
    const std::string folder = line.value("--directory").value_or("");
    if (auto refusal = PartsCountRefusal(count, n); refusal || (refusal = PartsFolderRefusal(folder)))
        throw std::runtime_error(*refusal);
    // The page divides the length that the player reported when the file
    // was opened; the exact mode finds the length itself.
    const SplitMode mode = modeOf(line);
    const std::optional<SourceFacts> facts =
        mode == SplitMode::Exact ? std::optional<SourceFacts>(SourceFacts{}) : context.describe(source);
    if (!facts)
        throw std::runtime_error(kSplitFailed);
    ConsoleSplitObserver observer(context);
    const SplitOutcome outcome = RunSplitParts(source, folder, n, facts->lengthMs, context.describe, observer, mode);
    context.progress.clear();
    if (outcome.result == SplitResult::Stopped) {
        context.err << "tindrel-cli: Splitting is stopped after " << outcome.partsDone << " of " << n << " parts.\n";
        return kExitStopped;
    }
    return report(outcome, context);
}

} // namespace

int SplitCommand(const CommandLine& line, CliContext& context) {
    if (line.operands.size() != 1)
        throw UsageError("split needs exactly one FILE");
    const std::string& source = line.operands[0];
    const std::optional<std::string> parts = line.value("--parts");
    if (parts && (line.has("--start") || line.has("--end") || line.has("--output")))
        throw UsageError("--parts goes with -d DIR, not with --start, --end or -o");
    if (!parts && line.has("--directory"))
        throw UsageError("-d DIR goes with --parts N");
    if (!FileExists(source))
        throw std::runtime_error("Please open a MP3 file.");
    return parts ? splitParts(source, *parts, line, context) : splitTime(source, line, context);
}

} // namespace tindrel
