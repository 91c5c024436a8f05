// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/ReadOnlyOutputs.h"
#include "core/Join.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"

#include <stdexcept>

namespace tindrel {

namespace {

class ConsoleJoinObserver final : public JoinObserver {
public:
    ConsoleJoinObserver(CliContext& context, std::size_t rows, bool replacing)
        : m_context(context), m_rows(rows), m_replacing(replacing) {}
    void letEventsRun() override {}
    bool stopRequested() override { return m_context.stopRequested(); }
    void setStatus(std::size_t row, JoinStatus status) override {
        if (status == JoinStatus::Done)
            m_context.progress.show("Joining: " + std::to_string(row + 1) + " of " + std::to_string(m_rows) + " files");
    }

    // Ctrl+C interrupts the tool: a file that --force was to replace stays
    // as it was rather than becoming the part joined so far.
    bool stopKeepsOutput() const override { return !m_replacing; }

private:
    CliContext& m_context;
    std::size_t m_rows;
    bool m_replacing;
};

} // namespace

int JoinCommand(const CommandLine& line, CliContext& context) {
    const std::optional<std::string> output = line.value("--output");
    if (!output || output->empty())
        throw UsageError("join needs -o OUT");
    const std::vector<std::string>& inputs = line.operands;
    if (inputs.empty())
        throw UsageError("join needs at least one FILE");
    if (FindInputSameAs(inputs, *output))
        throw std::runtime_error("The output file can not be one of the files to join.");
    const ReadOnlyOutputs marked({*output}, line.has("--force"));
    if (FileExists(*output) && !line.has("--force"))
        throw std::runtime_error("\"" + *output + "\" exists; add --force to replace it.");
    // Every input is opened once before the output is created, so that a
    // missing one leaves no half-written output behind.
    for (const std::string& input : inputs) {
        // A folder opens like a file but cannot be read.
        if (DirectoryExists(input))
            throw std::runtime_error("Cannot open file \"" + input + "\". Is a directory");
        FileStream::openRead(input);
    }

    ConsoleJoinObserver observer(context, inputs.size(), FileExists(*output));
    const JoinResult result =
        RunJoin(inputs, *output, observer, line.has("--exact") ? JoinMode::Exact : JoinMode::Bytes);
    context.progress.clear();
    marked.report(context.err);
    if (result == JoinResult::Stopped) {
        context.err << "tindrel-cli: Joining is stopped.\n";
        return kExitStopped;
    }
    context.out << "Joining is completed.\n";
    return kExitDone;
}

} // namespace tindrel
