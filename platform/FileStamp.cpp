// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FileStamp.h"

#include <sys/stat.h>

namespace tindrel {

namespace {

int64_t nanoseconds(const timespec& t) {
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

} // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                     static_cast<int64_t>(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

} // namespace tindrel
