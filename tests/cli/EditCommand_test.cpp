// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/cli/RunProgram.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace tindrel {
namespace {

using test::RunCliProgram;

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int64_t reportedLength(const std::string& out) {
    std::smatch m;
    return std::regex_search(out, m, std::regex("Length: (\\d+) samples")) ? std::stoll(m[1]) : -1;
}

// What the tool refuses, and how it says so.
TEST(EditCommand, RefusesWhatItCannotDoWithTheReason) {
    const test::TempDir dir;
    const std::string mp3 = test::MakeMp3(dir.path(), "talk.mp3", {{test::Sound::Tone, 2.0}});
    ASSERT_FALSE(mp3.empty());
    const std::string out = dir.file("out.mp3");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"edit", mp3}, 2, "edit needs -o OUT"},
        {{"edit", mp3, "-o", out, "--gain", "00:01.000-00:02.000"}, 2, "--gain takes A-B:DB"},
        {{"edit", mp3, "-o", out, "--delete", "00:03.000-00:01.000"}, 1, "is no range"},
        {{"edit", mp3, "-o", mp3}, 1, "exists; add --force"},
        {{"edit", mp3, "-o", mp3, "--force"}, 1, "cannot be written over its source"},
        {{"edit", mp3, "-o", out, "--keep", "00:05.000-00:06.000"}, 1, "leave nothing"},
    };
    for (const auto& c : cases) {
        const test::ProgramResult result = RunCliProgram(c.args);
        EXPECT_EQ(result.status, c.status) << c.says;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    }
}

// The silence at both ends goes, the edits are saved as a list, and the
// list alone edits the file the same way again.
TEST(EditCommand, TrimsSilenceAndReplaysItsSavedEditList) {
    const test::TempDir dir;
    const std::string mp3 = test::MakeMp3(
        dir.path(), "talk.mp3", {{test::Sound::Zero, 1.0}, {test::Sound::Tone, 2.0}, {test::Sound::Zero, 1.0}});
    ASSERT_FALSE(mp3.empty());
    const std::string list = dir.file("talk.edits");
    const test::ProgramResult trimmed =
        RunCliProgram({"edit", mp3, "-o", dir.file("a.mp3"), "--trim-silence", "--save-edits", list});
    ASSERT_EQ(trimmed.status, 0) << trimmed.err;
    const int64_t length = reportedLength(trimmed.out);
    EXPECT_GT(length, 2 * 44'100 - 2'000);
    EXPECT_LT(length, 2 * 44'100 + 10'000);
    EXPECT_NE(fileText(list).find("\ndelete 00:00.000-00:00.9"), std::string::npos) << fileText(list);
    EXPECT_NE(fileText(list).find("-00:04.000\n"), std::string::npos) << fileText(list);
    const test::ProgramResult replayed = RunCliProgram({"edit", mp3, "-o", dir.file("b.mp3"), "--edits", list});
    ASSERT_EQ(replayed.status, 0) << replayed.err;
    EXPECT_EQ(reportedLength(replayed.out), length);
}

} // namespace
} // namespace tindrel
