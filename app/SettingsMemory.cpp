// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/SettingsMemory.h"

#include "platform/FolderMemory.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QSettings>
#include <QSpinBox>

namespace tindrel {

SettingsMemory::SettingsMemory() : m_file(UserSettingsFile()) {}

SettingsMemory::SettingsMemory(const QString& file) : m_file(file) {}

QVariant SettingsMemory::value(const QString& key, const QVariant& fallback) const {
    return QSettings(m_file, QSettings::IniFormat).value(key, fallback);
}

void SettingsMemory::setValue(const QString& key, const QVariant& value) const {
    QSettings(m_file, QSettings::IniFormat).setValue(key, value);
}

void SettingsMemory::keep(QWidget* control, const QString& key) const {
    const SettingsMemory memory = *this;
    const QVariant stored = value(key);
    if (auto* box = qobject_cast<QAbstractButton*>(control); box && box->isCheckable()) {
        // Of a group of radio buttons only the one that was chosen is set:
        // unsetting the others would do nothing anyway.
        if (stored.isValid() && (stored.toBool() || !box->autoExclusive()))
            box->setChecked(stored.toBool());
        QObject::connect(box, &QAbstractButton::toggled, box, [memory, key](bool on) { memory.setValue(key, on); });
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        if (stored.isValid())
            spin->setValue(stored.toInt());
        QObject::connect(spin, &QSpinBox::valueChanged, spin, [memory, key](int v) { memory.setValue(key, v); });
    } else if (auto* seconds = qobject_cast<QDoubleSpinBox*>(control)) {
        if (stored.isValid())
            seconds->setValue(stored.toDouble());
        QObject::connect(seconds, &QDoubleSpinBox::valueChanged, seconds,
                         [memory, key](double v) { memory.setValue(key, v); });
    }
}

void SettingsMemory::keepAll(QWidget* parent, const QString& group) const {
    for (QWidget* control : parent->findChildren<QWidget*>())
        if (!control->objectName().isEmpty() && !control->objectName().startsWith(QLatin1String("qt_")))
            keep(control, group + QLatin1Char('/') + control->objectName());
}

} // namespace tindrel
