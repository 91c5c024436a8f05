// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/support/FileLock.h"

#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace tindrel::test {

ExclusiveLock::ExclusiveLock(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0)
        throw std::runtime_error("cannot lock " + path);
}

ExclusiveLock::~ExclusiveLock() {
    ::close(m_fd);
}

} // namespace tindrel::test
