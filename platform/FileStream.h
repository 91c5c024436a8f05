// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace tindrel {

// A read that found the file shorter than expected, or failed.
class StreamReadError : public std::runtime_error {
public:
    StreamReadError() : std::runtime_error("Stream read error") {}
};

// A write that did not go through (a full disk, a file-size limit, a disk
// that failed the flush). The message names the file and the system's
// reason, so that a user told of a failed join knows which disk is full.
class StreamWriteError : public std::runtime_error {
public:
    StreamWriteError() : std::runtime_error("Stream write error") {}
    // "Stream write error in file "<path>". <reason>"
    StreamWriteError(const std::string& path, const std::string& reason)
        : std::runtime_error("Stream write error in file \"" + path + "\". " + reason) {}
    // The reason is the system's text for the error number.
    StreamWriteError(const std::string& path, int error);
};

// A file opened for reading or writing, closed when it goes out of scope.
// The operations whose failures the pages leave to the central error handler
// throw std::runtime_error with the exact text the user is shown.
class FileStream {
public:
    FileStream() = default;
    ~FileStream();
    FileStream(FileStream&& other) noexcept;
    FileStream& operator=(FileStream&& other) noexcept;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Throws "Cannot open file "<path>". <reason>".
    static FileStream openRead(const std::string& path);
    // Creates the file new and empty, replacing an existing one.
    // Throws "Cannot create file "<path>". <reason>".
    static FileStream create(const std::string& path);

    // Takes ownership of an open file descriptor.
    static FileStream adopt(int fd, std::string path) { return FileStream(fd, std::move(path)); }

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }

    int64_t size() const;
    int64_t position() const;
    void seek(int64_t offset);
    // Reads exactly count bytes or throws "Stream read error".
    void readExact(void* buffer, std::size_t count);
    // Writes all bytes or throws StreamWriteError naming this file.
    void writeAll(const void* buffer, std::size_t count);
    // Copies count bytes from source's current position to this file's
    // current position, in blocks of at most blockSize bytes; the kernel's
    // in-place copy is used where the file systems allow it. When the source
    // holds fewer than count bytes, the whole blocks that fit are copied and
    // "Stream read error" is thrown.
    void copyFrom(FileStream& source, int64_t count, std::size_t blockSize);
    // From now on, every few megabytes written are handed to the disk at
    // once, without waiting for them: a file that is flushed before it is
    // called written (fsync) then has little left to wait for at that
    // flush, the disk having written it while the rest was worked out.
    void startWritingBehind() { m_writeBehind = true; }
    void close();

private:
    void wrote(int64_t count);
    void transfer(FileStream& source, int64_t count, std::size_t blockSize);
    void copyRun(FileStream& source, int64_t count, std::size_t blockSize);
    FileStream(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd = -1;
    std::string m_path;
    bool m_writeBehind = false;
    int64_t m_unhanded = 0; // bytes written since the disk was last given them
};

} // namespace tindrel
