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

// Gives the owner write permission back, the platform's "reset the attributes
// to none", and puts the old permission bits back when the operation that
// needed it fails, so a failed save leaves the file as it was.
class OwnerWritable {
public:
    OwnerWritable() = default;
    ~OwnerWritable();
    OwnerWritable(const OwnerWritable&) = delete;
    OwnerWritable& operator=(const OwnerWritable&) = delete;

    // False when path is not an existing regular file or its mode cannot be
    // changed.
    bool acquire(const std::string& path);
    // The permission bits after the reset.
    mode_t mode() const { return m_newMode; }
    // The operation succeeded: keep the new permission bits.
    void commit() { m_path.clear(); }

private:
    std::string m_path;
    mode_t m_oldMode = 0;
    mode_t m_newMode = 0;
};

// Takes an exclusive advisory lock on an open file without waiting, the
// platform's exclusive open; false while another holder has it locked.
bool LockExclusive(int fd);
// Opens path with the given flags under LockExclusive. Invalid when the file
// cannot be opened or another holder has it locked.
UniqueFd OpenExclusive(const std::string& path, int flags);

// Reads exactly count bytes at offset; false on an error or a short read.
bool ReadAt(int fd, void* buffer, std::size_t count, off_t offset);
// Writes all bytes at offset; false on an error.
bool WriteAt(int fd, const void* buffer, std::size_t count, off_t offset);

// The text without trailing bytes of value 0 to 32.
std::string TrimRight(std::string_view text);
// The text without leading and trailing bytes of value 0 to 32.
std::string Trim(std::string_view text);

} // namespace tindrel::tagfile
