// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <vector>

namespace tindrel::test {

// A four-channel ProTracker module: one looped square-wave sample, played
// on row 0 and cut short by a pattern break on row 3, so it lasts 4 rows of
// 120 ms at the default speed.
std::vector<uint8_t> TinyModule();

} // namespace tindrel::test
