// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace tindrel::fuzz {

// The fuzzer's input as a file that the readers open by name. It lives in
// memory (no disk writes per run) and is reopened through /proc.
class FuzzFile {
public:
    FuzzFile() : m_fd(::memfd_create("tindrel-fuzz", 0)) {
        if (m_fd < 0)
            throw std::runtime_error("memfd_create failed");
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~FuzzFile() { ::close(m_fd); }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    const std::string& write(const uint8_t* data, std::size_t size) {
        if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, data, size, 0) != ssize_t(size))
            throw std::runtime_error("cannot write the fuzz input");
        return m_path;
    }

private:
    int m_fd;
    std::string m_path;
};

} // namespace tindrel::fuzz
