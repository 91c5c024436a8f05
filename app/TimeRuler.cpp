// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/TimeRuler.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace tindrel {

namespace {

// Round steps from a millisecond to ten hours, each with the finer step of
// its short ticks (0: none).
constexpr std::array<TTimeRuler::Steps, 26> kSteps{{
    {1, 0},
    {2, 1},
    {5, 1},
    {10, 2},
    {20, 5},
    {50, 10},
    {100, 20},
    {200, 50},
    {500, 100},
    {1'000, 200},
    {2'000, 500},
    {5'000, 1'000},
    {10'000, 2'000},
    {15'000, 5'000},
    {30'000, 5'000},
    {60'000, 10'000},
    {120'000, 30'000},
    {300'000, 60'000},
    {600'000, 120'000},
    {900'000, 300'000},
    {1'800'000, 300'000},
    {3'600'000, 600'000},
    {7'200'000, 1'800'000},
    {18'000'000, 3'600'000},
    {36'000'000, 7'200'000},
    {72'000'000, 18'000'000},
}};

// Room left between the end of one label and the next tick.
constexpr int kLabelGap = 12;

int decimalsFor(int64_t step) {
    if (step % 1000 == 0)
        return 0;
    if (step % 100 == 0)
        return 1;
    return step % 10 == 0 ? 2 : 3;
}

// Where a one-device-pixel line at logical x is drawn, so that it covers
// exactly one pixel of the device rather than smearing over two.
double snapToDevice(double x, double dpr) {
    return (std::floor(x * dpr) + 0.5) / dpr;
}

// The first multiple of `step` at or after ms (never before 0).
int64_t firstTick(double ms, int64_t step) {
    return static_cast<int64_t>(std::ceil(std::max(ms, 0.0) / static_cast<double>(step))) * step;
}

} // namespace

TTimeRuler::TTimeRuler() : m_colors(Colors{}) {}

TTimeRuler::Steps TTimeRuler::stepsFor(double spanMs, double widthPx, double labelPx) {
    if (spanMs <= 0 || widthPx <= 0)
        return kSteps.back();
    const double pxPerMs = widthPx / spanMs;
    for (const Steps& steps : kSteps)
        if (static_cast<double>(steps.major) * pxPerMs >= labelPx)
            return steps;
    return kSteps.back();
}

QString TTimeRuler::labelFor(int64_t ms, int64_t majorStep) {
    const int64_t minutes = ms / 60'000;
    const int64_t seconds = ms / 1000 % 60;
    QString text = QStringLiteral("%1:%2").arg(minutes).arg(seconds, 2, 10, QLatin1Char('0'));
    const int decimals = decimalsFor(majorStep);
    if (decimals > 0)
        text += QLatin1Char('.') + QStringLiteral("%1").arg(ms % 1000, 3, 10, QLatin1Char('0')).left(decimals);
    return text;
}

double TTimeRuler::deviceRatio(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    if (engine && engine->paintDevice())
        return engine->paintDevice()->devicePixelRatioF();
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

int TTimeRuler::heightFor(const QFontMetrics& metrics) {
    return metrics.height() + 5;
}

void TTimeRuler::paint(QPainter& painter, const QRectF& rect, double fromMs, double toMs) const {
    painter.save();
    painter.fillRect(rect, m_colors.background);
    const double span = toMs - fromMs;
    if (span <= 0 || rect.width() < 1) {
        painter.restore();
        return;
    }
    const double dpr = deviceRatio(painter);
    const QFontMetrics metrics(painter.font());
    Steps steps = stepsFor(span, rect.width(), metrics.horizontalAdvance(QStringLiteral("00:00")) + kLabelGap);
    if (steps.major < 1000) // labels with decimals are wider
        steps = stepsFor(span, rect.width(),
                         metrics.horizontalAdvance(labelFor(static_cast<int64_t>(toMs), steps.major)) + kLabelGap);
    const double pxPerMs = rect.width() / span;
    const auto xAt = [&](int64_t ms) {
        return snapToDevice(rect.left() + (static_cast<double>(ms) - fromMs) * pxPerMs, dpr);
    };
    const double bottom = (std::round(rect.bottom() * dpr) - 0.5) / dpr;
    painter.setClipRect(rect);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(m_colors.tick, 0); // cosmetic: one device pixel at any scale
    painter.setPen(pen);
    painter.drawLine(QPointF(rect.left(), bottom), QPointF(rect.right(), bottom));
    if (steps.minor > 0)
        for (int64_t t = firstTick(fromMs, steps.minor); static_cast<double>(t) <= toMs; t += steps.minor)
            if (t % steps.major != 0)
                painter.drawLine(QPointF(xAt(t), bottom - 3), QPointF(xAt(t), bottom));
    const double labelTop = rect.top() + 1;
    for (int64_t t = firstTick(fromMs, steps.major); static_cast<double>(t) <= toMs; t += steps.major) {
        const double x = xAt(t);
        painter.setPen(pen);
        painter.drawLine(QPointF(x, rect.top()), QPointF(x, bottom));
        painter.setPen(m_colors.text);
        painter.drawText(QPointF(x + 3, labelTop + metrics.ascent()), labelFor(t, steps.major));
    }
    painter.restore();
}

} // namespace tindrel
