// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/TrackBar.h"

#include "app/TimeRuler.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace tindrel {

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksBelow);
}

namespace {

// The least room between two ticks; closer, they run together.
constexpr int kTickSpacing = 5;

} // namespace

// A step of the bar is a second of the file, so a tick's interval is a
// round number of seconds, as on the waveform's time scale.
void TTrackBar::thinTicks() {
    const int64_t spanMs = int64_t(maximum() - minimum()) * 1000;
    if (spanMs <= 0) {
        setTickInterval(1);
        return;
    }
    const TTimeRuler::Steps steps = TTimeRuler::stepsFor(static_cast<double>(spanMs), width(), kTickSpacing);
    setTickInterval(static_cast<int>(std::max<int64_t>(steps.major / 1000, 1)));
}

void TTrackBar::sliderChange(SliderChange change) {
    if (change == SliderRangeChange)
        thinTicks();
    QSlider::sliderChange(change);
}

void TTrackBar::resizeEvent(QResizeEvent* event) {
    thinTicks();
    QSlider::resizeEvent(event);
}

void TTrackBar::SetSelStart(int value) {
    m_selStart = value;
    update();
}

void TTrackBar::SetSelEnd(int value) {
    m_selEnd = value;
    update();
}

int TTrackBar::xForValue(int value) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = width() - handle.width();
    const int clamped = std::clamp(value, minimum(), maximum());
    return handle.width() / 2 + QStyle::sliderPositionFromValue(minimum(), maximum(), clamped, span, option.upsideDown);
}

void TTrackBar::paintEvent(QPaintEvent* event) {
    // The selection goes under the thumb, so the thumb stays readable.
    if (m_selEnd > m_selStart) {
        QPainter painter(this);
        const int left = xForValue(m_selStart);
        const int right = xForValue(m_selEnd);
        const int mid = height() / 2;
        painter.fillRect(QRect(left, mid - 3, right - left, 6), palette().highlight());
        painter.setPen(palette().color(QPalette::Text));
        painter.drawLine(left, 1, left, mid - 5);
        painter.drawLine(right, 1, right, mid - 5);
    }
    QSlider::paintEvent(event);
}

} // namespace tindrel
