// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdlib>
#include <string>

namespace tindrel::test {

// Tests run on machines with no display and no sound card: Qt draws
// offscreen and SDL plays to its silent driver, unless the caller chose
// otherwise in the environment.
inline void UseTestEnvironment() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
}

// What the window remembers between runs (its size, the Exact boxes, the
// folders) goes to `folder` instead of the user's own settings, so that no
// test reads what another left behind.
inline void UseSettingsFolder(const std::string& folder) {
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
}

} // namespace tindrel::test
