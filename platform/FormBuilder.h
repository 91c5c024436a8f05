// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/ErrorHandler.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QRect>
#include <QString>

namespace tindrel {

// Creates a control owned by parent, with its design name and position.
template <typename W> W* make(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* widget = new W(parent);
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// A plain caption label; name may be empty for labels nobody refers to.
inline QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry) {
    auto* label = make<QLabel>(parent, name, geometry);
    label->setText(text);
    return label;
}

// A push button (or any other text button) with its caption.
template <typename B = QPushButton>
B* makeButton(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* button = make<B>(parent, name, geometry);
    button->setText(caption);
    return button;
}

// Runs a page's handler when the button is clicked; whatever the handler
// throws ends in the central error handler.
template <typename Page> void onClick(QAbstractButton* button, Page* page, void (Page::*handler)()) {
    QObject::connect(button, &QAbstractButton::clicked, page,
                     ErrorHandler::guard([page, handler] { (page->*handler)(); }));
}

// The file dialogs' filters for MP3 files.
inline const QString kMp3Filter = QStringLiteral("MP3 files (*.mp3)|*.mp3");
inline const QString kMp3SaveFilter = QStringLiteral("MP3 Files (*.mp3)|*.mp3");

} // namespace tindrel
