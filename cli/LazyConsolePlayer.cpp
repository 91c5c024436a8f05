// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/PlayerModule.h"

#include "core/EngineSource.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"

#include <dlfcn.h>
#include <ostream>
#include <unistd.h>

namespace tindrel {

LazyConsolePlayer::~LazyConsolePlayer() = default; // the module stays loaded: Qt does not unload

IConsolePlayer* LazyConsolePlayer::player() {
    if (m_tried)
        return m_player.get();
    m_tried = true;
    const std::string path = m_programFolder + kPathSeparator + kPlayerModuleFile;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto create = module ? reinterpret_cast<CreateConsolePlayer>(::dlsym(module, kPlayerModuleEntry)) : nullptr;
    if (!create) {
        const char* reason = ::dlerror();
        m_err << "tindrel-cli: The player cannot be loaded: " << (reason ? reason : path.c_str()) << '\n';
        return nullptr;
    }
    m_player.reset(create(m_programFolder.c_str()));
    return m_player.get();
}

std::optional<SourceFacts> LazyConsolePlayer::describe(const std::string& path) {
    // An MP3's figures come the player's own way without loading it, which
    // is most of what a byte-mode cut would otherwise take.
    if (UpperFileExt(path) == ".MP3")
        return DescribeMp3(path);
    IConsolePlayer* p = player();
    return p ? p->describe(path) : std::nullopt;
}

std::optional<SourceFacts> LazyConsolePlayer::describe(const FileStream& source) {
    if (UpperFileExt(source.path()) == ".MP3")
        return DescribeMp3(source);
    IConsolePlayer* p = player();
    return p ? p->describe(source.path()) : std::nullopt;
}

std::optional<PlayerFacts> LazyConsolePlayer::facts(const std::string& path) {
    IConsolePlayer* p = player();
    return p ? p->facts(path) : std::nullopt;
}

std::string RunningProgramFolder() {
    std::string exe(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n <= 0 || std::size_t(n) >= exe.size())
        return ".";
    exe.resize(std::size_t(n));
    return ExtractFileDir(exe);
}

} // namespace tindrel
