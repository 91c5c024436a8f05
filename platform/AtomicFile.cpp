// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/AtomicFile.h"

#include "platform/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace tindrel {

namespace {

[[noreturn]] void throwCreateError(const std::string& path, int error) {
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(error));
}

// Temporary names carry the writer's process number, so a name left by a
// writer that was killed can be told from one still being written.
constexpr const char* kTempMark = ".tindrel-";

// The longest file name the file systems Tindrel writes to take.
constexpr std::size_t kNameMax = 255;
// Room for the process number and the counter behind the mark.
constexpr std::size_t kNumbersRoom = 2 * 20 + 1;

// The start of every temporary name beside path: its file name (cut short
// where a long name would push the temporary one past the limit) and the
// mark.
std::string markedName(const std::string& path) {
    const std::string name = ExtractFileName(path);
    const std::size_t room = kNameMax - std::string_view(kTempMark).size() - kNumbersRoom;
    return name.substr(0, std::min(name.size(), room)) + kTempMark;
}

std::string tempPrefix(const std::string& path) {
    const std::string folder = ExtractFileDir(path);
    return (folder.empty() ? std::string() : folder + kPathSeparator) + markedName(path) + std::to_string(::getpid()) +
           "-";
}

// The process number in "<name>.tindrel-<pid>-<anything>", or 0.
pid_t writerOf(const std::string& entry, const std::string& prefix) {
    if (entry.compare(0, prefix.size(), prefix) != 0)
        return 0;
    pid_t pid = 0;
    std::size_t i = prefix.size();
    for (; i < entry.size() && entry[i] >= '0' && entry[i] <= '9' && pid < 4'000'000; ++i)
        pid = pid * 10 + (entry[i] - '0');
    return i < entry.size() && entry[i] == '-' ? pid : 0;
}

// The mode a plainly created file gets: what the user's umask leaves of 0666.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Extended attributes (a download's origin, SELinux labels, access control
// lists) belong to the file, not to its bytes: the replacement carries them.
// One that cannot be set (a security label the writer may not give) is left
// behind rather than failing the write.
void copyExtendedAttributes(int from, int to) {
    const ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0)
        return;
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t got = ::flistxattr(from, names.data(), names.size());
    for (ssize_t at = 0; at < got; at += ssize_t(std::strlen(names.data() + at)) + 1) {
        const char* name = names.data() + at;
        const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0)
            continue;
        std::vector<char> value(static_cast<std::size_t>(length));
        if (::fgetxattr(from, name, value.data(), value.size()) == length)
            (void)::fsetxattr(to, name, value.data(), value.size(), 0);
    }
}

// The journal of an in-place rewrite carries the rewritten file's inode
// number, so a journal is never copied into a file that took the name since.
constexpr char kJournalMark = 'j';

std::string journalName(const std::string& path, ino_t inode) {
    return tempPrefix(path) + kJournalMark + std::to_string(inode);
}

// Copies count bytes at offset from one file into the same place of the
// other, by the streams' own copy (the kernel's where it can).
bool copyRange(FileStream& from, FileStream& to, int64_t offset, int64_t count) {
    try {
        from.seek(offset);
        to.seek(offset);
        to.copyFrom(from, count, std::size_t(1) << 20);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Makes target hold what content holds.
bool copyWhole(FileStream& content, FileStream& target) {
    const int64_t size = content.size();
    return copyRange(content, target, 0, size) && ::ftruncate(target.fd(), size) == 0 && ::fsync(target.fd()) == 0;
}

// Finishes the copy a killed writer left half done from its journal into
// path, when path is still the file the journal was written for. A writer's
// journal belongs to the file's owner, as the new content it holds would;
// one of anybody else (planted by another user of a shared folder) is
// neither copied nor removed.
void finishInPlaceCopy(const std::string& journal, const std::string& path, ino_t inode) {
    struct stat st = {};
    struct stat own = {};
    FileStream content = FileStream::adopt(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC), journal);
    if (content.fd() < 0 || ::fstat(content.fd(), &own) != 0)
        return;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_ino == inode) {
        if (own.st_uid != st.st_uid || own.st_nlink != 1)
            return;
        FileStream target = FileStream::adopt(::open(path.c_str(), O_WRONLY | O_CLOEXEC), path);
        if (target.fd() < 0 || !copyWhole(content, target))
            return; // the journal stays for the next try
    }
    ::unlink(journal.c_str());
}

} // namespace

