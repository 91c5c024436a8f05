// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/FileWindow.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <unistd.h>

namespace tindrel {

std::size_t ReadWindow(const FileStream& file, int64_t position, std::span<uint8_t> buffer) {
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    std::size_t skipped = 0;
    if (position < 0) {
        // A window that starts before the file: its first bytes stay 0.
        if (int64_t(buffer.size()) <= -position)
            return 0;
        skipped = static_cast<std::size_t>(-position);
        position = 0;
    }
    std::size_t done = 0;
    while (skipped + done < buffer.size()) {
        const ssize_t got = ::pread(file.fd(), buffer.data() + skipped + done, buffer.size() - skipped - done,
                                    position + int64_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw std::runtime_error("Stream read error");
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return skipped + done;
}

} // namespace tindrel
