// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/support/Command.h"

#include <cstdio>
#include <memory>

namespace tindrel::test {

std::string CommandOutput(const std::string& command) {
    // The taggers print texts in the character set of the locale; without
    // one (a bare CI shell) they turn every letter past ASCII into "?".
    const std::string inUtf8 = "LC_ALL=C.UTF-8; export LC_ALL; " + command + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(inUtf8.c_str(), "r"), ::pclose);
    std::string output;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        output += buffer;
    return output;
}

} // namespace tindrel::test
