// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Split.h"

namespace tindrel {

class TAudioPlayer;

// A cut's view of its source through the preview player: open the file,
// take its length and bit rate, close it again (so the player has no file
// open afterwards). Nothing when the player is not ready or cannot open the
// file: a file the player cannot open must not be cut by the length of the
// file it had open before.
std::optional<SourceFacts> DescribeWithPlayer(TAudioPlayer& player, const std::string& path);

} // namespace tindrel
