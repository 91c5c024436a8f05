// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/FileWindow.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <unistd.h>

namespace tindrel {

std::size_t ReadWindow(const FileStream& file, int64_t position, std::span<uint8_t> buffer) {
    std::size_t skipped = 0;
    if (position < 0) {
        // A window that starts before the file: its first bytes are 0.
        skipped = static_cast<std::size_t>(std::min<int64_t>(int64_t(buffer.size()), -position));
        std::fill_n(buffer.begin(), skipped, uint8_t{0});
        if (skipped == buffer.size())
            return 0;
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
    // Only what the file did not reach is cleared: the blocks read here are
    // large, and clearing them all first cost as much as the read itself.
    std::fill(buffer.begin() + long(skipped + done), buffer.end(), uint8_t{0});
    return skipped + done;
}

} // namespace tindrel
