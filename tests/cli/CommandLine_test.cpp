// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <array>

namespace tindrel {
namespace {

constexpr std::array kRules = std::to_array<OptionRule>({
    {"--output", "-o", true},
    {"--force", "-f", false},
    {"--start", "", true},
});

CommandLine parse(std::vector<std::string> args) {
    return ParseCommandLine(args, kRules);
}

TEST(CommandLineTest, OptionsAndOperandsInEverySpelling) {
    const CommandLine line =
        parse({"a.mp3", "-o", "x", "--start=00:01.000", "--output", "y", "-f", "--", "-b.mp3", "-", "--force"});
    EXPECT_EQ(line.operands, (std::vector<std::string>{"a.mp3", "-b.mp3", "-", "--force"}));
    EXPECT_EQ(line.value("--output"), "y") << "the last occurrence wins";
    EXPECT_EQ(line.value("--start"), "00:01.000");
    EXPECT_TRUE(line.has("--force"));
    EXPECT_FALSE(line.help);
    ASSERT_EQ(line.options.size(), 4u);
    EXPECT_EQ(line.options[0].name, "--output");
    EXPECT_EQ(line.options[0].value, "x");
}

TEST(CommandLineTest, AnEmptyValueIsAValue) {
    const CommandLine line = parse({"--start=", "-o", ""});
    EXPECT_EQ(line.value("--start"), "");
    EXPECT_EQ(line.value("--output"), "");
    EXPECT_FALSE(parse({}).value("--output").has_value());
}

TEST(CommandLineTest, HelpIsSeenAnywhere) {
    EXPECT_TRUE(parse({"a", "--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_FALSE(parse({"--", "-h"}).help);
}

TEST(CommandLineTest, WrongOptionsAreUsageErrors) {
    const std::vector<std::vector<std::string>> wrong = {
        {"--bogus"}, {"-x"}, {"-o"}, {"--output"}, {"--force=yes"}, {"--start"},
    };
    for (const auto& args : wrong)
        EXPECT_THROW(parse(args), UsageError) << args[0];
}

} // namespace
} // namespace tindrel
