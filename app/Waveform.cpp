// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Waveform.h"

#include "app/TimeRuler.h"
#include "core/TimeText.h"

#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tindrel {

namespace {

const QColor kBackground(0x1b, 0x22, 0x2c);
const QColor kWave(0x6f, 0xb6, 0xf2);
const QColor kSelection(0xf2, 0xb1, 0x34, 80);
const QColor kPosition(0xff, 0x55, 0x40);
const QColor kText(0xe6, 0xec, 0xf2);
// A drag shorter than this is a click.
constexpr int kDragThreshold = 3;
// Each notch of the wheel zooms by this factor.
constexpr double kZoomPerNotch = 1.5;

} // namespace

TWaveform::TWaveform(QWidget* parent) : QWidget(parent), m_loader([this] { loaderChanged(); }) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Click to move the play position, drag to select, turn the wheel to zoom; "
                              "drag the time scale (or with the middle button) to scroll"));
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->setObjectName(QStringLiteral("scbWave"));
    m_scrollBar->setFocusPolicy(Qt::NoFocus);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::valueChanged, this,
            [this](int value) { scrollToFrame(static_cast<int64_t>(value) * m_scrollUnit); });
}

void TWaveform::openFile(const QString& path) {
    m_loader.open(path.toStdString());
    m_rate = 0;
    m_lengthFrames = 0;
    m_viewFirst = 0;
    m_viewCount = 0;
    m_positionMs = 0;
    m_selStartMs = m_selEndMs = 0;
    update();
}

int64_t TWaveform::lengthMs() const {
    return m_rate > 0 ? m_lengthFrames * 1000 / m_rate : 0;
}

// Called on the loader's thread: one redraw is queued at a time.
void TWaveform::loaderChanged() {
    if (m_redrawQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_redrawQueued = false;
            takeLength();
            update();
        },
        Qt::QueuedConnection);
}

void TWaveform::takeLength() {
    const WaveformLoader::State state = m_loader.state();
    if (state.rate <= 0 || state.lengthFrames <= 0)
        return;
    if (state.rate == m_rate && state.lengthFrames == m_lengthFrames)
        return;
    const bool wholeShown = m_viewCount == 0 || m_viewCount == m_lengthFrames;
    m_rate = state.rate;
    m_lengthFrames = state.lengthFrames;
    if (wholeShown) {
        m_viewFirst = 0;
        m_viewCount = m_lengthFrames;
    }
    viewChanged();
}

void TWaveform::viewChanged() {
    m_viewCount = std::clamp<int64_t>(m_viewCount, std::min<int64_t>(width(), m_lengthFrames), m_lengthFrames);
    m_viewFirst = std::clamp<int64_t>(m_viewFirst, 0, m_lengthFrames - m_viewCount);
    m_loader.setView(m_viewFirst, m_viewCount, static_cast<int>(std::lround(width() * devicePixelRatioF())));
    syncScrollBar();
    update();
}

void TWaveform::scrollToFrame(int64_t firstFrame) {
    if (m_viewCount <= 0 || firstFrame == m_viewFirst)
        return;
    m_viewFirst = firstFrame;
    viewChanged();
}

void TWaveform::syncScrollBar() {
    const bool zoomed = m_viewCount > 0 && m_viewCount < m_lengthFrames;
    if (zoomed) {
        // An int range in steps of whole frames holds any file of a few hours.
        m_scrollUnit = 1 + m_lengthFrames / 1'000'000'000;
        const QSignalBlocker quiet(m_scrollBar);
        m_scrollBar->setRange(0, static_cast<int>((m_lengthFrames - m_viewCount) / m_scrollUnit));
        m_scrollBar->setPageStep(static_cast<int>(std::max<int64_t>(m_viewCount / m_scrollUnit, 1)));
        m_scrollBar->setSingleStep(std::max(m_scrollBar->pageStep() / 10, 1));
        m_scrollBar->setValue(static_cast<int>(m_viewFirst / m_scrollUnit));
    }
    if (zoomed != m_scrollBar->isVisible()) {
        m_scrollBar->setVisible(zoomed);
        m_loader.setView(m_viewFirst, m_viewCount, static_cast<int>(std::lround(width() * devicePixelRatioF())));
    }
}

