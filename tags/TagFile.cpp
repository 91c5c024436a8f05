// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/TagFile.h"

#include "platform/EditLock.h"
#include "platform/FileOps.h"
#include "platform/FolderEntry.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel::tagfile {

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

FileForChange::~FileForChange() {
    if (m_fd.valid() && !m_done && m_oldMode != m_newMode)
        ::fchmod(m_fd.get(), m_oldMode);
}

bool FileForChange::open(const std::string& path) {
    const FolderEntry entry = FolderEntry::Of(path);
    UniqueFd seen = entry.open(O_RDONLY);
    struct stat st {};
    if (!seen.valid() || ::fstat(seen.get(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode) || entry.refusal(st) || (st.st_nlink > 1 && entry.othersMayWrite())) {
        errno = EPERM;
        return false;
    }
    m_oldMode = st.st_mode & 07777;
    m_newMode = m_oldMode | S_IWUSR;
    if (m_newMode != m_oldMode && ::fchmod(seen.get(), m_newMode) != 0)
        return false;
    const std::string procPath = "/proc/self/fd/" + std::to_string(seen.get());
    m_fd = UniqueFd(::open(procPath.c_str(), O_RDWR | O_CLOEXEC));
    if (!m_fd.valid() || (!EditLock::HeldOn(st) && !TryLock(m_fd.get(), true))) {
        const int error = m_fd.valid() ? EWOULDBLOCK : errno;
        if (m_newMode != m_oldMode)
            ::fchmod(seen.get(), m_oldMode);
        m_fd.reset();
        errno = error;
        return false;
    }
    return true;
}

bool FileForChange::commit() {
    m_done = true;
    return m_fd.reset();
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
