// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/CommitQueue.h"

#include "platform/FileOps.h"

#include <utility>

namespace tindrel {

CommitQueue::~CommitQueue() {
    finish();
}

AtomicFile CommitQueue::Create(const std::string& path, bool evenIfReadOnly) {
    if (!m_lastFolder || !m_lastFolder->SharesFolderWith(path)) {
        m_lastFolder = FolderEntry::Of(path);
        m_leftovers.emplace(*m_lastFolder);
    }
    return AtomicFile::Create(m_lastFolder->Beside(path), evenIfReadOnly,
                              m_leftovers->MayBeBeside(ExtractFileName(path)));
}

void CommitQueue::Add(AtomicFile file) {
    std::unique_lock lock(m_mutex);
    if (!m_worker.joinable())
        m_worker = std::thread([this] { run(); });
    m_changed.wait(lock, [&] { return m_waiting.size() < m_depth || m_failure; });
    if (m_failure)
        std::rethrow_exception(m_failure); // file is abandoned on the way out
    m_waiting.push_back(std::move(file));
    m_changed.notify_all();
}

void CommitQueue::Wait() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return (m_waiting.empty() && !m_busy) || m_failure; });
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void CommitQueue::Finish() {
    finish();
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void CommitQueue::finish() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    // The names given so far become durable together, the failed file's
    // predecessors included.
    for (const auto& [folder, file] : m_folders)
        SyncFolderOf(file);
    m_folders.clear();
}

void CommitQueue::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return !m_waiting.empty() || m_closing; });
        if (m_waiting.empty())
            return;
        std::deque<AtomicFile> batch = std::move(m_waiting);
        m_waiting.clear();
        m_busy = true;
        m_changed.notify_all();
        lock.unlock();
        // The disk writes all of them at once, and each commit then waits
        // only for what is still left of its own file.
        for (AtomicFile& file : batch)
            file.StartFlush();
        std::exception_ptr failure;
        std::map<std::string, std::string> folders;
        for (AtomicFile& file : batch) {
            if (failure)
                break;
            try {
                file.CommitLeavingFolderUnflushed();
                folders.emplace(ExtractFileDir(file.path()), file.path());
            } catch (...) {
                failure = std::current_exception();
            }
        }
        batch.clear(); // abandons the files after a failed one
        lock.lock();
        m_busy = false;
        m_folders.merge(folders);
        if (failure) {
            m_failure = failure;
            m_waiting.clear();
        }
        m_changed.notify_all();
    }
}

} // namespace tindrel
