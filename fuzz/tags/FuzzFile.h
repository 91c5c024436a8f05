// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace tindrel::fuzz {

// The name of an in-memory file holding data, for readers that take a file
// name; the one file is reused for every input.
inline std::string FileHolding(const uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("tindrel-fuzz", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0)
        std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = ::pwrite(fd, data + done, size - done, off_t(done));
        if (put <= 0)
            std::abort();
        done += std::size_t(put);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace tindrel::fuzz
