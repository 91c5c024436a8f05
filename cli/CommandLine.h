// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tindrel {

// What tindrel-cli tells its caller.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// As a shell reports a program ended by Ctrl+C.
inline constexpr int kExitStopped = 130;

// A command line that cannot be used as given.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An option a command accepts: its long name ("--output"), an optional
// short one ("-o"), and whether a value follows it.
struct OptionRule {
    std::string_view longName;
    std::string_view shortName;
    bool takesValue = false;
};

struct ParsedOption {
    std::string name; // the long name, whichever spelling was used
    std::string value;
};

struct CommandLine {
    std::vector<ParsedOption> options; // in the order given
    std::vector<std::string> operands;
    bool help = false;

    // The value of the last occurrence of an option.
    std::optional<std::string> value(std::string_view longName) const;
    bool has(std::string_view longName) const;
};

// Reads the arguments after the command's name. "--name value",
// "--name=value" and "-n value" are accepted; "--" ends the options, so a
// file name may start with "-". "-h" and "--help" set help. Throws
// UsageError for an unknown option or a missing value.
CommandLine ParseCommandLine(std::span<const std::string> args, std::span<const OptionRule> rules);

} // namespace tindrel
