// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/TrackBar.h"

#include <gtest/gtest.h>

namespace tindrel {
namespace {

// A step is a second: the ticks are a round number of seconds apart and at
// least five pixels, however long the file and however wide the bar.
TEST(TrackBarTest, TicksThinOutOnLongFiles) {
    const struct {
        int seconds;
        int width;
        int interval;
    } cases[] = {
        {30, 284, 1},     // short: a tick a second
        {600, 284, 15},   // ten minutes
        {3600, 284, 120}, // an hour in the default window
        {3600, 1831, 10}, // an hour maximised
        {0, 284, 1},      // no file
    };
    for (const auto& c : cases) {
        TTrackBar bar;
        bar.resize(c.width, 34);
        bar.setRange(0, c.seconds);
        EXPECT_EQ(bar.tickInterval(), c.interval) << c.seconds << " s over " << c.width;
    }
}

} // namespace
} // namespace tindrel
