// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <string>

namespace tindrel {

// True when path names an existing plain file (through any links).
bool FileExists(const std::string& path);
// Why path is no plain file to read, in words for a message ("No such
// file", "Is a directory", ...); empty when it is one.
std::string NotAFileReason(const std::string& path);
// True when path names an existing folder.
bool DirectoryExists(const std::string& path);
// True when two non-empty paths are spelt alike, or name the same existing
// file (same device and inode) however differently they are spelt.
bool SameFile(const std::string& a, const std::string& b);
// The part of path after its last separator.
std::string ExtractFileName(const std::string& path);
// The folder part of path, without a final separator: "." for a bare name,
// the root for a file in the root.
std::string ExtractFileDir(const std::string& path);
// Flushes the folder of path to disk, so that a name just given to a file
// there survives a power cut as well as the file's data.
void SyncFolderOf(const std::string& path);
// The extension of the file name in path, dot included, in upper case;
// empty when the name has none.
std::string UpperFileExt(const std::string& path);
// The folder of path, always ending in exactly one separator.
std::string IncludeTrailingSeparator(const std::string& folder);

// Takes an advisory lock on an open file without waiting, exclusive or
// shared; false while another holder's lock stands in the way, an flock
// lock or a record lock of fcntl or lockf alike (or the file system cannot
// lock).
bool TryLock(int fd, bool exclusive);

// A file-size limit (ulimit -f) kills a process that writes past it unless
// the signal is ignored; ignored, the write fails with EFBIG and the writer
// reports "Stream write error" and cleans up like on a full disk. Called once
// at the start of each program.
void IgnoreFileSizeLimitSignal();

inline constexpr char kPathSeparator = '/';

} // namespace tindrel
