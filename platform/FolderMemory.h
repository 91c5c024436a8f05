// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QString>

namespace tindrel {

// The user's settings file, where everything Tindrel remembers between runs
// is kept: Tindrel/Tindrel.ini in the user's config folder.
QString UserSettingsFile();

// The folder each kind of file dialog was last used in, kept in the user's
// settings (not beside the program, which may be read-only), so that the
// next dialog of that kind, in this run or the next, starts there.
class FolderMemory {
public:
    // In UserSettingsFile().
    FolderMemory();
    explicit FolderMemory(const QString& settingsFile);

    // Empty when none was remembered or the folder is gone.
    QString folderFor(const QString& dialog) const;
    // Remembers the folder of a chosen file, or a chosen folder itself.
    void remember(const QString& dialog, const QString& chosen);

private:
    QString m_file;
};

} // namespace tindrel
