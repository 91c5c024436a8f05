// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/Dialogs.h"
#include "platform/FolderMemory.h"

class QWidget;

namespace tindrel {

// The real dialogs, modal on the given window. Each kind of file dialog
// starts in the folder it was last used in.
class QtDialogs final : public IDialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    MessageResult messageBox(const QString& caption, const QString& text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<QString> openFile(const QString& filter) override;
    std::optional<QStringList> openFiles(const QString& filter) override;
    std::optional<QString> saveFile(const QString& filter, const QString& defaultExt,
                                    const QString& proposedName) override;
    std::optional<QString> chooseFolder() override;
    void openDocument(const QString& path) override;

private:
    QWidget* m_parent;
    FolderMemory m_folders;
};

// "MP3 files (*.mp3)|*.mp3" becomes "MP3 files (*.mp3)" for Qt's dialogs.
QString QtFilterFrom(const QString& filter);

} // namespace tindrel