QRect TWaveform::waveRect() const {
    const int top = rulerHeight();
    const int bottom = m_scrollBar->isVisible() ? m_scrollBar->y() : height();
    return QRect(0, top, width(), std::max(bottom - top, 0));
}

void TWaveform::setPositionMs(int64_t ms) {
    if (ms == m_positionMs)
        return;
    m_positionMs = ms;
    update();
}

void TWaveform::setSelectionMs(int64_t startMs, int64_t endMs) {
    m_selStartMs = startMs;
    m_selEndMs = endMs;
    update();
}

void TWaveform::setMarkers(std::vector<Marker> markers) {
    m_markers = std::move(markers);
    update();
}

int64_t TWaveform::frameAtX(int x) const {
    if (width() <= 0)
        return m_viewFirst;
    return m_viewFirst + static_cast<int64_t>(std::llround(static_cast<double>(x) * m_viewCount / width()));
}

int64_t TWaveform::msAtX(int x) const {
    if (m_rate <= 0)
        return 0;
    return std::clamp<int64_t>(frameAtX(x), 0, m_lengthFrames) * 1000 / m_rate;
}

int TWaveform::xAtMs(int64_t ms) const {
    if (m_viewCount <= 0)
        return 0;
    const double frame = static_cast<double>(ms) * m_rate / 1000.0;
    const double x = (frame - static_cast<double>(m_viewFirst)) * width() / static_cast<double>(m_viewCount);
    return static_cast<int>(std::clamp(x, -10.0, width() + 10.0));
}

void TWaveform::zoomAt(int x, double steps) {
    if (m_lengthFrames <= 0 || width() <= 0)
        return;
    const double anchor = static_cast<double>(m_viewFirst) + static_cast<double>(x) * m_viewCount / width();
    const double count = static_cast<double>(m_viewCount) / std::pow(kZoomPerNotch, steps);
    m_viewCount = static_cast<int64_t>(std::llround(count));
    m_viewCount = std::clamp<int64_t>(m_viewCount, std::min<int64_t>(width(), m_lengthFrames), m_lengthFrames);
    m_viewFirst = static_cast<int64_t>(std::llround(anchor - static_cast<double>(x) * m_viewCount / width()));
    viewChanged();
}

QFont TWaveform::rulerFont() const {
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    return small;
}

int TWaveform::rulerHeight() const {
    return TTimeRuler::heightFor(QFontMetrics(rulerFont()));
}

void TWaveform::paintRuler(QPainter& p) const {
    p.save();
    p.setFont(rulerFont());
    const double from = static_cast<double>(m_viewFirst) * 1000.0 / m_rate;
    const double to = static_cast<double>(m_viewFirst + m_viewCount) * 1000.0 / m_rate;
    TTimeRuler().paint(p, QRectF(0, 0, width(), rulerHeight()), from, to);
    p.restore();
}

void TWaveform::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (m_viewCount <= 0) {
        p.setPen(kText);
        const bool failed = m_loader.state().failed;
        p.drawText(rect(), Qt::AlignCenter, failed ? QStringLiteral("No waveform for this file") : QString());
        return;
    }
    const QRect area = waveRect();
    for (const Marker& m : m_markers) {
        const int left = xAtMs(m.startMs);
        if (m.endMs > m.startMs) {
            p.fillRect(QRect(left, area.top(), std::max(xAtMs(m.endMs) - left, 1), area.height()), m.color);
        } else {
            QColor line = m.color;
            line.setAlpha(255);
            p.setPen(line);
            p.drawLine(left, area.top(), left, area.bottom());
        }
    }
    if (m_selEndMs > m_selStartMs) {
        const int left = xAtMs(m_selStartMs);
        p.fillRect(QRect(left, area.top(), std::max(xAtMs(m_selEndMs) - left, 1), area.height()), kSelection);
    }
    paintRuler(p);
    paintPeaks(p, area);
    p.setPen(kPosition);
    const int px = xAtMs(m_positionMs);
    p.drawLine(px, 0, px, area.bottom());
    if (m_pointerX >= 0) {
        p.setPen(kText);
        const QString at = QString::fromStdString(FormatTimeText(static_cast<double>(msAtX(m_pointerX)) / 1000.0));
        p.drawText(area.adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignRight, at);
    }
}

