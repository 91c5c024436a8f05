// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/binding/EngineSession.h"

#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace tindrel::test {

std::string ProgramFolder() {
    return TINDREL_PROGRAM_FOLDER;
}

// From the build rather than the environment: CTest does not pass every
// variable of the shared test set-up through.
std::string EngineSample(const std::string& name) {
    return std::string(TINDREL_ENGINE_DATA) + "/" + name;
}

EngineSession::EngineSession(Device device) {
    if (!bass.Load(ProgramFolder(), "libbass.so") || !wma.Load(ProgramFolder(), "libbasswma.so"))
        throw std::runtime_error("the engine libraries are not in " + ProgramFolder());
    int number = BASS_DEVICE_NOSOUND;
    if (device == Device::DiskCapture) {
        m_captureFile = dir.file("capture.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", m_captureFile.c_str(), 1);
        // 1 ms per 512-frame block: about ten times real time.
        setenv("SDL_DISKAUDIODELAY", "1", 1);
        number = BASS_DEVICE_DEFAULT;
    }
    if (!bass.BASS_Init(number, kRate, 0, nullptr) || !bass.BASS_Start())
        throw std::runtime_error("the engine did not start: " + std::to_string(bass.BASS_ErrorGetCode()));
}

EngineSession::~EngineSession() {
    wma.Unload();
    bass.Unload();
}

bool EngineSession::WaitUntilStopped(DWORD handle, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (bass.BASS_ChannelIsActive(handle) != BASS_ACTIVE_STOPPED) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

Capture EngineSession::FinishCapture() {
    bass.BASS_Free();
    return ReadCapture(m_captureFile, kRate);
}

} // namespace tindrel::test
