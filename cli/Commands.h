// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Split.h"
#include "cli/InfoReport.h"

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace tindrel {

class ProgressLine;
struct CommandLine;

// What the commands need from the program around them.
struct CliContext {
    std::ostream& out;
    std::ostream& err;
    ProgressLine& progress;
    // True once the user asked the running command to stop (Ctrl+C); read
    // between the steps of a join and before each part of a split.
    std::function<bool()> stopRequested = [] { return false; };
    // The player's length and bit rate of a source, as the split page asks
    // for them; nothing when the player cannot be used.
    DescribeSource describe = [](const std::string&) { return std::nullopt; };
    // The player's stream information, when there is a player.
    std::function<std::optional<PlayerFacts>(const std::string&)> playerFacts = [](const std::string&) {
        return std::nullopt;
    };
};

// Runs "tindrel-cli <args>" (args without the program's name) and gives its
// exit status. Results go to out; errors, as one line each, and progress go
// to err.
int RunCli(std::span<const std::string> args, CliContext& context);

// The commands. Each throws UsageError for a wrong command line and
// std::runtime_error, with the message the page would show, for a refusal
// or a failed operation.
int InfoCommand(const CommandLine& line, CliContext& context);
int SplitCommand(const CommandLine& line, CliContext& context);
int JoinCommand(const CommandLine& line, CliContext& context);
int TagCommand(const CommandLine& line, CliContext& context);
int EditCommand(const CommandLine& line, CliContext& context);
int LoudnessCommand(const CommandLine& line, CliContext& context);

} // namespace tindrel
