// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QString>
#include <QVariant>

class QWidget;

namespace tindrel {

// What the user set in the window and expects to find again next time (the
// window's size, the Exact boxes, the pause finder's settings), kept in the
// same settings file as the dialogs' folders.
class SettingsMemory {
public:
    // In UserSettingsFile().
    SettingsMemory();
    explicit SettingsMemory(const QString& file);

    QVariant value(const QString& key, const QVariant& fallback = {}) const;
    void setValue(const QString& key, const QVariant& value) const;

    // A check box, radio button or spin box takes its remembered value under
    // `key`, if there is one, and is remembered again whenever it changes.
    // Anything else is left alone.
    void keep(QWidget* control, const QString& key) const;
    // keep() for every named check box, radio button and spin box inside
    // `parent`, each under group/objectName.
    void keepAll(QWidget* parent, const QString& group) const;

private:
    QString m_file;
};

} // namespace tindrel
