// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/GrowthRules.h"

#include <algorithm>

namespace tindrel {

void GrowthRules::add(QWidget* control, unsigned follow) {
    if (control)
        m_rules.push_back({control, control->geometry(), follow});
}

void GrowthRules::addChildren(QWidget* parent, unsigned follow, const std::vector<QWidget*>& except) {
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && std::find(except.begin(), except.end(), child) == except.end())
            add(child, follow);
}

void GrowthRules::apply(int dx, int dy) const {
    dx = std::max(dx, 0);
    dy = std::max(dy, 0);
    for (const Rule& rule : m_rules) {
        if (!rule.control)
            continue;
        QRect r = rule.base;
        r.translate(rule.follow & kMoveX ? dx : 0, rule.follow & kMoveY ? dy : 0);
        r.setSize(r.size() + QSize(rule.follow & kGrowX ? dx : 0, rule.follow & kGrowY ? dy : 0));
        rule.control->setGeometry(r);
    }
}

} // namespace tindrel
