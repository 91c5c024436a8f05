// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tindrel {

// What tells one state of a file on disk from a later one without reading
// it: another program that rewrites or retags the file changes at least one
// of these. The change time is kept because a tagger may put the
// modification time back; only the kernel sets the change time.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path (links followed); nothing when there is none.
std::optional<FileStamp> StampOf(const std::string& path);

} // namespace tindrel
