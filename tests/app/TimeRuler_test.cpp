// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/TimeRuler.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace tindrel {
namespace {

// The step grows with the span a pixel, so labels 50 pixels wide never
// overlap, from a whole hour on a full-screen view down to a few frames.
TEST(TimeRulerTest, StepsAndLabelsFollowTheZoom) {
    struct Case {
        double spanMs;
        double widthPx;
        int64_t major;
        int64_t minor;
    };
    const Case cases[] = {
        {3'600'000, 1900, 120'000, 30'000}, // an hour maximised
        {3'600'000, 280, 900'000, 300'000}, // an hour in the default window
        {10'000, 1900, 500, 100},           // zoomed to ten seconds
        {5, 280, 1, 0},                     // a few frames
        {0, 280, 72'000'000, 18'000'000},   // nothing shown: a step all the same, never 0
        {1e9, 100, 72'000'000, 18'000'000}, // longer than any step
    };
    for (const Case& c : cases) {
        const TTimeRuler::Steps steps = TTimeRuler::stepsFor(c.spanMs, c.widthPx, 50);
        EXPECT_EQ(steps.major, c.major) << c.spanMs << " ms over " << c.widthPx;
        EXPECT_EQ(steps.minor, c.minor) << c.spanMs << " ms over " << c.widthPx;
    }
    struct Label {
        int64_t ms;
        int64_t step;
        const char* text;
    };
    const Label labels[] = {{3'690'000, 60'000, "61:30"},
                            {10'500, 500, "0:10.5"},
                            {10'250, 50, "0:10.25"},
                            {7, 1, "0:00.007"},
                            {0, 1000, "0:00"}};
    for (const Label& l : labels)
        EXPECT_EQ(TTimeRuler::labelFor(l.ms, l.step).toStdString(), l.text);
}

// On a screen scaled to 200 % a tick is one device pixel wide and sits on
// the device pixel of its time, not a doubled logical pixel.
TEST(TimeRulerTest, TicksAreOneDevicePixelWideAtDoubleScale) {
    const TTimeRuler::Colors colors;
    QImage image(400, 60, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        TTimeRuler(colors).paint(p, QRectF(0, 0, 200, 30), 0, 1000);
    }
    // A row through the short and the long ticks, below the labels.
    const int row = 57;
    std::vector<int> ticks;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, row) == colors.tick)
            ticks.push_back(x);
    ASSERT_GE(ticks.size(), 3u);
    for (std::size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GT(ticks[i] - ticks[i - 1], 1) << "a tick two device pixels wide at " << ticks[i];
    // Half a second lies halfway across: device pixel 200 of 400.
    EXPECT_NE(std::find(ticks.begin(), ticks.end(), 200), ticks.end());
}

} // namespace
} // namespace tindrel
