// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FolderMemory.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tindrel {

namespace {

QString key(const QString& dialog) {
    return QStringLiteral("Folders/") + dialog;
}

} // namespace

QString UserSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tindrel/Tindrel.ini");
}

FolderMemory::FolderMemory() : m_file(UserSettingsFile()) {}

FolderMemory::FolderMemory(const QString& settingsFile) : m_file(settingsFile) {}

QString FolderMemory::folderFor(const QString& dialog) const {
    const QSettings settings(m_file, QSettings::IniFormat);
    const QString folder = settings.value(key(dialog)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void FolderMemory::remember(const QString& dialog, const QString& chosen) {
    const QFileInfo info(chosen);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    QSettings settings(m_file, QSettings::IniFormat);
    settings.setValue(key(dialog), folder);
}

} // namespace tindrel
