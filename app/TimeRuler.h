// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>

class QFontMetrics;
class QPainter;
class QRectF;

namespace tindrel {

// A time scale drawn across a strip: a labelled tick every "major" step and
// short ticks between, the steps chosen so that labels never crowd however
// far the view is zoomed. It paints into whatever painter it is given, so
// any widget that shows a stretch of audio can put one along its edge.
// Ticks fall on whole device pixels and are one device pixel wide, so they
// stay sharp on a screen scaled to 150 % or 200 %.
class TTimeRuler {
public:
    struct Colors {
        QColor background = QColor(0x12, 0x18, 0x20);
        QColor tick = QColor(0x8a, 0x9b, 0xad);
        QColor text = QColor(0xc8, 0xd3, 0xde);
    };
    // The labelled step and the finer step of the short ticks between.
    struct Steps {
        int64_t major = 0;
        int64_t minor = 0;
    };

    TTimeRuler();
    explicit TTimeRuler(Colors colors) : m_colors(colors) {}

    // Draws the stretch [fromMs, toMs] across `rect`, the time at its left
    // edge being fromMs; nothing but the background for an empty stretch.
    // The ends are fractional so that a view zoomed to a few audio frames
    // a pixel still puts each tick on the right pixel.
    void paint(QPainter& painter, const QRectF& rect, double fromMs, double toMs) const;

    // The device pixels a logical pixel of the painter's drawing covers.
    // It is the target's, not the widget's: a widget rendered into a
    // picture of another scale is drawn at the picture's.
    static double deviceRatio(const QPainter& painter);
    // The height a ruler needs for its labels in this font.
    static int heightFor(const QFontMetrics& metrics);
    // The smallest readable step for `spanMs` shown across `widthPx`, with
    // at least `labelPx` between two labels. Steps are round: 1, 2 or 5
    // times a power of ten below a second, then 1, 2, 5, 10, 15 and 30
    // seconds and the same in minutes, then whole hours.
    static Steps stepsFor(double spanMs, double widthPx, double labelPx);
    // A tick's label: minutes and seconds ("61:30"), with as many decimals
    // of the second as the step needs ("0:10.25").
    static QString labelFor(int64_t ms, int64_t majorStep);

private:
    Colors m_colors;
};

} // namespace tindrel
