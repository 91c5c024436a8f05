// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/ChangeJournal.h"

#include "platform/FileStream.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace tindrel {
namespace {

constexpr std::size_t kBlock = std::size_t(1) << 20;
// The file is changed through blocks of this size read, changed and
// written back whole: a few hundred thousand runs of a few bytes each then
// cost a few thousand calls instead of one each. Larger blocks save calls
// but leave the processor's cache between the read and the write (1 MiB
// made the change 15 % slower).
constexpr int64_t kWindow = int64_t(1) << 18;
constexpr int64_t kFlushEvery = int64_t(8) << 20;
// No run of a sound journal is longer; a damaged length is not allocated.
constexpr uint32_t kLongestRun = uint32_t(1) << 30;

struct RunHeader {
    int64_t offset = 0;
    uint32_t oldLength = 0;
    uint32_t newLength = 0;
};

// As long as the trailer of a whole-content journal, so that either is
// read from the same place; the marks tell them apart.
struct ChangeTrailer {
    std::array<char, 8> mark{'T', 'i', 'n', 'd', 'r', 'e', 'l', 'C'};
    uint64_t inode = 0;
    int64_t oldSize = 0;
    int64_t newSize = 0;
    int64_t runsBytes = 0;
    int64_t runs = 0;
};
static_assert(sizeof(ChangeTrailer) == 48);

bool readExact(int fd, void* to, std::size_t count, int64_t at) {
    auto* bytes = static_cast<uint8_t*>(to);
    while (count > 0) {
        const ssize_t got = ::pread(fd, bytes, count, at);
        if (got <= 0)
            return false;
        bytes += got;
        count -= std::size_t(got);
        at += got;
    }
    return true;
}

bool writeExact(int fd, const void* from, std::size_t count, int64_t at) {
    const auto* bytes = static_cast<const uint8_t*>(from);
    while (count > 0) {
        const ssize_t put = ::pwrite(fd, bytes, count, at);
        if (put <= 0)
            return false;
        bytes += put;
        count -= std::size_t(put);
        at += put;
    }
    return true;
}

bool readTrailer(int journal, int64_t size, ChangeTrailer& trailer) {
    const ChangeTrailer expected;
    return size >= int64_t(sizeof trailer) &&
           readExact(journal, &trailer, sizeof trailer, size - int64_t(sizeof trailer)) &&
           trailer.mark == expected.mark && trailer.runsBytes == size - int64_t(sizeof trailer);
}

// The disk takes each block while the next is prepared, so that the flush
// at the end has little left to wait for. Only a hint: where the system
// cannot, that flush does it all.
void startFlush(int fd, int64_t at, int64_t count) {
    (void)::sync_file_range(fd, at, count, SYNC_FILE_RANGE_WRITE);
}

struct Run {
    int64_t offset = 0;
    std::span<const uint8_t> old;
    std::span<const uint8_t> now;
    bool resizes() const { return old.size() != now.size(); }
};

// Reads the runs of a journal one after the other, a block at a time.
class RunReader {
public:
    RunReader(int fd, int64_t end) : m_fd(fd), m_end(end) {}

    // The next run, valid until the following call; false at the end and
    // on an error (failed() tells which).
    bool next(Run& run) {
        if (m_pos == m_held && m_read == m_end)
            return false;
        RunHeader header;
        if (!fill(sizeof header))
            return fail();
        std::memcpy(&header, m_buffer.data() + m_pos, sizeof header);
        if (header.oldLength > kLongestRun || header.newLength > kLongestRun || header.offset < 0 ||
            !fill(sizeof header + header.oldLength + header.newLength))
            return fail();
        const uint8_t* at = m_buffer.data() + m_pos + sizeof header;
        run.offset = header.offset;
        run.old = {at, header.oldLength};
        run.now = {at + header.oldLength, header.newLength};
        m_pos += sizeof header + header.oldLength + header.newLength;
        return true;
    }
    bool failed() const { return m_failed; }

private:
    bool fail() {
        m_failed = true;
        return false;
    }

    bool fill(std::size_t need) {
        if (m_held - m_pos >= need)
            return true;
        if (m_held > m_pos)
            std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_held - m_pos);
        m_held -= m_pos;
        m_pos = 0;
        // Grown only: the bytes are read over anyway.
        if (m_buffer.size() < std::max(need, kBlock))
            m_buffer.resize(std::max(need, kBlock));
        while (m_held < need) {
            const auto count = std::size_t(std::min<int64_t>(int64_t(m_buffer.size() - m_held), m_end - m_read));
            if (count == 0 || !readExact(m_fd, m_buffer.data() + m_held, count, m_read))
                return false;
            m_read += int64_t(count);
            m_held += count;
        }
        return true;
    }

    int m_fd;
    int64_t m_end;
    int64_t m_read = 0;
    std::vector<uint8_t> m_buffer;
    std::size_t m_held = 0; // bytes of m_buffer read
    std::size_t m_pos = 0;
    bool m_failed = false;
};

// A block of the target held in memory while the runs inside it are put
// into it, written back whole.
class Window {
public:
    Window(int fd, int64_t fileSize, void (*observer)(int64_t))
        : m_fd(fd), m_fileSize(fileSize), m_observer(observer) {}

    bool put(const Run& run) {
        const int64_t end = run.offset + int64_t(run.now.size());
        if (m_size == 0 || run.offset < m_begin || end > m_begin + int64_t(m_size)) {
            if (!flush() || end > m_fileSize)
                return false;
            m_begin = run.offset;
            m_size = std::size_t(std::max(end, std::min(m_fileSize, run.offset + kWindow)) - run.offset);
            // Grown only, never cleared: the bytes are read over anyway.
            if (m_bytes.size() < m_size)
                m_bytes.resize(m_size);
            if (!readExact(m_fd, m_bytes.data(), m_size, m_begin))
                return false;
        }
        std::copy(run.now.begin(), run.now.end(), m_bytes.begin() + (run.offset - m_begin));
        return true;
    }

