// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <vector>

namespace tindrel {

// A scripted stand-in for the desktop's dialogs. Each dialog takes the next
// answer queued for its kind; with none queued it behaves as if the user
// cancelled. Every message box and every dialog shown is recorded.
class FakeDialogs final : public IDialogs {
public:
    struct Message {
        QString caption;
        QString text;
        MessageIcon icon;
    };
    struct SaveRequest {
        QString filter;
        QString defaultExt;
        QString proposedName;
    };

    void queueOpenFile(std::optional<QString> answer) { push(m_openFile, answer); }
    void queueOpenFiles(std::optional<QStringList> answer) { push(m_openFiles, answer); }
    void queueSaveFile(std::optional<QString> answer) { push(m_saveFile, answer); }
    void queueFolder(std::optional<QString> answer) { push(m_folder, answer); }
    void queueMessageResult(MessageResult answer) { m_messageResults.push_back(answer); }

    const std::vector<Message>& messages() const { return m_messages; }
    const std::vector<SaveRequest>& saveRequests() const { return m_saveRequests; }
    const QStringList& openedDocuments() const { return m_documents; }
    int dialogsShown() const { return m_dialogsShown; }
    void clear();

    MessageResult messageBox(const QString& caption, const QString& text, MessageIcon icon,
                             MessageButtons buttons) override;
    std::optional<QString> openFile(const QString& filter) override;
    std::optional<QStringList> openFiles(const QString& filter) override;
    std::optional<QString> saveFile(const QString& filter, const QString& defaultExt,
                                    const QString& proposedName) override;
    std::optional<QString> chooseFolder() override;
    void openDocument(const QString& path) override { m_documents << path; }

private:
    // An answer is kept as "given" plus a value, which is what an optional is,
    // but without optionals inside containers that older compilers misread.
    template <typename T> struct Answer {
        bool given;
        T value;
    };
    template <typename T> static void push(std::deque<Answer<T>>& queue, const std::optional<T>& answer) {
        queue.push_back({answer.has_value(), answer.value_or(T())});
    }
    template <typename T> std::optional<T> take(std::deque<Answer<T>>& queue) {
        ++m_dialogsShown;
        if (queue.empty())
            return std::nullopt;
        const Answer<T> answer = queue.front();
        queue.pop_front();
        if (!answer.given)
            return std::nullopt;
        return answer.value;
    }

    std::deque<Answer<QString>> m_openFile, m_saveFile, m_folder;
    std::deque<Answer<QStringList>> m_openFiles;
    std::deque<MessageResult> m_messageResults;
    std::vector<Message> m_messages;
    std::vector<SaveRequest> m_saveRequests;
    QStringList m_documents;
    int m_dialogsShown = 0;
};

} // namespace tindrel
