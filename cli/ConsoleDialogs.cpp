// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/ConsoleDialogs.h"

namespace tindrel {

MessageResult ConsoleDialogs::messageBox(const QString& caption, const QString& text, MessageIcon,
                                         MessageButtons buttons) {
    // Messages of several lines ("...\r\n(error code: 3)") stay one line.
    QString line = text.simplified();
    m_err << "tindrel-cli: " << caption.toStdString() << ": " << line.toStdString() << '\n';
    // Nobody is there to agree to anything.
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageResult::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoDefaultNo:
        return MessageResult::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel:
        return MessageResult::Cancel;
    }
    return MessageResult::Cancel;
}

} // namespace tindrel
