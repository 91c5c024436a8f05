// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/UpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace tindrel {

TUpDown::TUpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent), m_buddy(buddy), m_minimum(minimum), m_maximum(maximum), m_position(position) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    up->setObjectName(QStringLiteral("up"));
    up->setArrowType(Qt::UpArrow);
    up->setAutoRepeat(true);
    auto* down = new QToolButton(this);
    down->setObjectName(QStringLiteral("down"));
    down->setArrowType(Qt::DownArrow);
    down->setAutoRepeat(true);
    for (auto* button : {up, down}) {
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    connect(up, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down, &QToolButton::clicked, this, [this] { step(-1); });
}

void TUpDown::step(int delta) {
    m_position = std::clamp(m_position + delta, m_minimum, m_maximum);
    m_buddy->setText(QString::number(m_position));
}

} // namespace tindrel
