// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tindrel {

enum class MessageIcon { Information, Warning, Error, Question };
// YesNoDefaultNo is for questions whose Yes loses the user's work: Enter
// (or a box answered without looking) keeps it. YesNoCancel offers to keep
// work before going on, with Cancel (and Escape) not going on at all.
enum class MessageButtons { Ok, YesNo, OkCancel, YesNoDefaultNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

// Everything the program asks of the desktop: modal message boxes, the file
// and folder dialogs, and the shell's "open" action. The pages talk to this
// interface only, so tests can answer the dialogs from a script.
//
// Filters are written as "Description (*.ext)|*.ext"; the part before the
// bar is what the user sees.
class IDialogs {
public:
    virtual ~IDialogs() = default;

    virtual MessageResult messageBox(const QString& caption, const QString& text, MessageIcon icon,
                                     MessageButtons buttons = MessageButtons::Ok) = 0;
    // One existing file, or nothing when the user cancels.
    virtual std::optional<QString> openFile(const QString& filter) = 0;
    // One or more existing files in the order the dialog returns them.
    virtual std::optional<QStringList> openFiles(const QString& filter) = 0;
    // Asks before an existing file is replaced; defaultExt ("mp3") is added to
    // a name typed without one.
    virtual std::optional<QString> saveFile(const QString& filter, const QString& defaultExt,
                                            const QString& proposedName) = 0;
    virtual std::optional<QString> chooseFolder() = 0;
    // Opens a document with the desktop's default viewer; reports nothing.
    virtual void openDocument(const QString& path) = 0;

    // Shorthand for the pages' one-button "Information" boxes.
    void information(const QString& text) { messageBox(QStringLiteral("Information"), text, MessageIcon::Information); }
};

} // namespace tindrel
