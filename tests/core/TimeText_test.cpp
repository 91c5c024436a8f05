// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/TimeText.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tindrel {
namespace {

TEST(FormatTimeText, WholeMillisecondsGiveMinutesSecondsAndMilliseconds) {
    const struct {
        int64_t ms;
        const char* text;
    } cases[] = {
        {0, "00:00.000"},      {59'999, "00:59.999"}, {60'000, "01:00.000"},    {6'000'000, "100:00.000"},
        {83'456, "01:23.456"}, {1, "00:00.001"},      {3'599'999, "59:59.999"}, {10'000, "00:10.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatTimeText(double(c.ms) / 1000.0), c.text) << c.ms << " ms";
}

TEST(FormatTimeText, EveryMillisecondOfAMinuteRoundTripsThroughTheCutParser) {
    for (int64_t ms = 0; ms < 61'000; ++ms)
        ASSERT_EQ(ParseTimeMs(FormatTimeText(double(ms) / 1000.0)), ms);
}

TEST(PositionLabelText, ColonBeforeTheMilliseconds) {
    const struct {
        int32_t seconds;
        int32_t ms;
        const char* text;
    } cases[] = {
        {0, 0, "00:00:000"},    {3, 0, "00:03:000"},     {83, 456, "01:23:456"},
        {59, 999, "00:59:999"}, {6000, 7, "100:00:007"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PositionLabelText(c.seconds, c.ms), c.text) << c.seconds << " s " << c.ms << " ms";
}

TEST(ParseTimeMs, GroupsCountAsTheyStand) {
    const struct {
        const char* text;
        int64_t ms;
    } cases[] = {
        {"01:23.456", 83'456},
        {"1:5", 60'005},
        {"", 0},
        {":.", 0},
        {"00:01.5", 1'005},
        {"5", 5},
        {"2.5", 2'005},
        {" 1 : 2 . 3 ", 62'003},
        {"-1:00.000", -60'000},
        {"100:00.000", 6'000'000},
        {"0:75.000", 75'000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseTimeMs(c.text), c.ms) << '"' << c.text << '"';
}

TEST(ParseTimeMs, AGroupThatIsNotAWholeNumberNamesItself) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"a:00.000", "'a' is not a valid integer value"},
        {"00:1x.000", "'1x' is not a valid integer value"},
        {"00:00.12a", "'12a' is not a valid integer value"},
        {"00:00.99999999999", "'99999999999' is not a valid integer value"},
        {"1:2:3", "'2:3' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        try {
            ParseTimeMs(c.text);
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST(ParseTimeSeconds, TakesMinutesAndDecimalSeconds) {
    const struct {
        const char* text;
        double seconds;
    } cases[] = {
        {"01:23.456", 83.456}, {"1:5", 65},   {"83.456", -1}, {"1:.5", -1}, {"1:", -1}, {"0:75.5", 75.5},
        {"1:0.5", 60.5},       {":5", -1},    {"a:5", -1},    {"1:5x", -1}, {"", -1},   {"00:00.000", 0},
        {"2:00", 120},         {"1:2:3", -1},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ParseTimeSeconds(c.text), c.seconds) << '"' << c.text << '"';
}

TEST(SelectedPartText, ShowsPositiveDifferencesOnly) {
    EXPECT_EQ(SelectedPartText("00:05.000", "01:10.250"), "The selected part is 65.25 (Second.Millisecond)");
    EXPECT_EQ(SelectedPartText("00:05.000", "00:05.000"), "");
    EXPECT_EQ(SelectedPartText("00:06.000", "00:05.000"), "");
    // An unreadable start counts as -1.
    EXPECT_EQ(SelectedPartText("x", "00:10.000"), "The selected part is 11 (Second.Millisecond)");
    EXPECT_EQ(SelectedPartText("00:00.000", "01:23.456"), "The selected part is 83.456 (Second.Millisecond)");
}

TEST(ParseTimeTexts, TheSameTextMeansDifferentTimesToTheTwoParsers) {
    EXPECT_EQ(ParseTimeMs("1:5"), 60'005);
    EXPECT_DOUBLE_EQ(ParseTimeSeconds("1:5"), 65.0);
}

} // namespace
} // namespace tindrel
