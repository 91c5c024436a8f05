// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/plugins/PluginFixture.h"

#include "platform/MessageWindow.h"

#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tindrel::test {

namespace fs = std::filesystem;

std::string TestPluginFile(const std::string& name) {
    return std::string(TINDREL_TEST_PLUGIN_DIR) + "/" + name + ".so";
}

ProgramFolder::ProgramFolder() {
    for (const char* engine : {"libbass.so", "libbasswma.so"})
        fs::create_symlink(fs::path(TINDREL_PROGRAM_DIR) / engine, fs::path(path()) / engine);
    fs::create_directory(fs::path(path()) / "Plugins");
}

std::string ProgramFolder::addPlugin(const std::string& name, const std::string& as) const {
    fs::copy_file(TestPluginFile(name), fs::path(path()) / "Plugins" / as, fs::copy_options::overwrite_existing);
    return as;
}

std::string ProgramFolder::writeTone(const std::string& name, int rate, int channels, int bits, int ms, int hz) const {
    const std::string file = m_dir.file(name);
    std::ofstream(file) << "TONE " << rate << ' ' << channels << ' ' << bits << ' ' << ms << ' ' << hz << '\n';
    return file;
}

SilentEngine::SilentEngine() {
    if (!bass.Load(TINDREL_PROGRAM_DIR, "libbass.so") || !bass.BASS_Init(0, 44100, 0, nullptr) || !bass.BASS_Start())
        throw std::runtime_error("the audio engine does not start on device 0");
}

SilentEngine::~SilentEngine() {
    bass.Unload();
}

} // namespace tindrel::test
