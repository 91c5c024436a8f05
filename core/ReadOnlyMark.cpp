// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/ReadOnlyMark.h"

#include <sys/stat.h>

namespace tindrel {

bool HasReadOnlyMark(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

std::optional<std::string> FirstWithReadOnlyMark(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        if (HasReadOnlyMark(path))
            return path;
    return std::nullopt;
}

bool RemoveReadOnlyMark(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

std::string ReplaceReadOnlyQuestion(const std::string& path) {
    return "\"" + path + "\" is marked read-only. Replace it all the same (its read-only mark is removed)?";
}

} // namespace tindrel
