// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tindrel {

namespace {

// Written bytes are handed to the disk in steps this large: large enough
// that the hint costs nothing next to the writes, small enough that the
// final flush waits for little more than the last step.
constexpr int64_t kWriteBehindStep = int64_t(4) << 20;

std::string systemReason(int error) {
    return std::strerror(error);
}

[[noreturn]] void throwReadError() {
    throw StreamReadError();
}
} // namespace

StreamWriteError::StreamWriteError(const std::string& path, int error)
    : StreamWriteError(path, systemReason(error != 0 ? error : EIO)) {}

FileStream::~FileStream() {
    close();
}

FileStream::FileStream(FileStream&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)), m_writeBehind(other.m_writeBehind),
      m_unhanded(other.m_unhanded) {}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_writeBehind = other.m_writeBehind;
        m_unhanded = other.m_unhanded;
    }
    return *this;
}

void FileStream::wrote(int64_t count) {
    m_unhanded += count;
    if (!m_writeBehind || m_unhanded < kWriteBehindStep)
        return;
    m_unhanded = 0;
    // Only a hint: the pages already on their way are passed over, and
    // where the system cannot, the final flush does it all.
    (void)::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

FileStream FileStream::openRead(const std::string& path) {
    // Not blocking: a named pipe given as a file must not hang the program
    // until something writes to it; its reads simply come up short.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("Cannot open file \"" + path + "\". " + systemReason(errno));
    return FileStream(fd, path);
}

FileStream FileStream::create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        throw std::runtime_error("Cannot create file \"" + path + "\". " + systemReason(errno));
    return FileStream(fd, path);
}

int64_t FileStream::size() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        throwReadError();
    return st.st_size;
}

void FileStream::seek(int64_t offset) {
    if (::lseek(m_fd, offset, SEEK_SET) < 0)
        throwReadError();
}

void FileStream::readExact(void* buffer, std::size_t count) {
    auto* out = static_cast<char*>(buffer);
    while (count > 0) {
        const ssize_t got = ::read(m_fd, out, count);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throwReadError();
        out += got;
        count -= static_cast<std::size_t>(got);
    }
}

void FileStream::writeAll(const void* buffer, std::size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t put = ::write(m_fd, in, count);
        if (put < 0 && errno == EINTR)
            continue;
        // A write that puts nothing and reports no error only happens on a
        // device without room.
        if (put <= 0)
            throw StreamWriteError(m_path, put < 0 ? errno : ENOSPC);
        in += put;
        count -= static_cast<std::size_t>(put);
        wrote(put);
    }
}

int64_t FileStream::position() const {
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0)
        throwReadError();
    return pos;
}

void FileStream::copyFrom(FileStream& source, int64_t count, std::size_t blockSize) {
    // A range that runs past the end of the source copies the whole blocks
    // that fit and then fails, so the output never ends in a partial block.
    struct stat st {};
    if (::fstat(source.m_fd, &st) != 0)
        throwReadError();
    const int64_t available = std::max<int64_t>(0, st.st_size - source.position());
    const bool sourceTooShort = count > available;
    if (sourceTooShort)
        count = available / int64_t(blockSize) * int64_t(blockSize);
    // A file with as many blocks as its size needs has no hole to step
    // over; looking for holes costs a walk of the rest of the file (of its
    // cached pages, on some file systems) at every copy, which a split into
    // thousands of pieces pays thousands of times.
    if (int64_t(st.st_blocks) * 512 >= st.st_size)
        copyRun(source, count, blockSize);
    else
        transfer(source, count, blockSize);
    if (sourceTooShort)
        throwReadError();
}

void FileStream::transfer(FileStream& source, int64_t count, std::size_t blockSize) {
    // The holes of a sparse source (a disk image, a preallocated recording)
    // stay holes where this file is being appended to: they are stepped
    // over instead of written as zeros, and a hole at the end is made by
    // the final size. Where this file already holds bytes, or the system
    // cannot tell holes, everything is copied.
    const off_t start = ::lseek(m_fd, 0, SEEK_CUR);
    if (start < 0 || ::lseek(source.m_fd, 0, SEEK_CUR) < 0) {
        copyRun(source, count, blockSize);
        return;
    }
    const int64_t end = start + count;
    while (count > 0) {
        const off_t at = ::lseek(source.m_fd, 0, SEEK_CUR);
        off_t data = ::lseek(source.m_fd, at, SEEK_DATA);
        if (data < 0)
            data = errno == ENXIO ? at + count : at;
        const int64_t hole = std::min<int64_t>(data - at, count);
        if (hole > 0 && position() >= size()) {
            source.seek(at + hole);
            seek(position() + hole);
            count -= hole;
            continue;
        }
        off_t holeAt = ::lseek(source.m_fd, at + std::max<int64_t>(hole, 0), SEEK_HOLE);
        source.seek(at);
        const int64_t run = holeAt < 0 ? count : std::min<int64_t>(holeAt - at, count);
        copyRun(source, std::max<int64_t>(run, 1), blockSize);
        count -= std::max<int64_t>(run, 1);
    }
    if (size() < end && ::ftruncate(m_fd, end) != 0)
        throw StreamWriteError(m_path, errno);
}

void FileStream::copyRun(FileStream& source, int64_t count, std::size_t blockSize) {
    // Try the kernel copy first: no user-space buffer, and on file systems
    // with reflinks no data is moved at all. Fall back to plain blocks when
    // the kernel refuses (other file system types, pipes, old kernels).
    while (count > 0) {
        const auto chunk = static_cast<std::size_t>(std::min<int64_t>(count, int64_t(blockSize)));
        const ssize_t put = ::copy_file_range(source.m_fd, nullptr, m_fd, nullptr, chunk, 0);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            break;
        if (put == 0)
            throwReadError(); // the source shrank while it was copied
        count -= put;
        wrote(put);
    }
    std::vector<char> block(count > 0 ? blockSize : 0);
    while (count > 0) {
        const auto chunk = static_cast<std::size_t>(std::min<int64_t>(count, int64_t(blockSize)));
        source.readExact(block.data(), chunk);
        writeAll(block.data(), chunk);
        count -= static_cast<int64_t>(chunk);
    }
}

void FileStream::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace tindrel
