// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/IniFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace tindrel {
namespace {

TEST(IniFile, ReadsTheVersionOfTheGeneralSection) {
    const struct {
        const char* contents;
        const char* version;
    } cases[] = {
        {"[General]\nVersion=2.0\n", "2.0"},
        {"[general]\r\nversion = 4.5 beta \r\n", "4.5 beta"},
        {"[Other]\nVersion=9\n[General]\nName=x\nVersion=\"1.0, final\"\n", "1.0, final"},
        {"[Other]\nVersion=9\n", "3.1"},
        {"Version=2.0\n", "3.1"},
        {"[General]\n; Version=7\n", "3.1"},
        {"", "3.1"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string text = c.contents;
        const std::string path = dir.write("Option.ini", test::Bytes(text.begin(), text.end()));
        EXPECT_EQ(ReadIniString(path, "General", "Version", "3.1"), c.version) << c.contents;
    }
    test::TempDir dir;
    EXPECT_EQ(ReadIniString(dir.file("missing.ini"), "General", "Version", "3.1"), "3.1");
}

} // namespace
} // namespace tindrel
