// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <string>

namespace tindrel::test {

// Holds an exclusive advisory lock on a file, as another program reading it
// exclusively would.
class ExclusiveLock {
public:
    explicit ExclusiveLock(const std::string& path);
    ~ExclusiveLock();
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    int m_fd;
};

} // namespace tindrel::test
