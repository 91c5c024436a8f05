// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <functional>

namespace tindrel::test {

// Lets the event loop run until done() holds; false when ms pass first.
bool WaitFor(const std::function<bool()>& done, int ms);

} // namespace tindrel::test
