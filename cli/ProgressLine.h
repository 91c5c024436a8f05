// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace tindrel {

// One line of progress, rewritten in place. It is meant for a person
// watching a terminal; a disabled line writes nothing, so logs and pipes
// stay clean.
class ProgressLine {
public:
    ProgressLine(std::ostream& stream, bool enabled) : m_stream(stream), m_enabled(enabled) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return m_enabled; }
    void show(const std::string& text);
    // Removes the line, so that a message after it starts on a clean line.
    void clear();

    // True when the standard error stream is a terminal.
    static bool StderrIsTerminal();

private:
    std::ostream& m_stream;
    bool m_enabled;
    std::size_t m_shownWidth = 0;
};

} // namespace tindrel