void AtomicFile::SweepLeftovers(const std::string& path) {
    const std::string folder = ExtractFileDir(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const std::string prefix = markedName(path);
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t writer = writerOf(entry->d_name, prefix);
        if (writer <= 0 || writer == ::getpid())
            continue;
        if (::kill(writer, 0) != 0 && errno == ESRCH)
            stale.push_back(folder + kPathSeparator + entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : stale) {
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const std::size_t numbers = name.find('-', name.rfind(kTempMark) + std::string_view(kTempMark).size());
        if (numbers + 1 < name.size() && name[numbers + 1] == kJournalMark)
            finishInPlaceCopy(name, path, ino_t(std::strtoull(name.c_str() + numbers + 2, nullptr, 10)));
        else
            ::unlink(name.c_str());
    }
}

AtomicFile AtomicFile::Create(const std::string& path, bool evenIfReadOnly) {
    SweepLeftovers(path);
    struct stat st {};
    const bool replacing = ::stat(path.c_str(), &st) == 0;
    if (replacing) {
        if (S_ISDIR(st.st_mode))
            throwCreateError(path, EISDIR);
        // A device, a pipe or a socket is never replaced by a regular file:
        // "/dev/null" as an output would be gone for the whole system.
        if (!S_ISREG(st.st_mode))
            throw std::runtime_error("Cannot create file \"" + path + "\". " + kNotRegularReason);
        // Replacing a file the user may not write would get round its
        // protection; refuse it as creating it over would be refused.
        if (!evenIfReadOnly && ::access(path.c_str(), W_OK) != 0)
            throwCreateError(path, errno);
    }
    // Another program holding the old file under an exclusive lock (our own
    // tag editor while it rewrites a tag, for one) is in the middle of
    // changing it; replacing it under its feet would lose its work or ours.
    // The lock is held until the new file is in place.
    UniqueFd targetLock;
    if (S_ISREG(st.st_mode)) {
        targetLock = UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (targetLock.valid() && !TryLock(targetLock.get(), true) && errno == EWOULDBLOCK)
            throw std::runtime_error("Cannot create file \"" + path + "\". " + kFileInUseReason);
    }
    // The replacing file keeps the mode of the file it replaces.
    const mode_t mode = replacing ? (st.st_mode & 07777) : newFileMode();
    int fd = ::open(ExtractFileDir(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    std::string namedTemp;
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        namedTemp = tempPrefix(path) + "XXXXXX";
        fd = ::mkostemp(namedTemp.data(), O_CLOEXEC);
    }
    if (fd < 0)
        throwCreateError(path, errno);
    // A replaced read-only file is replaced by a writable one, as deleting
    // and creating it would. The new file keeps the old one's owner where
    // the writer may give it (as root), else it is the writer's own.
    if (replacing)
        (void)!::fchown(fd, st.st_uid, st.st_gid);
    if (targetLock.valid())
        copyExtendedAttributes(targetLock.get(), fd);
    ::fchmod(fd, evenIfReadOnly ? (mode | S_IWUSR) : mode);
    AtomicFile file(FileStream::adopt(fd, path), path, namedTemp);
    file.m_targetLock = std::move(targetLock);
    file.m_inPlace = replacing && st.st_nlink > 1;
    return file;
}

AtomicFile::~AtomicFile() {
    if (!m_committed && !m_namedTemp.empty())
        ::unlink(m_namedTemp.c_str());
}

void AtomicFile::Commit() {
    commit(true);
}

void AtomicFile::CommitLeavingFolderUnflushed() {
    commit(false);
}

void AtomicFile::StartFlush() {
    // Only a hint: where the system cannot, the commit's flush does it all.
    (void)::sync_file_range(m_stream.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void AtomicFile::commit(bool flushFolder) {
    const int fd = m_stream.fd();
    if (::fsync(fd) != 0)
        throw StreamWriteError();
    if (m_inPlace) {
        commitInPlace();
        return;
    }
    if (m_namedTemp.empty()) {
        // Give the nameless file a name: straight in place when none is
        // there, else beside it first and then over the old file.
        const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, m_path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_committed = true;
        } else if (errno == EEXIST) {
            m_namedTemp = tempPrefix(m_path) + std::to_string(fd);
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
    if (flushFolder)
        SyncFolderOf(m_path);
    m_stream.close();
    m_targetLock.reset();
}

void AtomicFile::commitInPlace() {
    struct stat target {};
    if (!m_targetLock.valid() || ::fstat(m_targetLock.get(), &target) != 0)
        throw StreamWriteError();
    // The complete new content takes the journal name first, so that a kill
    // during the copy below can be finished by the next write.
    const std::string journal = journalName(m_path, target.st_ino);
    if (m_namedTemp.empty()) {
        const std::string procPath = "/proc/self/fd/" + std::to_string(m_stream.fd());
        ::unlink(journal.c_str());
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, journal.c_str(), AT_SYMLINK_FOLLOW) != 0)
            throw StreamWriteError();
    } else if (::rename(m_namedTemp.c_str(), journal.c_str()) != 0) {
        throw StreamWriteError();
    }
    m_namedTemp = journal; // removed by the destructor while the old content is whole
    SyncFolderOf(m_path);
    FileStream content = FileStream::adopt(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC), journal);
    int outFd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
    // A read-only file is made writable, as its replacement would be.
    if (outFd < 0 && errno == EACCES && ::fchmod(m_targetLock.get(), (target.st_mode & 07777) | S_IWUSR) == 0)
        outFd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
    FileStream out = FileStream::adopt(outFd, m_path);
    struct stat now {};
    if (content.fd() < 0 || out.fd() < 0 || ::fstat(out.fd(), &now) != 0 || now.st_ino != target.st_ino)
        throw StreamWriteError();
    // Space for the whole new content is asked for first, and the part past
    // the old end written before the old content is touched: a full disk or
    // a size limit then fails with the file as it was.
    const int64_t oldSize = now.st_size, newSize = content.size();
    if (::fallocate(out.fd(), FALLOC_FL_KEEP_SIZE, 0, newSize) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        throw StreamWriteError();
    if (newSize > oldSize && !copyRange(content, out, oldSize, newSize - oldSize)) {
        (void)!::ftruncate(out.fd(), oldSize);
        throw StreamWriteError();
    }
    // From here the old content changes: on a failure the journal stays, and
    // the next write to this name finishes the copy from it.
    m_committed = true;
    if (!copyWhole(content, out))
        throw StreamWriteError();
    ::unlink(journal.c_str());
    SyncFolderOf(m_path);
    m_stream.close();
    m_targetLock.reset();
}

} // namespace tindrel
