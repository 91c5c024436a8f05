// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/AtomicFile.h"

#include "platform/ChangeJournal.h"
#include "platform/EditLock.h"
#include "platform/FileOps.h"
#include "platform/FolderEntry.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <string_view>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace tindrel {

namespace {

[[noreturn]] void throwCreateError(const std::string& path, const std::string& reason) {
    throw std::runtime_error("Cannot create file \"" + path + "\". " + reason);
}

[[noreturn]] void throwCreateError(const std::string& path, int error) {
    throwCreateError(path, std::strerror(error));
}

// Every write needs a new name in the target's folder: the new file is
// put in place in one step, or the old one is rewritten from a complete
// copy beside it. A file rewritten with no copy anywhere would be lost to a
// crash or a full disk halfway through, so a read-only folder is refused
// with that reason rather than the bare "Permission denied".
std::string readOnlyFolderReason(const std::string& path, bool replacing) {
    const std::string folder = "The folder \"" + ExtractFileDir(path) + "\" is read-only";
    return replacing ? folder + ", so \"" + ExtractFileName(path) + "\" cannot be replaced safely." : folder + ".";
}

// Why a replacement was abandoned when its name no longer held the file
// it was decided on.
constexpr const char* kSwappedReason = "It was replaced by another program while it was written";

// Temporary names carry the writer's user number, so that a sweep looks
// only at names its own user's writers can have left; a writer that still
// runs holds a lock on the file such a name stands for.
constexpr const char* kTempMark = ".tindrel-";

// The longest file name the file systems Tindrel writes to take.
constexpr std::size_t kNameMax = 255;
// Room for the user number and the slot behind the mark.
constexpr std::size_t kNumbersRoom = 2 * 20 + 1;
// Writers of one target at the same time, each with its own temporary name.
constexpr int kTempSlots = 4;
// What is kept of the target's name in front of the mark.
constexpr std::size_t kStemRoom = kNameMax - std::string_view(kTempMark).size() - kNumbersRoom;
constexpr int kRandomTries = 8;

// The start of every temporary name beside the target: its file name (cut
// short where a long name would push the temporary one past the limit),
// the mark and the user number.
std::string tempStem(const FolderEntry& entry) {
    const std::string& name = entry.name();
    return name.substr(0, std::min(name.size(), kStemRoom)) + kTempMark + std::to_string(entry.user()) + "-";
}

std::string tempName(const FolderEntry& entry, int slot) {
    return tempStem(entry) + std::to_string(slot);
}

std::string journalName(const FolderEntry& entry) {
    return tempStem(entry) + "j";
}

// The mode a plainly created file gets: what the user's umask leaves of 0666.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Whether the writer may write a file, by its permission bits.
bool mayWrite(const struct stat& st, uid_t user) {
    if (user == 0)
        return true;
    if (st.st_uid == user)
        return (st.st_mode & S_IWUSR) != 0;
    std::vector<gid_t> groups(std::size_t(std::max(0, ::getgroups(0, nullptr))));
    groups.resize(std::size_t(std::max(0, ::getgroups(int(groups.size()), groups.data()))));
    if (st.st_gid == ::getegid() || std::find(groups.begin(), groups.end(), st.st_gid) != groups.end())
        return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
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

// A reopening of an open file by its descriptor: the same file whatever its
// name holds by now.
UniqueFd reopen(int fd, int flags) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    return UniqueFd(::open(procPath.c_str(), flags | O_CLOEXEC));
}

bool linkInto(int fd, const FolderEntry& entry, const std::string& name) {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, procPath.c_str(), entry.folder(), name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Behind the new content a journal records the file being rewritten as the
// copy last left it, so that a later write to it by anything else (through
// another of its names, say) keeps the journal from being copied over it.
// A block being copied when the writer was killed has changed the file's
// change time after the last record; the record then names that block
// (pendingAt), and the copy is finished only if everything before it is
// already the new content, so that no later write went into the file.
struct JournalRecord {
    std::array<char, 8> mark{'T', 'i', 'n', 'd', 'r', 'e', 'l', 'J'};
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t changedSeconds = 0;
    int64_t changedNanoseconds = 0;
    int64_t pendingAt = -1;
};

JournalRecord recordOf(const struct stat& st) {
    JournalRecord record;
    record.inode = st.st_ino;
    record.size = st.st_size;
    record.changedSeconds = st.st_ctim.tv_sec;
    record.changedNanoseconds = st.st_ctim.tv_nsec;
    return record;
}

bool sameRecord(const JournalRecord& a, const JournalRecord& b) {
    return a.mark == b.mark && a.inode == b.inode && a.size == b.size && a.changedSeconds == b.changedSeconds &&
           a.changedNanoseconds == b.changedNanoseconds;
}

bool sameBytes(int a, int b, int64_t count) {
    std::vector<char> x(std::size_t(std::min<int64_t>(count, 1 << 16))), y(x.size());
    for (int64_t at = 0; at < count;) {
        const auto n = std::size_t(std::min<int64_t>(int64_t(x.size()), count - at));
        if (::pread(a, x.data(), n, at) != ssize_t(n) || ::pread(b, y.data(), n, at) != ssize_t(n) ||
            std::memcmp(x.data(), y.data(), n) != 0)
            return false;
        at += int64_t(n);
    }
    return true;
}

// Whether the file (now, open as target) is as the killed copy left it: as
// recorded, or changed only by the block it was writing, every block before
// that holding the new content already (or, while the part past the old end
// was being written, nothing of the old content touched).
bool leftByTheCopy(const JournalRecord& recorded, const struct stat& now, int target, int journal, int64_t size) {
    const JournalRecord seen = recordOf(now);
    if (recorded.pendingAt < 0)
        return sameRecord(seen, recorded);
    const bool later = std::tie(seen.changedSeconds, seen.changedNanoseconds) >=
                       std::tie(recorded.changedSeconds, recorded.changedNanoseconds);
    if (seen.mark != recorded.mark || seen.inode != recorded.inode || !later || seen.size < recorded.size ||
        seen.size > std::max(size, recorded.size) || recorded.pendingAt > size)
        return false;
    // A block past the file's old end changes none of the old content yet.
    return recorded.pendingAt >= recorded.size || sameBytes(target, journal, recorded.pendingAt);
}

// Writes the record of target at contentSize in the journal; pendingAt is
// the block about to be written, or -1 when none is.
bool record(int journal, int64_t contentSize, int target, int64_t pendingAt = -1) {
    struct stat st {};
    if (::fstat(target, &st) != 0)
        return false;
    JournalRecord entry = recordOf(st);
    entry.pendingAt = pendingAt;
    return ::pwrite(journal, &entry, sizeof entry, contentSize) == ssize_t(sizeof entry);
}

void (*g_copyObserver)(int64_t) = nullptr;

// Copies content's first size bytes into target, block by block, recording
// the target behind each block in the journal.
constexpr int64_t kCopyBlock = int64_t(1) << 20;
bool copyRecorded(FileStream& content, int64_t from, int64_t size, FileStream& target) {
    try {
        for (int64_t at = from; at < size; at += kCopyBlock) {
            if (!record(content.fd(), size, target.fd(), at))
                return false;
            content.seek(at);
            target.seek(at);
            target.copyFrom(content, std::min(kCopyBlock, size - at), std::size_t(kCopyBlock));
            if (g_copyObserver)
                g_copyObserver(std::min(at + kCopyBlock, size));
            if (!record(content.fd(), size, target.fd()))
                return false;
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool finishCopy(FileStream& content, int64_t size, FileStream& target) {
    return copyRecorded(content, 0, size, target) && ::ftruncate(target.fd(), size) == 0 && ::fsync(target.fd()) == 0;
}

// The writer's own regular file at name that no running writer holds,
// opened; invalid otherwise.
UniqueFd openAbandoned(const FolderEntry& entry, const std::string& name, struct stat& st) {
    struct stat seen {};
    if (!entry.look(name, seen) || !S_ISREG(seen.st_mode) || seen.st_uid != entry.user())
        return UniqueFd();
    UniqueFd fd = entry.open(name, O_RDONLY);
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !SameInode(st, seen) || st.st_nlink != 1 ||
        !TryLock(fd.get(), true))
        return UniqueFd();
    return fd;
}

void removeIfNamed(const FolderEntry& entry, const std::string& name, const struct stat& st) {
    if (entry.names(name, st))
        ::unlinkat(entry.folder(), name.c_str(), 0);
}

// Finishes the change in place a killed writer left half done, when the
// file still holds the old or the new bytes at every changed place; a
// journal that no longer fits the file is dropped.
void replayChanges(const FolderEntry& entry, int journal, const struct stat& own) {
    struct stat now {};
    if (entry.look(now) && S_ISREG(now.st_mode)) {
        UniqueFd target = entry.open(O_RDWR);
        struct stat opened {};
        if (!target.valid() || ::fstat(target.get(), &opened) != 0 || !SameInode(opened, now) ||
            !TryLock(target.get(), true))
            return;
        if (LeftByTheChanges(journal, own.st_size, target.get()) &&
            !ApplyChanges(journal, own.st_size, target.get(), nullptr))
            return; // the journal stays for the next try
    }
    removeIfNamed(entry, journalName(entry), own);
}

// Finishes the copy a killed writer left half done from its journal, when
// the file is still exactly as the journal recorded it; a journal that no
// longer fits the file is dropped.
void replayJournal(const FolderEntry& entry) {
    const std::string name = journalName(entry);
    struct stat own {};
    UniqueFd fd = openAbandoned(entry, name, own);
    JournalRecord recorded;
    if (!fd.valid() || own.st_size < off_t(sizeof recorded))
        return;
    if (IsChangeJournal(fd.get(), own.st_size)) {
        replayChanges(entry, fd.get(), own);
        return;
    }
    const int64_t size = own.st_size - int64_t(sizeof recorded);
    if (::pread(fd.get(), &recorded, sizeof recorded, size) != ssize_t(sizeof recorded))
        return;
    struct stat now {};
    if (entry.look(now) && S_ISREG(now.st_mode) && now.st_ino == recorded.inode) {
        FileStream target = FileStream::adopt(entry.open(O_RDWR).release(), entry.path());
        struct stat opened {};
        if (target.fd() < 0 || ::fstat(target.fd(), &opened) != 0 || !SameInode(opened, now) ||
            !TryLock(target.fd(), true))
            return;
        if (!leftByTheCopy(recorded, opened, target.fd(), fd.get(), size)) {
            removeIfNamed(entry, name, own);
            return;
        }
        FileStream content = FileStream::adopt(reopen(fd.get(), O_RDWR).release(), name);
        if (content.fd() < 0 || !finishCopy(content, size, target))
            return; // the journal stays for the next try
    }
    removeIfNamed(entry, name, own);
}

void sweep(const FolderEntry& entry) {
    for (int slot = 0; slot < kTempSlots; ++slot) {
        const std::string name = tempName(entry, slot);
        struct stat st {};
        if (openAbandoned(entry, name, st).valid())
            removeIfNamed(entry, name, st);
    }
    replayJournal(entry);
}

} // namespace

void AtomicFile::SetCopyObserver(void (*observer)(int64_t)) {
    g_copyObserver = observer;
}

void AtomicFile::SweepLeftovers(const std::string& path) {
    try {
        sweep(FolderEntry::Of(path));
    } catch (const std::exception&) {
        // no folder, nothing left in it
    }
}

AtomicFile::AtomicFile(FolderEntry entry, FileStream stream)
    : m_entry(std::make_unique<FolderEntry>(std::move(entry))), m_stream(std::move(stream)), m_path(m_entry->path()) {
    // Every new content is flushed before it takes its name.
    m_stream.startWritingBehind();
}

AtomicFile::AtomicFile(AtomicFile&&) noexcept = default;
AtomicFile& AtomicFile::operator=(AtomicFile&&) noexcept = default;

AtomicFile AtomicFile::Create(const std::string& path, bool evenIfReadOnly) {
    return Create(FolderEntry::Of(path), evenIfReadOnly);
}

LeftoverNames::LeftoverNames(const FolderEntry& folder) {
    const int fd = ::openat(folder.folder(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    const std::string mark = std::string(kTempMark) + std::to_string(folder.user()) + "-";
    errno = 0;
    while (const dirent* item = ::readdir(dir)) {
        const std::string_view name(item->d_name);
        if (const std::size_t at = name.rfind(mark); at != std::string_view::npos && at > 0)
            m_stems.emplace(name.substr(0, at));
    }
    m_listed = errno == 0;
    ::closedir(dir);
}

bool LeftoverNames::MayBeBeside(const std::string& name) const {
    return !m_listed || m_stems.count(name.substr(0, std::min(name.size(), kStemRoom))) > 0;
}

AtomicFile AtomicFile::Create(FolderEntry entry, bool evenIfReadOnly, bool sweepFirst) {
    const std::string path = entry.path();
    if (sweepFirst)
        sweep(entry);
    struct stat st {};
    const bool replacing = entry.look(st);
    UniqueFd target;
    if (replacing) {
        if (S_ISDIR(st.st_mode))
            throwCreateError(path, EISDIR);
        if (const auto refusal = entry.refusal(st))
            throwCreateError(path, *refusal);
        // A device, a pipe or a socket is never replaced by a regular file:
        // "/dev/null" as an output would be gone for the whole system.
        if (!S_ISLNK(st.st_mode) && !S_ISREG(st.st_mode))
            throwCreateError(path, kNotRegularReason);
    }
    if (replacing && S_ISREG(st.st_mode)) {
        target = entry.open(O_RDONLY);
        struct stat opened {};
        if (!target.valid() || ::fstat(target.get(), &opened) != 0 || !SameInode(opened, st))
            throwCreateError(path, "It was replaced by another program while it was opened");
        st = opened;
        // Replacing a file the user may not write would get round its
        // protection; refuse it as creating it over would be refused.
        if (!evenIfReadOnly && !mayWrite(st, entry.user()))
            throwCreateError(path, EACCES);
        // Another program holding the old file under an exclusive lock (our
        // own tag editor while it rewrites a tag, for one) is in the middle
        // of changing it; replacing it under its feet would lose its work or
        // ours. The lock is held until the new file is in place.
        if (!EditLock::HeldOn(st) && !TryLock(target.get(), true) && errno == EWOULDBLOCK)
            throwCreateError(path, kFileInUseReason);
    }
    // The replacing file keeps the mode (never a set-ID bit) and the owner
    // of a file that is the writer's or the folder owner's; a link, or
    // anybody else's file, is replaced by a plainly created file.
    const bool keeps = target.valid() && (st.st_uid == entry.user() || st.st_uid == entry.folderStat().st_uid);
    const mode_t mode = keeps ? (st.st_mode & 0777) : newFileMode();
    int fd = ::openat(entry.folder(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    std::string namedTemp;
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int slot = 0; slot < kTempSlots && fd < 0; ++slot) {
            namedTemp = tempName(entry, slot);
            fd = entry.open(namedTemp, O_WRONLY | O_CREAT | O_EXCL).release();
        }
    }
    if (fd < 0 && (errno == EACCES || errno == EROFS))
        throwCreateError(path, readOnlyFolderReason(path, replacing));
    if (fd < 0)
        throwCreateError(path, errno);
    // A sweep tells a running writer's temporary name by this lock.
    (void)TryLock(fd, true);
    // A replaced read-only file is replaced by a writable one, as deleting
    // and creating it would. The new file keeps the old one's owner where
    // the writer may give it (as root), else it is the writer's own.
    if (keeps) {
        (void)!::fchown(fd, st.st_uid, st.st_gid);
        copyExtendedAttributes(target.get(), fd);
    }
    ::fchmod(fd, evenIfReadOnly ? (mode | S_IWUSR) : mode);
    AtomicFile file(std::move(entry), FileStream::adopt(fd, path));
    file.m_tempName = namedTemp;
    file.m_replacing = replacing;
    file.m_targetStat = st;
    file.m_target = std::move(target);
    // Only the writer's own file, opened without following a link, in a
    // folder where nobody else can have added its second name.
    file.m_inPlace = file.m_target.valid() && st.st_nlink > 1 && st.st_uid == file.m_entry->user() &&
                     !file.m_entry->othersMayWrite();
    return file;
}

AtomicFile::~AtomicFile() {
    if (m_entry && !m_committed && !m_tempName.empty())
        ::unlinkat(m_entry->folder(), m_tempName.c_str(), 0);
}

FileStream AtomicFile::openReplaced() const {
    UniqueFd fd = m_target.valid() ? reopen(m_target.get(), O_RDONLY) : UniqueFd();
    if (!fd.valid())
        throw std::runtime_error("Cannot open file \"" + m_path + "\". " +
                                 std::strerror(m_target.valid() ? errno : ENOENT));
    return FileStream::adopt(fd.release(), m_path);
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
    // The content reaches the disk before the name does: a power cut then
    // leaves the old file or the whole new one, never a named empty file.
    if (::fsync(m_stream.fd()) != 0)
        throw StreamWriteError(m_path, errno);
    if (m_inPlace) {
        commitInPlace();
        return;
    }
    putInPlace();
    if (flushFolder)
        SyncFolderOf(m_path);
    m_stream.close();
    m_target.reset();
}

std::string AtomicFile::linkBeside() {
    // The names a sweep looks at first; when others hold them all (another
    // user may plant anything there), a name nobody can guess. Left behind
    // by a kill, that one stays, but only a kill in the instant between
    // the link and the swap leaves it.
    for (int slot = 0; slot < kTempSlots + kRandomTries; ++slot) {
        uint64_t random = 0;
        if (slot >= kTempSlots && ::getrandom(&random, sizeof random, 0) != sizeof random)
            break;
        const std::string name =
            slot < kTempSlots ? tempName(*m_entry, slot) : tempStem(*m_entry) + "r" + std::to_string(random);
        if (linkInto(m_stream.fd(), *m_entry, name))
            return name;
        if (errno != EEXIST)
            break;
    }
    throw StreamWriteError(m_path, errno);
}

bool AtomicFile::placeNew() {
    const FolderEntry& entry = *m_entry;
    if (m_tempName.empty())
        return linkInto(m_stream.fd(), entry, entry.name());
    if (::renameat2(entry.folder(), m_tempName.c_str(), entry.folder(), entry.name().c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    if (::linkat(entry.folder(), m_tempName.c_str(), entry.folder(), entry.name().c_str(), 0) != 0)
        return false;
    ::unlinkat(entry.folder(), m_tempName.c_str(), 0);
    return true;
}

void AtomicFile::putInPlace() {
    const FolderEntry& entry = *m_entry;
    if (!m_replacing) {
        if (placeNew()) {
            m_committed = true;
            return;
        }
        // Something took the name while the file was written: it is judged
        // as it would have been had it been there from the start.
        const int error = errno;
        if (error != EEXIST || !entry.look(m_targetStat))
            throw StreamWriteError(m_path, error);
        if (entry.refusal(m_targetStat) || S_ISDIR(m_targetStat.st_mode) ||
            (!S_ISREG(m_targetStat.st_mode) && !S_ISLNK(m_targetStat.st_mode)))
            throw StreamWriteError(m_path, "Another program put something of that name there while it was written");
    }
    if (m_tempName.empty())
        m_tempName = linkBeside();
    const char* temp = m_tempName.c_str();
    const char* name = entry.name().c_str();
    // Swapped in one step with what the name holds, which is then checked
    // to be what the replacement was decided on; anything else (planted in
    // the meantime) is swapped back and left as it is.
    if (::renameat2(entry.folder(), temp, entry.folder(), name, RENAME_EXCHANGE) == 0) {
        if (!entry.names(m_tempName, m_targetStat)) {
            (void)::renameat2(entry.folder(), temp, entry.folder(), name, RENAME_EXCHANGE);
            throw StreamWriteError(m_path, kSwappedReason); // the destructor removes the temporary name
        }
        m_committed = true;
        ::unlinkat(entry.folder(), temp, 0);
        return;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        throw StreamWriteError(m_path, errno);
    // A file system that cannot swap: the name is checked just before.
    if (!entry.names(m_targetStat))
        throw StreamWriteError(m_path, kSwappedReason);
    if (::renameat(entry.folder(), temp, entry.folder(), name) != 0)
        throw StreamWriteError(m_path, errno);
    m_committed = true;
}

// The new content, or the journal of the changes, takes the journal name
// before the replaced file is touched, so that a kill while it is being
// written can be finished by the next write.
void AtomicFile::nameJournal() {
    const FolderEntry& entry = *m_entry;
    if (!entry.names(m_targetStat))
        throw StreamWriteError(m_path, kSwappedReason);
    const std::string journal = journalName(entry);
    if (!m_tempName.empty()) {
        if (::renameat(entry.folder(), m_tempName.c_str(), entry.folder(), journal.c_str()) != 0)
            throw StreamWriteError(m_path, errno);
    } else {
        struct stat old {};
        if (UniqueFd stale = openAbandoned(entry, journal, old); stale.valid())
            removeIfNamed(entry, journal, old);
        if (!linkInto(m_stream.fd(), entry, journal))
            throw StreamWriteError(m_path, errno);
    }
    m_tempName = journal; // removed by the destructor while the old content is whole
}

UniqueFd AtomicFile::openReplacedForWriting(int flags) {
    UniqueFd fd = reopen(m_target.get(), flags);
    // A read-only file is made writable, as its replacement would be.
    if (!fd.valid() && errno == EACCES && ::fchmod(m_target.get(), (m_targetStat.st_mode & 07777) | S_IWUSR) == 0)
        fd = reopen(m_target.get(), flags);
    return fd;
}

void AtomicFile::commitInPlace() {
    const FolderEntry& entry = *m_entry;
    nameJournal();
    const std::string journal = m_tempName;
    FileStream out = FileStream::adopt(openReplacedForWriting(O_WRONLY).release(), m_path);
    FileStream content = FileStream::adopt(reopen(m_stream.fd(), O_RDWR).release(), journal);
    const int64_t newSize = m_stream.size();
    if (out.fd() < 0 || content.fd() < 0 || !record(content.fd(), newSize, out.fd()) || ::fsync(content.fd()) != 0)
        throw StreamWriteError(m_path, errno);
    SyncFolderOf(m_path);
    // Space for the whole new content is asked for first, and the part past
    // the old end written before the old content is touched: a full disk or
    // a size limit then fails with the file as it was.
    const int64_t oldSize = out.size();
    if (::fallocate(out.fd(), FALLOC_FL_KEEP_SIZE, 0, newSize) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        throw StreamWriteError(m_path, errno);
    if (newSize > oldSize && !copyRecorded(content, oldSize, newSize, out)) {
        const int error = errno;
        (void)!::ftruncate(out.fd(), oldSize);
        throw StreamWriteError(m_path, error);
    }
    // From here the old content changes: on a failure the journal stays, and
    // the next write to this name finishes the copy from it.
    m_committed = true;
    if (!finishCopy(content, newSize, out))
        throw StreamWriteError(m_path, errno);
    ::unlinkat(entry.folder(), journal.c_str(), 0);
    SyncFolderOf(m_path);
    m_stream.close();
    m_target.reset();
}

void AtomicFile::Change(int64_t offset, std::span<const uint8_t> old, std::span<const uint8_t> now) {
    if (!m_changes) {
        // Named as it will be once complete, beside the file it changes.
        const std::string journal = m_path.substr(0, m_path.size() - m_entry->name().size()) + journalName(*m_entry);
        m_changes = std::make_unique<ChangeJournal>(m_stream.fd(), int64_t(m_targetStat.st_size), journal);
    }
    m_changes->add(offset, old, now);
}

void AtomicFile::CommitChanges() {
    if (!m_target.valid() || !S_ISREG(m_targetStat.st_mode))
        throw StreamWriteError(m_path, "It is not a plain file");
    if (!m_changes || m_changes->empty())
        return;
    m_changes->finish(m_targetStat);
    nameJournal();
    UniqueFd out = openReplacedForWriting(O_RDWR);
    UniqueFd journal = reopen(m_stream.fd(), O_RDONLY);
    const int64_t size = m_stream.size();
    if (!out.valid() || !journal.valid())
        throw StreamWriteError(m_path, errno);
    SyncFolderOf(m_path);
    // A file that grows gets its room before any byte changes, so that a
    // full disk fails with the file as it was.
    const int64_t newSize = m_changes->newSize();
    if (newSize > m_targetStat.st_size && ::fallocate(out.get(), FALLOC_FL_KEEP_SIZE, 0, newSize) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        throw StreamWriteError(m_path, errno);
    // From here the file changes: on a failure the journal stays, and the
    // next write to this name finishes the change from it.
    m_committed = true;
    if (!ApplyChanges(journal.get(), size, out.get(), g_copyObserver))
        throw StreamWriteError(m_path, errno);
    ::unlinkat(m_entry->folder(), m_tempName.c_str(), 0);
    m_stream.close();
    m_target.reset();
}

} // namespace tindrel
