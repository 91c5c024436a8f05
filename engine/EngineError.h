// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <stdexcept>

namespace tindrel::engine {

// Thrown inside the engine and turned into the error code at the C boundary.
class EngineError : public std::runtime_error {
public:
    explicit EngineError(int code) : std::runtime_error("audio engine error"), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

} // namespace tindrel::engine
