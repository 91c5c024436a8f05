// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FolderEntry.h"

#include "platform/FileOps.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace tindrel {

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

FolderEntry FolderEntry::Of(const std::string& path) {
    const std::string folder = ExtractFileDir(path);
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // A folder that may be entered but not listed still takes new names.
    if (!fd.valid() && errno == EACCES)
        fd = UniqueFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(errno));
    return FolderEntry(std::make_shared<const UniqueFd>(std::move(fd)), folder, ExtractFileName(path), path, st,
                       ::geteuid());
}

FolderEntry FolderEntry::Beside(const std::string& path) const {
    return FolderEntry(m_folder, m_dir, ExtractFileName(path), path, m_folderStat, m_user);
}

bool FolderEntry::SharesFolderWith(const std::string& path) const {
    return ExtractFileDir(path) == m_dir;
}

bool FolderEntry::look(const std::string& name, struct stat& st) const {
    return ::fstatat(folder(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

UniqueFd FolderEntry::open(const std::string& name, int flags) const {
    UniqueFd fd(::openat(folder(), name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    // The status flags are the ones just asked for, so they need not be read
    // back (the system keeps only those it can change).
    if (fd.valid() && (flags & O_NONBLOCK) == 0)
        ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool FolderEntry::names(const std::string& name, const struct stat& st) const {
    struct stat now {};
    return look(name, now) && SameInode(now, st);
}

bool FolderEntry::othersMayWrite() const {
    return m_folderStat.st_uid != m_user || (m_folderStat.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::optional<std::string> FolderEntry::refusal(const struct stat& entry) const {
    if ((m_folderStat.st_mode & S_ISVTX) == 0 || entry.st_uid == m_user || entry.st_uid == m_folderStat.st_uid)
        return std::nullopt;
    return S_ISLNK(entry.st_mode) ? kOtherUsersLinkReason : kOtherUsersReason;
}

std::string FollowOwnLinks(const std::string& path) {
    std::string at = path;
    // As many links as the system itself follows before it gives up.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link {};
        struct stat folder {};
        if (::lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
            return at;
        const std::string dir = ExtractFileDir(at);
        if (::stat(dir.c_str(), &folder) != 0)
            return at;
        if (link.st_uid != ::geteuid() && link.st_uid != folder.st_uid)
            throw std::runtime_error("Cannot open file \"" + path + "\". " + kOtherUsersLinkReason);
        std::string target(std::size_t(link.st_size) + 1, '\0');
        const ssize_t length = ::readlink(at.c_str(), target.data(), target.size());
        if (length <= 0 || std::size_t(length) >= target.size())
            return at; // changed under us: the open that follows fails on it
        target.resize(std::size_t(length));
        at = target.front() == kPathSeparator ? target : IncludeTrailingSeparator(dir) + target;
    }
    throw std::runtime_error("Cannot open file \"" + path + "\". " + std::strerror(ELOOP));
}

} // namespace tindrel
