// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/Commands.h"
#include "cli/PlayerModule.h"
#include "cli/ProgressLine.h"
#include "platform/FileOps.h"

#include <csignal>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

// Ctrl+C plays the part of the Stop buttons: the running join or parts
// split ends at its next step, with what it wrote so far kept whole.
extern "C" void requestStop(int) {
    g_stopRequested = 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::signal(SIGINT, requestStop);
    tindrel::IgnoreFileSizeLimitSignal();
    tindrel::ProgressLine progress(std::cerr, tindrel::ProgressLine::StderrIsTerminal());
    // The engine is loaded from the program's folder, as in the window.
    tindrel::LazyConsolePlayer player(tindrel::RunningProgramFolder(), std::cerr);
    tindrel::CliContext context{std::cout, std::cerr, progress};
    context.outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    context.stopRequested = [] { return g_stopRequested != 0; };
    context.describe =
        tindrel::DescribeSource([&player](const std::string& path) { return player.describe(path); },
                                [&player](const tindrel::FileStream& source) { return player.describe(source); });
    context.playerFacts = [&player](const std::string& path) { return player.facts(path); };
    return tindrel::RunCli(args, context);
}
