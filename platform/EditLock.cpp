// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/EditLock.h"

#include "platform/FolderEntry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <sys/file.h>
#include <utility>
#include <vector>

namespace tindrel {

namespace {

std::mutex g_heldMutex;
std::vector<struct stat> g_held;

[[noreturn]] void throwOpenError(const std::string& path, const std::string& reason) {
    throw std::runtime_error("Cannot open file \"" + path + "\". " + reason);
}

} // namespace

EditLock EditLock::Acquire(const std::string& path) {
    const FolderEntry entry = FolderEntry::Of(path);
    for (;;) {
        UniqueFd fd = entry.open(O_RDONLY);
        struct stat st {};
        if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
            throwOpenError(path, std::strerror(errno));
        if (!S_ISREG(st.st_mode))
            throwOpenError(path, "It is not a regular file");
        int rc;
        do {
            rc = ::flock(fd.get(), LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        // A file system that cannot lock leaves the edit unguarded, as it
        // leaves every other program's.
        if (entry.names(st)) {
            std::lock_guard lock(g_heldMutex);
            g_held.push_back(st);
            return EditLock(std::move(fd), st);
        }
    }
}

EditLock::EditLock(EditLock&& other) noexcept : m_fd(std::move(other.m_fd)), m_stat(other.m_stat) {}

EditLock::~EditLock() {
    if (!m_fd.valid())
        return;
    std::lock_guard lock(g_heldMutex);
    const auto held =
        std::find_if(g_held.begin(), g_held.end(), [&](const struct stat& st) { return SameInode(st, m_stat); });
    if (held != g_held.end())
        g_held.erase(held);
}

bool EditLock::HeldOn(const struct stat& st) {
    std::lock_guard lock(g_heldMutex);
    return std::any_of(g_held.begin(), g_held.end(), [&](const struct stat& held) { return SameInode(held, st); });
}

} // namespace tindrel
