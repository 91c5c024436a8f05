// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"

#include <algorithm>

namespace tindrel {

namespace {

const OptionRule* findRule(std::string_view name, std::span<const OptionRule> rules) {
    for (const OptionRule& rule : rules)
        if (name == rule.longName || (!rule.shortName.empty() && name == rule.shortName))
            return &rule;
    return nullptr;
}

} // namespace

std::optional<std::string> CommandLine::value(std::string_view longName) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->name == longName)
            return it->value;
    return std::nullopt;
}

bool CommandLine::has(std::string_view longName) const {
    return std::any_of(options.begin(), options.end(), [&](const ParsedOption& o) { return o.name == longName; });
}

CommandLine ParseCommandLine(std::span<const std::string> args, std::span<const OptionRule> rules) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A lone "-" is an operand, as is everything after "--".
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            line.help = true;
            continue;
        }
        const std::size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const OptionRule* rule = findRule(name, rules);
        if (!rule)
            throw UsageError("unknown option " + name);
        ParsedOption option{std::string(rule->longName), {}};
        if (rule->takesValue) {
            if (equals != std::string::npos)
                option.value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                option.value = args[++i];
            else
                throw UsageError("option " + name + " needs a value");
        } else if (equals != std::string::npos) {
            throw UsageError("option " + name + " takes no value");
        }
        line.options.push_back(std::move(option));
    }
    return line;
}

} // namespace tindrel
