// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/PlatformInt.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tindrel {
namespace {

TEST(PlatformInt, AcceptsTheIntegerSyntaxAndNothingElse) {
    const struct {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"0", true, 0},          {"12", true, 12},         {"  7", true, 7},        {"-3", true, -3},
        {"+5", true, 5},         {"$1F", true, 31},        {"0x1f", true, 31},      {"0X10", true, 16},
        {"-$10", true, -16},     {"$FFFFFFFF", true, -1},  {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0}, {"$100000000", false, 0}, {"", false, 0},         {" ", false, 0},
        {"5 ", false, 0},        {"ab", false, 0},         {"$", false, 0},         {"0x", false, 0},
        {"1.5", false, 0},       {"3/12", false, 0},       {"--1", false, 0},       {"$G", false, 0},
    };
    for (const auto& c : cases) {
        int32_t value = 12345;
        EXPECT_EQ(TryParsePlatformInt(c.text, value), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
        }
    }
}

} // namespace
} // namespace tindrel