// One column of peaks a device pixel, each a line one device pixel wide,
// so that at 200 % the wave shows twice the detail instead of doubled
// blocks.
void TWaveform::paintPeaks(QPainter& p, const QRect& area) const {
    const double dpr = TTimeRuler::deviceRatio(p);
    const int columns = static_cast<int>(std::lround(area.width() * dpr));
    const std::vector<Peak> peaks = m_loader.peaks(m_viewFirst, m_viewCount, columns);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kWave, 0));
    const double mid = area.top() + area.height() / 2.0;
    const double scale = (area.height() / 2.0 - 1) / 32768.0;
    const auto snap = [dpr](double y) { return (std::round(y * dpr) + 0.5) / dpr; };
    for (int c = 0; c < static_cast<int>(peaks.size()); ++c) {
        const double x = (c + 0.5) / dpr;
        const double high = snap(mid - peaks[std::size_t(c)].high * scale);
        const double low = snap(mid - peaks[std::size_t(c)].low * scale);
        p.drawLine(QPointF(x, high), QPointF(x, low));
    }
    p.restore();
}

bool TWaveform::panStartsAt(const QMouseEvent& event) const {
    if (event.button() == Qt::MiddleButton)
        return true;
    return event.button() == Qt::LeftButton && event.position().y() < rulerHeight();
}

void TWaveform::mousePressEvent(QMouseEvent* event) {
    if (m_viewCount <= 0)
        return;
    const int x = event->position().toPoint().x();
    if (panStartsAt(*event)) {
        m_panX = x;
        m_panFirst = m_viewFirst;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_pressX = x;
    m_dragging = false;
}

void TWaveform::mouseMoveEvent(QMouseEvent* event) {
    if (m_panX >= 0) {
        const int64_t shift = frameAtX(event->position().toPoint().x()) - frameAtX(m_panX);
        if (shift != 0 || m_dragging) {
            m_dragging = true; // a pan is no click: it does not seek
            scrollToFrame(std::clamp<int64_t>(m_panFirst - shift, 0, m_lengthFrames - m_viewCount));
        }
        return;
    }
    m_pointerX = std::clamp(event->position().toPoint().x(), 0, std::max(width() - 1, 0));
    if (m_pressX >= 0 && std::abs(m_pointerX - m_pressX) >= kDragThreshold)
        m_dragging = true;
    if (m_dragging) {
        const int64_t a = msAtX(m_pressX);
        const int64_t b = msAtX(m_pointerX);
        setSelectionMs(std::min(a, b), std::max(a, b));
        emit selectionDragged(std::min(a, b), std::max(a, b));
    }
    update();
}

void TWaveform::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && m_panX >= 0 && m_dragging)) {
        m_panX = -1;
        m_pressX = -1;
        m_dragging = false;
        return;
    }
    m_panX = -1;
    if (event->button() != Qt::LeftButton || m_pressX < 0)
        return;
    const int x = std::clamp(event->position().toPoint().x(), 0, std::max(width() - 1, 0));
    if (!m_dragging)
        emit seekRequested(msAtX(x));
    m_pressX = -1;
    m_dragging = false;
}

void TWaveform::wheelEvent(QWheelEvent* event) {
    // A sideways wheel (or Shift with the wheel) scrolls, as in other views.
    const bool sideways = event->angleDelta().x() != 0 || event->modifiers() & Qt::ShiftModifier;
    if (sideways && m_scrollBar->isVisible()) {
        const int delta = event->angleDelta().x() != 0 ? event->angleDelta().x() : event->angleDelta().y();
        m_scrollBar->setValue(m_scrollBar->value() - delta * m_scrollBar->singleStep() / 120);
    } else if (!sideways) {
        const double notches = event->angleDelta().y() / 120.0;
        if (notches != 0)
            zoomAt(event->position().toPoint().x(), notches);
    }
    event->accept();
}

void TWaveform::leaveEvent(QEvent*) {
    m_pointerX = -1;
    update();
}

void TWaveform::resizeEvent(QResizeEvent*) {
    const int bar = m_scrollBar->sizeHint().height();
    m_scrollBar->setGeometry(0, height() - bar, width(), bar);
    if (m_lengthFrames > 0)
        viewChanged();
}

} // namespace tindrel
