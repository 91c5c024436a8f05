// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FileOps.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

// Pipes and devices are no files to cut, join or tag: reading a pipe would
// wait for a writer, and a device has no end.
std::string NotAFileReason(const std::string& path) {
    if (path.empty())
        return "No such file";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? "No such file" : std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "Is a directory";
    if (!S_ISREG(st.st_mode))
        return "Is a device or a pipe, not a file";
    return {};
}

bool FileExists(const std::string& path) {
    return NotAFileReason(path).empty();
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty())
        return false;
    if (a == b)
        return true;
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string ExtractFileName(const std::string& path) {
    const auto pos = path.find_last_of(kPathSeparator);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string IncludeTrailingSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == kPathSeparator)
        return folder;
    return folder + kPathSeparator;
}

std::string ExtractFileDir(const std::string& path) {
    const auto slash = path.find_last_of(kPathSeparator);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string(1, kPathSeparator) : path.substr(0, slash);
}

void SyncFolderOf(const std::string& path) {
    const int folder = ::open(ExtractFileDir(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

std::string UpperFileExt(const std::string& path) {
    const std::string name = ExtractFileName(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return {};
    std::string ext = name.substr(dot);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

namespace {

// Many programs lock with fcntl or lockf (record locks) rather than flock;
// the two kinds do not see each other, so a record lock is looked for too.
bool heldUnderRecordLock(int fd, bool exclusive) {
    struct flock probe {};
    probe.l_type = exclusive ? F_WRLCK : F_RDLCK;
    probe.l_whence = SEEK_SET;
    // Fails on what cannot carry record locks (a pipe, say): no lock then.
    return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

} // namespace

bool TryLock(int fd, bool exclusive) {
    int rc;
    do {
        rc = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return false;
    if (heldUnderRecordLock(fd, exclusive)) {
        ::flock(fd, LOCK_UN);
        errno = EWOULDBLOCK;
        return false;
    }
    return true;
}

void IgnoreFileSizeLimitSignal() {
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace tindrel
