// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/ConsoleText.h"

#include <QString>

namespace tindrel {

// The page turns its field texts into tag bytes with the same conversion,
// so both give the same bytes for the same text.
std::string TagBytesFromArgument(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toLatin1().toStdString();
}

std::string TagBytesForConsole(const std::string& latin1) {
    return QString::fromLatin1(latin1.data(), qsizetype(latin1.size())).toUtf8().toStdString();
}

} // namespace tindrel
