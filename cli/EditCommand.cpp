// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "core/EditList.h"
#include "core/EditWriter.h"
#include "core/Silence.h"
#include "core/TimeText.h"
#include "platform/FileOps.h"

#include <stdexcept>

namespace tindrel {

namespace {

class ConsoleEditObserver final : public EditObserver {
public:
    explicit ConsoleEditObserver(CliContext& context) : m_context(context) {}
    bool stopRequested() override { return m_context.stopRequested(); }
    void progress(int percent) override {
        if (percent != m_shown)
            m_context.progress.show("Editing: " + std::to_string(m_shown = percent) + "%");
    }

private:
    CliContext& m_context;
    int m_shown = -1;
};

// "A-B:DB": the times have colons of their own, the gain follows the last.
EditOperation gainOperation(const std::string& text) {
    const auto colon = text.rfind(':');
    const std::string db = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    char* end = nullptr;
    const double value = std::strtod(db.c_str(), &end);
    if (db.empty() || *end != '\0')
        throw UsageError("--gain takes A-B:DB, not " + text);
    try {
        return {EditKind::Gain, {ParseEditRange(text.substr(0, colon))}, GainStepsOf(value)};
    } catch (const std::runtime_error&) {
        throw UsageError("--gain takes A-B:DB, not " + text);
    }
}

// The silence at either end of the file, by the Pauses window's rule.
void trimSilence(const std::string& source, EditList& edits, CliContext& context) {
    const std::optional<LevelProfile> profile = ScanLevels(
        source, [&](int percent) { context.progress.show("Looking for pauses: " + std::to_string(percent) + "%"); },
        context.stopRequested);
    if (!profile)
        return;
    const int64_t length = profile->lengthMs();
    for (const Silence& s : profile->FindSilences(SilenceOptions{})) {
        if (s.startMs <= 0)
            edits.Apply({EditKind::Delete, {{0, s.endMs}}, 0});
        else if (s.endMs >= length)
            edits.Apply({EditKind::Delete, {{s.startMs, length}}, 0});
    }
}

EditList editsOf(const std::string& source, const CommandLine& line, CliContext& context) {
    EditList edits;
    if (const auto list = line.value("--edits"))
        edits = EditList::Load(*list);
    std::vector<EditRange> keep;
    for (const ParsedOption& option : line.options) {
        if (option.name == "--delete")
            edits.Apply({EditKind::Delete, {ParseEditRange(option.value)}, 0});
        else if (option.name == "--keep")
            keep.push_back(ParseEditRange(option.value));
        else if (option.name == "--gain")
            edits.Apply(gainOperation(option.value));
        else if (option.name == "--fade-in")
            edits.Apply({EditKind::FadeIn, {ParseEditRange(option.value)}, 0});
        else if (option.name == "--fade-out")
            edits.Apply({EditKind::FadeOut, {ParseEditRange(option.value)}, 0});
    }
    // Several --keep keep all their ranges, not only where they overlap.
    if (!keep.empty())
        edits.Apply({EditKind::Keep, keep, 0});
    if (line.has("--trim-silence"))
        trimSilence(source, edits, context);
    return edits;
}

} // namespace

int EditCommand(const CommandLine& line, CliContext& context) {
    const std::optional<std::string> output = line.value("--output");
    if (!output || output->empty())
        throw UsageError("edit needs -o OUT");
    if (line.operands.size() != 1)
        throw UsageError("edit takes one FILE");
    const std::string& source = line.operands.front();
    if (FileExists(*output) && !line.has("--force"))
        throw std::runtime_error("\"" + *output + "\" exists; add --force to replace it.");
    const EditList edits = editsOf(source, line, context);
    if (const auto list = line.value("--save-edits"))
        edits.Save(*list);
    ConsoleEditObserver observer(context);
    EditLayout layout;
    const EditResult result =
        RunEdit(source, *output, edits, line.has("--exact") ? EditMode::Exact : EditMode::Frames, observer, &layout);
    context.progress.clear();
    if (result == EditResult::Stopped) {
        context.err << "tindrel-cli: Editing is stopped.\n";
        return kExitStopped;
    }
    context.out << "Editing MP3 is completed.\n";
    for (const EditSeam& seam : layout.Seams)
        context.out << "Seam at sample " << seam.OutputSample << ": source samples up to " << seam.SourceEnd
                    << ", then from " << seam.SourceResume << "\n";
    context.out << "Length: " << layout.OutputSamples << " samples\n";
    return kExitDone;
}

} // namespace tindrel
