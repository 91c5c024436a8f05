// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "platform/UniqueFd.h"

#include <string>
#include <sys/stat.h>

namespace tindrel {

// Holds a file under an exclusive lock for the whole of an edit: reading
// what is there, changing it and writing it back. Two editors of one file
// would otherwise both read the old tag and the second save would undo the
// first one's change while both report success. A second editor waits
// here until the first is done, and then reads what the first one wrote.
//
// The writers of this process that replace or rewrite the file take the
// lock this holds as their own instead of finding the file in use.
class EditLock {
public:
    // Waits for the lock on the file path names (not following a link at
    // the name), and takes it again on the new file when the name was given
    // to another file while it waited. Throws "Cannot open file "<path>".
    // <reason>" when there is no regular file of that name.
    static EditLock Acquire(const std::string& path);

    EditLock(EditLock&& other) noexcept;
    EditLock& operator=(EditLock&&) = delete;
    ~EditLock();

    // True while this process holds an EditLock on the file st describes.
    static bool HeldOn(const struct stat& st);

private:
    EditLock(UniqueFd fd, const struct stat& st) : m_fd(std::move(fd)), m_stat(st) {}
    UniqueFd m_fd;
    struct stat m_stat {};
};

} // namespace tindrel
