// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tindrel {

// A user who takes the write permission off a file (chmod a-w) means to keep
// it as it is. The tag writers take the mark off on purpose, and a split
// would replace such a file: either way the user is told, or asked first.
inline constexpr const char* kReadOnlyMarkRemoved = "The file's read-only mark was removed.";

// True when the file exists and its owner may not write it, whoever runs the
// program (the owner's bit is the mark, not what this process may do).
bool HasReadOnlyMark(const std::string& path);
// The first of the paths that has the mark, if any.
std::optional<std::string> FirstWithReadOnlyMark(const std::vector<std::string>& paths);
// Gives the owner the write permission back; false when that failed.
bool RemoveReadOnlyMark(const std::string& path);
// The question asked before a file with the mark is replaced.
std::string ReplaceReadOnlyQuestion(const std::string& path);

} // namespace tindrel
