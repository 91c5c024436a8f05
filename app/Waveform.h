// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Waveform.h"

#include <QColor>
#include <QFont>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <vector>

class QScrollBar;

namespace tindrel {

// The split page's waveform strip: the peaks of the open file, read in the
// background, under a time ruler, with the selection shaded and the play
// position drawn. A click asks to seek, a drag selects, the wheel zooms
// around the pointer down to one audio frame a pixel, and the time under
// the pointer is shown. Zoomed in, a scroll bar appears along the bottom,
// and a drag along the ruler (or with the middle button anywhere) pans.
// The peaks are drawn one a device pixel, so a scaled screen shows as much
// detail as its pixels allow.
class TWaveform : public QWidget {
    Q_OBJECT
public:
    explicit TWaveform(QWidget* parent = nullptr);

    // Starts reading a file; an empty path shows nothing. Any reading of an
    // earlier file stops.
    void openFile(const QString& path);
    // The file's length once the decoder has opened it, else 0.
    int64_t lengthMs() const;

    void setPositionMs(int64_t ms);
    int64_t positionMs() const { return m_positionMs; }
    // An empty or reversed range shades nothing.
    void setSelectionMs(int64_t startMs, int64_t endMs);

    // Extra marks drawn over the waveform, for tools that find places in the
    // audio (silences, planned cuts): a range is shaded in its colour, a mark
    // whose end is its start is drawn as a line. setMarkers replaces them all.
    struct Marker {
        int64_t startMs = 0;
        int64_t endMs = 0;
        QColor color = QColor(0x2e, 0xa0, 0x43, 110);
    };
    void setMarkers(std::vector<Marker> markers);
    const std::vector<Marker>& markers() const { return m_markers; }

    // The frames shown, from the first; the whole file until zoomed.
    int64_t viewFirstFrame() const { return m_viewFirst; }
    int64_t viewFrames() const { return m_viewCount; }
    // Zooms by `steps` wheel notches (in when positive) keeping the audio
    // under x where it is.
    void zoomAt(int x, double steps);
    // Moves the view, zoomed as it is, to start at firstFrame (held within
    // the file), as a scroll bar does.
    void scrollToFrame(int64_t firstFrame);
    int64_t lengthFrames() const { return m_lengthFrames; }
    int64_t msAtX(int x) const;
    // Zoomed in: along the bottom; hidden while the whole file is shown.
    QScrollBar* scrollBar() const { return m_scrollBar; }

    const WaveformLoader& loader() const { return m_loader; }

signals:
    void seekRequested(qint64 ms);
    void selectionDragged(qint64 startMs, qint64 endMs);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void loaderChanged();
    // Takes the length from the loader once known, and shows all of it.
    void takeLength();
    void viewChanged();
    int xAtMs(int64_t ms) const;
    // The time ruler along the top, in a smaller font than the page's.
    QFont rulerFont() const;
    int rulerHeight() const;
    void paintRuler(QPainter& p) const;
    // Where the peaks go: between the ruler and the scroll bar.
    QRect waveRect() const;
    void paintPeaks(QPainter& p, const QRect& area) const;
    void syncScrollBar();
    bool panStartsAt(const QMouseEvent& event) const;
    int64_t frameAtX(int x) const;

    std::atomic<bool> m_redrawQueued{false};
    int m_rate = 0;
    int64_t m_lengthFrames = 0;
    int64_t m_viewFirst = 0;
    int64_t m_viewCount = 0;
    int64_t m_positionMs = 0;
    int64_t m_selStartMs = 0;
    int64_t m_selEndMs = 0;
    std::vector<Marker> m_markers;
    int m_pointerX = -1;
    int m_pressX = -1;
    bool m_dragging = false;
    // A pan in progress: where it started, and the first frame shown then.
    int m_panX = -1;
    int64_t m_panFirst = 0;
    // Frames a step of the scroll bar, so that its int range holds any file.
    int64_t m_scrollUnit = 1;
    QScrollBar* m_scrollBar = nullptr;
    // Last, so its thread stops before anything it reports to goes away.
    WaveformLoader m_loader;
};

} // namespace tindrel
