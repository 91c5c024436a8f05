// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <string>
#include <vector>

namespace tindrel::test {

struct ProgramResult {
    int status = -1; // the exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// Runs program with args and no standard input, and collects what it
// writes. With stderrOnTerminal its standard error is a pseudo-terminal,
// as when a person watches it.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         bool stderrOnTerminal = false);

// The tindrel-cli built with the tests.
ProgramResult RunCliProgram(const std::vector<std::string>& args, bool stderrOnTerminal = false);

} // namespace tindrel::test
