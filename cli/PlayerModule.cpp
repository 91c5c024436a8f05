// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/ConsoleDialogs.h"
#include "cli/ConsolePlayer.h"
#include "cli/PlayerModule.h"

#include <QCoreApplication>

#include <iostream>
#include <memory>

namespace tindrel {

namespace {

// The player's hidden window and its waits need the event loop's object,
// made here, the first time the player is asked, and only then.
class ModulePlayer final : public IConsolePlayer {
public:
    explicit ModulePlayer(const char* programFolder) : m_player(m_dialogs, programFolder) {}
    std::optional<SourceFacts> describe(const std::string& path) override { return m_player.describe(path); }
    std::optional<PlayerFacts> facts(const std::string& path) override { return m_player.facts(path); }

private:
    static QCoreApplication* application() {
        static int argc = 1;
        static char name[] = "tindrel-cli";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv); // lives as long as the process
        return QCoreApplication::instance();
    }

    QCoreApplication* m_application = application();
    ConsoleDialogs m_dialogs{std::cerr};
    ConsolePlayer m_player;
};

} // namespace

} // namespace tindrel

extern "C" __attribute__((visibility("default"))) tindrel::IConsolePlayer*
tindrel_create_console_player(const char* programFolder) {
    try {
        return new tindrel::ModulePlayer(programFolder);
    } catch (const std::exception& error) {
        std::cerr << "tindrel-cli: The player cannot be made: " << error.what() << '\n';
        return nullptr;
    }
}
