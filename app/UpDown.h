// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QWidget>

class QLineEdit;

namespace tindrel {

// A pair of small arrow buttons bound to an edit box. It keeps its own
// position within its range and writes it into the edit box on each step;
// what the user types into the box is left alone.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent = nullptr);

    int Position() const { return m_position; }
    void step(int delta);

private:
    QLineEdit* m_buddy;
    int m_minimum;
    int m_maximum;
    int m_position;
};

} // namespace tindrel
