// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/AtomicFile.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tindrel {

// Puts finished files in place on a worker thread while the caller writes
// the next ones. Most of the time a file takes to commit is spent waiting
// for the disk; a run of files (the pieces of a split) would otherwise wait
// for each one in turn. Each file is flushed before it takes its name, as
// AtomicFile::Commit does, and every folder the files went to is flushed
// once at the end, so that a crash at any moment leaves each name with the
// old file or the whole new one, and Finish() returns only when all of
// them are on disk, names included.
//
// The first commit that fails ends the queue: the files handed over after
// it are abandoned (they leave nothing behind), and Add and Finish throw
// its error. The files before it stay in place.
class CommitQueue {
public:
    // At most depth files wait for the worker; Add waits for room beyond
    // that, so a slow disk cannot pile up open files.
    explicit CommitQueue(std::size_t depth = 8) : m_depth(depth) {}
    CommitQueue(const CommitQueue&) = delete;
    CommitQueue& operator=(const CommitQueue&) = delete;
    // Commits what was handed over and flushes the folders, as Finish does,
    // but keeps a failure to itself: it runs when another error already
    // ends the caller's work.
    ~CommitQueue();

    // A new file to be handed over (AtomicFile::Create): files of the folder
    // of the one created before it go through that folder as opened then,
    // so that a run of files into one folder opens and looks at it once.
    // Called from the caller's thread only.
    AtomicFile Create(const std::string& path, bool evenIfReadOnly = false);
    // Hands a complete file over to be put in place. Throws the error of an
    // earlier file's commit; file is then abandoned.
    void Add(AtomicFile file);
    // Waits until every file handed over is in place, without flushing the
    // folders yet: for a caller that must see a name in place before it
    // writes the next file.
    void Wait();
    // Waits until every file handed over is in place and on disk with its
    // name. Throws the first commit's error. Nothing may be added after it.
    void Finish();

private:
    void run();
    void finish();

    const std::size_t m_depth;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<AtomicFile> m_waiting;
    bool m_busy = false;    // the worker is committing files it took
    bool m_closing = false; // nothing more comes
    std::exception_ptr m_failure;
    std::map<std::string, std::string> m_folders; // a file put in place in each folder
    std::optional<FolderEntry> m_lastFolder;      // of the last file created, for the next ones
    std::optional<LeftoverNames> m_leftovers;     // in that folder when it was opened
    std::thread m_worker;
};

} // namespace tindrel
