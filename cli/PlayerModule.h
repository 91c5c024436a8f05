// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "cli/InfoReport.h"
#include "core/Split.h"

#include <memory>
#include <optional>
#include <string>

namespace tindrel {

// The tool's preview player: what the commands ask of it.
class IConsolePlayer {
public:
    virtual ~IConsolePlayer() = default;
    // The length and bit rate of a source as the split page reads them.
    virtual std::optional<SourceFacts> describe(const std::string& path) = 0;
    // The player's stream information.
    virtual std::optional<PlayerFacts> facts(const std::string& path) = 0;
};

// The player, the event loop it needs and the engine live in a module of
// their own beside the tool, loaded the first time a command asks the
// player. The cuts, joins and tag edits that never ask it start without
// loading any of them, which is most of the time such a command takes.
inline constexpr const char* kPlayerModuleFile = "tindrel-cli-player.so";
inline constexpr const char* kPlayerModuleEntry = "tindrel_create_console_player";
// The module's one entry point: a new player that finds the engine in
// programFolder, or null when it cannot be made.
using CreateConsolePlayer = IConsolePlayer* (*)(const char* programFolder);

// Loads the module from programFolder on first use. When it cannot be
// loaded, says why once on err and answers nothing, as a player that
// cannot open the engine does.
class LazyConsolePlayer final : public IConsolePlayer {
public:
    LazyConsolePlayer(std::string programFolder, std::ostream& err)
        : m_programFolder(std::move(programFolder)), m_err(err) {}
    ~LazyConsolePlayer() override;
    std::optional<SourceFacts> describe(const std::string& path) override;
    // The same for a source a cut holds open: an MP3 is described from that
    // open file.
    std::optional<SourceFacts> describe(const FileStream& source);
    std::optional<PlayerFacts> facts(const std::string& path) override;

private:
    IConsolePlayer* player();

    std::string m_programFolder;
    std::ostream& m_err;
    bool m_tried = false;
    std::unique_ptr<IConsolePlayer> m_player;
};

// The folder of the running program, its links resolved.
std::string RunningProgramFolder();

} // namespace tindrel
