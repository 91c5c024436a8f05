// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/PlayerSource.h"

#include "player/AudioPlayer.h"

namespace tindrel {

std::optional<SourceFacts> DescribeWithPlayer(TAudioPlayer& player, const std::string& path) {
    if (!player.PlayerReady())
        return std::nullopt;
    const bool opened = player.Open(path);
    const SourceFacts facts{static_cast<int64_t>(player.GetPlayLength()), player.StreamInfo().BitRate};
    player.Close();
    if (!opened)
        return std::nullopt;
    return facts;
}

} // namespace tindrel
