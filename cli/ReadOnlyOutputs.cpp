// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/ReadOnlyOutputs.h"

#include "core/ReadOnlyMark.h"

#include <stdexcept>

namespace tindrel {

ReadOnlyOutputs::ReadOnlyOutputs(const std::vector<std::string>& outputs, bool force) {
    for (const std::string& path : outputs)
        if (HasReadOnlyMark(path))
            m_marked.push_back(path);
    if (!m_marked.empty() && !force)
        throw std::runtime_error("\"" + m_marked.front() +
                                 "\" is marked read-only; add --force to replace it (its read-only mark is removed).");
    // Taken off first, as the window does: a writer that keeps the mode of
    // the file it replaces would otherwise hand the mark on.
    for (const std::string& path : m_marked)
        if (!RemoveReadOnlyMark(path))
            throw std::runtime_error("The read-only mark of \"" + path + "\" cannot be removed.");
}

void ReadOnlyOutputs::report(std::ostream& err) const {
    for (const std::string& path : m_marked)
        if (!HasReadOnlyMark(path))
            err << "tindrel-cli: \"" << path << "\": " << kReadOnlyMarkRemoved << '\n';
}

} // namespace tindrel
