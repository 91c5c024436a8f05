// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/ConsolePlayer.h"

#include "core/PlayerSource.h"
#include "player/AudioPlayer.h"

namespace tindrel {

namespace {

// The engine's device 0 plays nothing, so a machine without a sound card
// (a server, a build machine) can still measure files.
constexpr int kNoSoundDevice = 0;

} // namespace

ConsolePlayer::ConsolePlayer(IDialogs& dialogs, std::string programFolder)
    : m_dialogs(dialogs), m_programFolder(std::move(programFolder)) {}

ConsolePlayer::~ConsolePlayer() = default;

TAudioPlayer& ConsolePlayer::player() {
    if (!m_player)
        m_player = std::make_unique<TAudioPlayer>(nullptr, m_dialogs, m_programFolder, kNoSoundDevice);
    return *m_player;
}

std::optional<SourceFacts> ConsolePlayer::describe(const std::string& path) {
    return DescribeWithPlayer(player(), path);
}

std::optional<PlayerFacts> ConsolePlayer::facts(const std::string& path) {
    TStreamInfo info;
    int32_t pluginIndex = -1;
    TSupportedBy supportedBy = TSupportedBy::Unsupported;
    if (!player().GetStreamInfo(path, info, pluginIndex, supportedBy))
        return std::nullopt;
    return PlayerFacts{static_cast<int64_t>(info.FileSize), info.SampleRate, info.BitRate,
                       static_cast<int64_t>(info.Duration), info.Channels};
}

} // namespace tindrel
