// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <string>

namespace tindrel::test {

// What a shell command printed, standard output and errors together, run
// in a UTF-8 locale whatever the caller's.
std::string CommandOutput(const std::string& command);

} // namespace tindrel::test