    bool flush() {
        if (m_size == 0)
            return true;
        const int64_t end = m_begin + int64_t(m_size);
        if (!writeExact(m_fd, m_bytes.data(), m_size, m_begin))
            return false;
        if (end - m_flushed >= kFlushEvery) {
            startFlush(m_fd, m_flushed, end - m_flushed);
            m_flushed = end;
        }
        if (m_observer)
            m_observer(end);
        m_size = 0;
        return true;
    }

private:
    int m_fd;
    int64_t m_fileSize;
    void (*m_observer)(int64_t);
    int64_t m_begin = 0;
    int64_t m_flushed = 0;
    std::vector<uint8_t> m_bytes;
    std::size_t m_size = 0; // of m_bytes, the block held
};

// Each byte of the target's run is its old or its new byte: a write cut
// short by a kill stops at a page, which may fall inside a run.
bool heldOldOrNew(int target, const Run& run, std::vector<uint8_t>& seen) {
    seen.resize(run.old.size());
    if (!readExact(target, seen.data(), seen.size(), run.offset))
        return false;
    for (std::size_t i = 0; i < seen.size(); ++i)
        if (seen[i] != run.old[i] && seen[i] != run.now[i])
            return false;
    return true;
}

} // namespace

ChangeJournal::ChangeJournal(int fd, int64_t oldSize, std::string path)
    : m_fd(fd), m_path(std::move(path)), m_oldSize(oldSize), m_newSize(oldSize) {
    // Room for a block and the run that fills it, so that the runs of a
    // whole file are gathered without the buffer moving.
    m_buffer.reserve(2 * kBlock);
}

void ChangeJournal::add(int64_t offset, std::span<const uint8_t> old, std::span<const uint8_t> now) {
    const int64_t end = offset + int64_t(old.size());
    if (m_resized || offset < m_end || end > m_oldSize || old.size() > kLongestRun || now.size() > kLongestRun ||
        (old.size() != now.size() && end != m_oldSize))
        throw std::invalid_argument("a change out of order or past the end of the file");
    if (old.size() != now.size()) {
        m_resized = true;
        m_newSize = offset + int64_t(now.size());
    }
    const RunHeader header{offset, uint32_t(old.size()), uint32_t(now.size())};
    const auto* head = reinterpret_cast<const uint8_t*>(&header);
    m_buffer.insert(m_buffer.end(), head, head + sizeof header);
    m_buffer.insert(m_buffer.end(), old.begin(), old.end());
    m_buffer.insert(m_buffer.end(), now.begin(), now.end());
    m_end = end;
    ++m_runs;
    if (m_buffer.size() >= kBlock)
        flush();
}

// A full disk or a size limit hits the journal first, before the file
// itself is touched: the message names the journal, which is what could
// not be written.
void ChangeJournal::fail() const {
    // A write that puts nothing and reports no error only happens on a
    // device without room.
    throw StreamWriteError(m_path, errno != 0 ? errno : ENOSPC);
}

void ChangeJournal::flush() {
    errno = 0;
    if (!writeExact(m_fd, m_buffer.data(), m_buffer.size(), m_written))
        fail();
    startFlush(m_fd, m_written, int64_t(m_buffer.size()));
    m_written += int64_t(m_buffer.size());
    m_buffer.clear();
}

void ChangeJournal::finish(const struct stat& target) {
    flush();
    ChangeTrailer trailer;
    trailer.inode = target.st_ino;
    trailer.oldSize = m_oldSize;
    trailer.newSize = m_newSize;
    trailer.runsBytes = m_written;
    trailer.runs = m_runs;
    errno = 0;
    if (!writeExact(m_fd, &trailer, sizeof trailer, m_written) || ::fsync(m_fd) != 0)
        fail();
}

bool IsChangeJournal(int journal, int64_t size) {
    ChangeTrailer trailer;
    return readTrailer(journal, size, trailer);
}

bool LeftByTheChanges(int journal, int64_t size, int target) {
    ChangeTrailer trailer;
    struct stat st {};
    if (!readTrailer(journal, size, trailer) || ::fstat(target, &st) != 0 || st.st_ino != trailer.inode)
        return false;
    // The tail is written before the file is cut to its new length.
    if (st.st_size != trailer.newSize &&
        (st.st_size < trailer.oldSize || st.st_size > std::max(trailer.oldSize, trailer.newSize)))
        return false;
    RunReader runs(journal, trailer.runsBytes);
    Run run;
    std::vector<uint8_t> seen;
    while (runs.next(run))
        if (!run.resizes() && !heldOldOrNew(target, run, seen))
            return false;
    return !runs.failed();
}

bool ApplyChanges(int journal, int64_t size, int target, void (*observer)(int64_t)) {
    ChangeTrailer trailer;
    struct stat st {};
    if (!readTrailer(journal, size, trailer) || ::fstat(target, &st) != 0)
        return false;
    Window window(target, st.st_size, observer);
    RunReader runs(journal, trailer.runsBytes);
    Run run;
    while (runs.next(run)) {
        const bool written = run.resizes()
                                 ? window.flush() && writeExact(target, run.now.data(), run.now.size(), run.offset)
                                 : window.put(run);
        if (!written)
            return false;
    }
    if (runs.failed() || !window.flush() || ::fstat(target, &st) != 0)
        return false;
    if (st.st_size != trailer.newSize && ::ftruncate(target, trailer.newSize) != 0)
        return false;
    return ::fsync(target) == 0;
}

} // namespace tindrel
