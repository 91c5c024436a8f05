// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QSlider>

namespace tindrel {

// A horizontal track bar that also shows a selected range: a band along the
// groove between the selection start and end, with a mark at each end. Its
// ticks are a round number of steps apart, thinned as the range grows, so
// that a long file's ticks never fuse into a solid bar.
class TTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TTrackBar(QWidget* parent = nullptr);

    int SelStart() const { return m_selStart; }
    int SelEnd() const { return m_selEnd; }
    void SetSelStart(int value);
    void SetSelEnd(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void sliderChange(SliderChange change) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int xForValue(int value) const;
    void thinTicks();
    int m_selStart = 0;
    int m_selEnd = 0;
};

} // namespace tindrel
