// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdlib>

namespace tindrel::test {

// Tests run on machines with no display and no sound card: Qt draws
// offscreen and SDL plays to its silent driver, unless the caller chose
// otherwise in the environment.
inline void UseTestEnvironment() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
}

} // namespace tindrel::test
