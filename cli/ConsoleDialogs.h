// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/Dialogs.h"

#include <ostream>

namespace tindrel {

// The dialogs of a program without a window: a message box becomes one
// line on the error stream, and no file or folder can be chosen
// interactively (the command line names them instead).
class ConsoleDialogs final : public IDialogs {
public:
    explicit ConsoleDialogs(std::ostream& err) : m_err(err) {}
    MessageResult messageBox(const QString& caption, const QString& text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<QString> openFile(const QString&) override { return std::nullopt; }
    std::optional<QStringList> openFiles(const QString&) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> chooseFolder() override { return std::nullopt; }
    void openDocument(const QString&) override {}

private:
    std::ostream& m_err;
};

} // namespace tindrel
