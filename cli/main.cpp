// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/Commands.h"
#include "cli/ProgressLine.h"

#include <csignal>
#include <iostream>
#include <string>
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
    std::signal(SIGINT, requestStop);
    const std::vector<std::string> args(argv + 1, argv + argc);
    tindrel::ProgressLine progress(std::cerr, tindrel::ProgressLine::StderrIsTerminal());
    tindrel::CliContext context{std::cout, std::cerr, progress};
    context.stopRequested = [] { return g_stopRequested != 0; };
    return tindrel::RunCli(args, context);
}
