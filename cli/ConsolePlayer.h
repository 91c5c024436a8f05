// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "cli/PlayerModule.h"

#include <memory>
#include <optional>
#include <string>

namespace tindrel {

class IDialogs;
class TAudioPlayer;

// The preview player on the engine's "no sound" device, made on first use
// so that commands which need no player never load the engine.
class ConsolePlayer final : public IConsolePlayer {
public:
    ConsolePlayer(IDialogs& dialogs, std::string programFolder);
    ~ConsolePlayer() override;
    ConsolePlayer(const ConsolePlayer&) = delete;
    ConsolePlayer& operator=(const ConsolePlayer&) = delete;

    // The length and bit rate of a source, read as the split page reads
    // them: open in the player, ask, close. Nothing when the player is not
    // ready or cannot open the file.
    std::optional<SourceFacts> describe(const std::string& path) override;
    // The player's stream information, without creating a channel.
    std::optional<PlayerFacts> facts(const std::string& path) override;

private:
    TAudioPlayer& player();

    IDialogs& m_dialogs;
    std::string m_programFolder;
    std::unique_ptr<TAudioPlayer> m_player;
};

} // namespace tindrel
