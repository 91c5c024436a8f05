// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/TagFile.h"

#include "platform/FileOps.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel::tagfile {

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

OwnerWritable::~OwnerWritable() {
    if (!m_path.empty() && m_oldMode != m_newMode)
        ::chmod(m_path.c_str(), m_oldMode);
}

bool OwnerWritable::acquire(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    m_oldMode = st.st_mode & 07777;
    m_newMode = m_oldMode | S_IWUSR;
    if (m_newMode != m_oldMode && ::chmod(path.c_str(), m_newMode) != 0)
        return false;
    m_path = path;
    return true;
}

bool LockExclusive(int fd) {
    return TryLock(fd, true);
}

UniqueFd OpenExclusive(const std::string& path, int flags) {
    UniqueFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC));
    if (fd.valid() && !LockExclusive(fd.get()))
        fd.reset();
    return fd;
}

bool ReadAt(int fd, void* buffer, std::size_t count, off_t offset) {
    auto* out = static_cast<char*>(buffer);
    while (count > 0) {
        const ssize_t got = ::pread(fd, out, count, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        offset += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAt(int fd, const void* buffer, std::size_t count, off_t offset) {
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t put = ::pwrite(fd, in, count, offset);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        in += put;
        offset += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

std::string TrimRight(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin]))
        ++begin;
    return TrimRight(text.substr(begin));
}

} // namespace tindrel::tagfile
