// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FakeDialogs.h"

namespace tindrel {

void FakeDialogs::clear() {
    m_openFile.clear();
    m_saveFile.clear();
    m_folder.clear();
    m_openFiles.clear();
    m_messageResults.clear();
    m_messages.clear();
    m_saveRequests.clear();
    m_documents.clear();
    m_dialogsShown = 0;
}

MessageResult FakeDialogs::messageBox(const QString& caption, const QString& text, MessageIcon icon,
                                      MessageButtons buttons) {
    m_messages.push_back({caption, text, icon});
    if (!m_messageResults.empty()) {
        const MessageResult answer = m_messageResults.front();
        m_messageResults.pop_front();
        return answer;
    }
    // Unanswered, a box takes its default button, as Enter would.
    switch (buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageResult::Yes;
    case MessageButtons::YesNoDefaultNo:
        return MessageResult::No;
    default:
        return MessageResult::Ok;
    }
}

std::optional<QString> FakeDialogs::openFile(const QString&) {
    return take(m_openFile);
}

std::optional<QStringList> FakeDialogs::openFiles(const QString&) {
    return take(m_openFiles);
}

std::optional<QString> FakeDialogs::saveFile(const QString& filter, const QString& defaultExt,
                                             const QString& proposedName) {
    m_saveRequests.push_back({filter, defaultExt, proposedName});
    return take(m_saveFile);
}

std::optional<QString> FakeDialogs::chooseFolder() {
    return take(m_folder);
}

} // namespace tindrel
