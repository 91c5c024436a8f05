// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/InfoReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>

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

namespace tindrel {
namespace {

// Tag texts are anybody's to write: on a terminal their control characters
// are shown by their codes, so that an escape sequence in a title cannot
// drive the terminal; into a pipe the text goes as it is.
TEST(WriteReportTest, ControlCharactersAreEscapedOnATerminal) {
    const struct {
        std::string value;
        std::string onTerminal;
    } cases[] = {
        {"plain Caf\xC3\xA9", "plain Caf\xC3\xA9"},
        {"\x1B]0;owned\x07title", "\\x1B]0;owned\\x07title"},
        {"a\x1B[2Jb\x7F", "a\\x1B[2Jb\\x7F"},
        {"C1 \xC2\x9B"
         "31m",
         "C1 \\u009B31m"},
        {"two\nlines", "two lines"},
    };
    for (const auto& c : cases) {
        for (const bool terminal : {false, true}) {
            std::ostringstream out;
            WriteReport(out, {{"ID3v2 title", c.value}}, terminal);
            std::string expected = terminal ? c.onTerminal : c.value;
            if (!terminal)
                std::replace(expected.begin(), expected.end(), '\n', ' ');
            EXPECT_EQ(out.str(), "ID3v2 title: " + expected + "\n") << terminal;
        }
    }
}

} // namespace
} // namespace tindrel
