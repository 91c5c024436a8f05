// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/AtomicFile.h"

#include "platform/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

namespace {

[[noreturn]] void throwCreateError(const std::string& path, int error) {
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(error));
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of(kPathSeparator);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string(1, kPathSeparator) : path.substr(0, slash);
}

// The mode a plainly created file would get: the existing file's when one
// is replaced, else what the user's umask leaves of 0666.
mode_t modeFor(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

AtomicFile AtomicFile::Create(const std::string& path, bool evenIfReadOnly) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throwCreateError(path, EISDIR);
        // Replacing a file the user may not write would get round its
        // protection; refuse it as creating it over would be refused.
        if (!evenIfReadOnly && ::access(path.c_str(), W_OK) != 0)
            throwCreateError(path, errno);
    }
    const std::string folder = folderOf(path);
    const mode_t mode = modeFor(path);
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    std::string namedTemp;
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        namedTemp = path + ".tindrel-XXXXXX";
        fd = ::mkostemp(namedTemp.data(), O_CLOEXEC);
    }
    if (fd < 0)
        throwCreateError(path, errno);
    // A replaced read-only file is replaced by a writable one, as deleting
    // and creating it would.
    ::fchmod(fd, evenIfReadOnly ? (mode | S_IWUSR) : mode);
    return AtomicFile(FileStream::adopt(fd, path), path, namedTemp);
}

AtomicFile::~AtomicFile() {
    if (!m_committed && !m_namedTemp.empty())
        ::unlink(m_namedTemp.c_str());
}

void AtomicFile::Commit() {
    const int fd = m_stream.fd();
    if (::fsync(fd) != 0)
        throw StreamWriteError();
    if (m_namedTemp.empty()) {
        // Give the nameless file a name: straight in place when none is
        // there, else beside it first and then over the old file.
        const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, m_path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_committed = true;
        } else if (errno == EEXIST) {
            m_namedTemp = m_path + ".tindrel-" + std::to_string(::getpid()) + "-" + std::to_string(fd);
            ::unlink(m_namedTemp.c_str());
            if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, m_namedTemp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                m_namedTemp.clear();
                throw StreamWriteError();
            }
        } else {
            throw StreamWriteError();
        }
    }
    if (!m_committed) {
        if (::rename(m_namedTemp.c_str(), m_path.c_str()) != 0)
            throw StreamWriteError(); // the destructor removes the temporary name
        m_committed = true;
    }
    // The new name must survive a power cut as well as the data.
    const int dir = ::open(folderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    m_stream.close();
}

} // namespace tindrel
