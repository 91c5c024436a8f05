// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

namespace tindrel {

// How the controls follow a window made larger than its default size. Each
// control keeps the geometry it was given at the default size and, by the
// growth past it, moves right or down, or widens or heightens. At the
// default size nothing moves, so the pages look exactly as they were laid
// out; only the controls that can use the room (the waveform, the file
// list) take it, and the rest keep their size and their corner.
class GrowthRules {
public:
    enum Follow : unsigned {
        kMoveX = 1,
        kMoveY = 2,
        kGrowX = 4,
        kGrowY = 8,
    };

    // Takes the control's present geometry as its default one; a null
    // control is ignored.
    void add(QWidget* control, unsigned follow);
    // Every direct child of `parent` that is not a window of its own nor
    // `except`, as add() would.
    void addChildren(QWidget* parent, unsigned follow, const std::vector<QWidget*>& except = {});
    // Places every control for a window `dx` wider and `dy` taller than its
    // default (negative growth counts as none).
    void apply(int dx, int dy) const;

private:
    struct Rule {
        QPointer<QWidget> control;
        QRect base;
        unsigned follow = 0;
    };
    std::vector<Rule> m_rules;
};

} // namespace tindrel
