// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/QtDialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace tindrel {

QString QtFilterFrom(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList qtFilters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        // Qt reads the patterns from the parentheses; add them when the
        // description does not show them itself.
        qtFilters << (description.contains(QLatin1Char('('))
                          ? description
                          : description + QStringLiteral(" (") +
                                QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return qtFilters.join(QStringLiteral(";;"));
}

MessageResult QtDialogs::messageBox(const QString& caption, const QString& text, MessageIcon icon,
                                    MessageButtons buttons) {
    QMessageBox box(m_parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageResult::Yes;
    case QMessageBox::No:
        return MessageResult::No;
    case QMessageBox::Cancel:
        return MessageResult::Cancel;
    default:
        return MessageResult::Ok;
    }
}

std::optional<QString> QtDialogs::openFile(const QString& filter) {
    const QString chosen =
        QFileDialog::getOpenFileName(m_parent, {}, m_folders.folderFor(QStringLiteral("Open")), QtFilterFrom(filter));
    if (chosen.isEmpty())
        return std::nullopt;
    m_folders.remember(QStringLiteral("Open"), chosen);
    return chosen;
}

std::optional<QStringList> QtDialogs::openFiles(const QString& filter) {
    const QStringList chosen =
        QFileDialog::getOpenFileNames(m_parent, {}, m_folders.folderFor(QStringLiteral("Add")), QtFilterFrom(filter));
    if (chosen.isEmpty())
        return std::nullopt;
    m_folders.remember(QStringLiteral("Add"), chosen.front());
    return chosen;
}

std::optional<QString> QtDialogs::saveFile(const QString& filter, const QString& defaultExt,
                                           const QString& proposedName) {
    QFileDialog dialog(m_parent, {}, m_folders.folderFor(QStringLiteral("Save")), QtFilterFrom(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultExt);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    m_folders.remember(QStringLiteral("Save"), dialog.selectedFiles().first());
    return dialog.selectedFiles().first();
}

std::optional<QString> QtDialogs::chooseFolder() {
    const QString chosen =
        QFileDialog::getExistingDirectory(m_parent, {}, m_folders.folderFor(QStringLiteral("Folder")));
    if (chosen.isEmpty())
        return std::nullopt;
    m_folders.remember(QStringLiteral("Folder"), chosen);
    return chosen;
}

void QtDialogs::openDocument(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace tindrel
