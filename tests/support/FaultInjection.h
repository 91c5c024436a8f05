// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tindrel::test {

// Lets no file grow beyond bytes while it exists; writes past the limit fail
// with an error instead of a signal. Works for every user, root included.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long m_oldSoftLimit;
    void (*m_oldHandler)(int);
};

// Runs work in a child process and kills it after delay. Returns true when
// the child finished work (and work returned true) before the kill.
bool RunKilledAfter(const std::function<bool()>& work, std::chrono::microseconds delay);

// Runs work as an ordinary user, since root may write into any folder. For a
// root caller work runs in a child process that has become the user
// "nobody", who owns the paths in owned for that time (they are given back
// to root afterwards). Returns what work returned, or nothing when the
// process may not become that user or that user cannot reach the paths.
std::optional<bool> RunAsOrdinaryUser(const std::vector<std::string>& owned, const std::function<bool()>& work);

// Runs work in a child process on a file system of its own that holds only
// bytes (a tmpfs mounted in a mount namespace of the child's, so nothing
// outside sees it), given the folder it is mounted on. Returns what work
// returned, or nothing when the system lets this process mount nothing.
std::optional<bool> RunOnASmallDisk(std::size_t bytes, const std::function<bool(const std::string& folder)>& work);

} // namespace tindrel::test
