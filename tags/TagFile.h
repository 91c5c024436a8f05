// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/UniqueFd.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

// Small helpers shared by the two tag classes; not part of their interface.
namespace tindrel::tagfile {

using ::tindrel::UniqueFd;

// A file opened to change its bytes in place. The name is opened without
// following a link at it (the caller follows the links it may follow first)
// and only a regular file is taken; in a shared sticky folder another
// user's file is refused, and in a folder others may write a file with more
// than one name is refused too, as one of its names may be a planted hard
// link to a file elsewhere. The owner's write permission is given back, the
// platform's "reset the attributes to none", and the old permission bits
// are put back when the change fails, so a failed save leaves the file as
// it was. The file is held under an exclusive lock (or this process's edit
// lock) while it is open.
class FileForChange {
public:
    FileForChange() = default;
    ~FileForChange();
    FileForChange(const FileForChange&) = delete;
    FileForChange& operator=(const FileForChange&) = delete;

    // False, with errno set, when the file cannot be changed.
    bool open(const std::string& path);
    int fd() const { return m_fd.get(); }
    // The change succeeded: keep the new permission bits. False when the
    // close reported a delayed write error.
    bool commit();

private:
    UniqueFd m_fd;
    mode_t m_oldMode = 0;
    mode_t m_newMode = 0;
    bool m_done = false;
};

// Reads exactly count bytes at offset; false on an error or a short read.
bool ReadAt(int fd, void* buffer, std::size_t count, off_t offset);
// Writes all bytes at offset; false on an error.
bool WriteAt(int fd, const void* buffer, std::size_t count, off_t offset);

// The text without trailing bytes of value 0 to 32.
std::string TrimRight(std::string_view text);
// The text without leading and trailing bytes of value 0 to 32.
std::string Trim(std::string_view text);

} // namespace tindrel::tagfile
