// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "core/Split.h"
#include "core/TimeText.h"
#include "platform/FileOps.h"
#include "platform/PlatformInt.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <stdexcept>

namespace tindrel {

namespace {

const char* const kCompleted = "Splitting MP3 is completed.";
const char* const kFailed = "Splitting MP3 is failed.";

// The source's two tags, read once and written into every piece.
struct SourceTags {
    explicit SourceTags(const std::string& source) {
        v1.Load(source);
        v2.Load(source);
    }
    void saveInto(const std::string& piece) const {
        // Every piece gets the tags as read from the source, whatever a
        // save may change in the objects it works on.
        TID3v1 v1Copy = v1;
        TID3v2 v2Copy = v2;
        // A piece without the tags the user expects is not a finished piece.
        if (!v1Copy.Save(piece) || !v2Copy.Save(piece))
            throw std::runtime_error("Cannot write the tags into \"" + piece + "\".");
    }
    TID3v1 v1;
    TID3v2 v2;
};

int splitTime(const std::string& source, const CommandLine& line, CliContext& context) {
    const std::string start = line.value("--start").value_or("00:00.000");
    const std::string end = line.value("--end").value_or("00:00.000");
    const std::optional<std::string> output = line.value("--output");
    if (!output || output->empty())
        throw UsageError("split needs -o OUT, or --parts N with -d DIR");
    // The page compares the texts, not the times they stand for.
    if (start == end)
        throw std::runtime_error("Start Time and End Time can not be the same");
    // Another spelling of the source (a link, "..", a relative path) is the
    // source all the same.
    if (SameFile(*output, source))
        throw std::runtime_error("Output file can not be the same as the input file.");
    // The page's save dialog asks before it replaces a file; here --force
    // is the answer.
    if (FileExists(*output) && !line.has("--force"))
        throw std::runtime_error("\"" + *output + "\" exists; add --force to replace it.");
    SourceTags tags(source);
    // A refused cut writes nothing, so there is no piece to tag either.
    if (!CutRange(source, *output, start, kCutOffsetMs, true, end, context.describe))
        throw std::runtime_error(kFailed);
    tags.saveInto(*output);
    context.out << kCompleted << '\n';
    return kExitDone;
}

int splitParts(const std::string& source, const std::string& count, const CommandLine& line, CliContext& context) {
    int32_t n = 0;
    // A negative count would give no part at all; it is refused like 0.
    if (!TryParsePlatformInt(count, n) || n <= 0)
        throw std::runtime_error("Please specify a proper quantity of parts.");
    const std::string folder = line.value("--directory").value_or("");
    if (!DirectoryExists(folder))
        throw std::runtime_error("Please specify a proper output directory.");
    // The page divides the length that the player reported when the file
    // was opened.
    const std::optional<SourceFacts> facts = context.describe(source);
    if (!facts)
        throw std::runtime_error(kFailed);
    SourceTags tags(source);
    const std::string stem = SourceStem(source);
    std::string refused;
    for (int i = 0; i < n; ++i) {
        if (context.stopRequested()) {
            context.progress.clear();
            context.err << "tindrel-cli: Splitting is stopped after " << i << " of " << n << " parts.\n";
            return kExitStopped;
        }
        const PartTimes times = PartRange(i, n, facts->lengthMs);
        const std::string piece = PartOutputPath(folder, stem, i + 1);
        if (CutRange(source, piece, FormatTimeText(times.startMs / 1000.0), kCutOffsetMs, true,
                     FormatTimeText(times.endMs / 1000.0), context.describe))
            tags.saveInto(piece);
        else
            refused += (refused.empty() ? "" : ", ") + std::to_string(i + 1);
        context.progress.show("Splitting: " + std::to_string(PartProgress(i, n)) + "% (part " + std::to_string(i + 1) +
                              " of " + std::to_string(n) + ")");
    }
    context.progress.clear();
    // A script needs to know that a part is missing, as the page tells it.
    if (!refused.empty())
        throw std::runtime_error("These parts could not be cut and were not written: " + refused + ".");
    context.out << kCompleted << '\n';
    return kExitDone;
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
