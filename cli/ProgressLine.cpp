// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/ProgressLine.h"

#include <unistd.h>

namespace tindrel {

void ProgressLine::show(const std::string& text) {
    if (!m_enabled)
        return;
    // Blanks cover what is left of a longer line shown before.
    const std::size_t padding = m_shownWidth > text.size() ? m_shownWidth - text.size() : 0;
    m_stream << '\r' << text << std::string(padding, ' ') << std::flush;
    m_shownWidth = text.size();
}

void ProgressLine::clear() {
    if (!m_enabled || m_shownWidth == 0)
        return;
    m_stream << '\r' << std::string(m_shownWidth, ' ') << '\r' << std::flush;
    m_shownWidth = 0;
}

bool ProgressLine::StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace tindrel
