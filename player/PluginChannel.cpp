// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/PluginChannel.h"

#include "binding/BassBinding.h"
#include "platform/MessageWindow.h"
#include "plugins/PluginHost.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

namespace tindrel {

namespace {

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

PluginChannel::PluginChannel(In_Module& module, std::string fileName, uint64_t duration, const TPlayerMode& mode,
                             int32_t& volume, BassLibrary& bass, MessageWindow* playerWindow, MessageWindow* hostWindow,
                             std::function<void(const std::string&)> showError)
    : m_module(module), m_fileName(std::move(fileName)), m_duration(duration), m_mode(mode), m_volume(volume),
      m_bass(bass), m_playerWindow(playerWindow), m_hostWindow(hostWindow), m_showError(std::move(showError)) {}

bool PluginChannel::Start() {
    std::string name = m_fileName;
    if (m_module.Play(name.data()) != 0) {
        m_showError("Can't play the file");
        return false;
    }
    m_handle = 1;
    // Before the decoder's first block: a seek set while the plug-in was
    // idle, which its Play has just forgotten.
    const uint64_t cursor = std::exchange(m_startAt, 0);
    const uint64_t startAt = m_module.is_seekable ? cursor : 0;
    if (startAt > 0)
        m_module.SetOutputTime(static_cast<int>(startAt));
    SetVolume(ClampVolume(m_volume));
    m_busy = true;
    m_starting = true;
    m_started = false;
    m_endedEarly = false;
    const bool started = waitForSound(startAt);
    m_starting = false;
    m_busy = false;
    if (!started) {
        // Given up: a plug-in left running would sound later while the
        // player shows it has not started.
        Stop();
        m_showError("Can't play the file");
        return false;
    }
    // The end is handled once the player counts as playing.
    if (m_endedEarly)
        m_playerWindow->post(WM_PLUGIN_EOF, m_handle, 0);
    return true;
}

// Sound counts as started once the plug-in's clock is 200 ms past where it
// started. A file shorter than that ends first: its end counts as a start.
bool PluginChannel::waitForSound(uint64_t startAt) {
    for (int i = 0; i < 60; ++i) {
        if (PluginOutputTime(false) > static_cast<int64_t>(startAt) + 200 || m_endedEarly)
            return true;
        PumpMessages();
        sleepMs(50);
    }
    return false;
}

void PluginChannel::Pause() {
    m_module.Pause();
}

void PluginChannel::Resume() {
    m_module.UnPause();
}

void PluginChannel::Stop() {
    if (m_handle != 0)
        m_module.Stop();
    m_handle = 0;
}

void PluginChannel::Close() {
    Stop();
    if (m_hostWindow)
        m_hostWindow->post(WM_PLUGIN_CLOSED);
}

uint64_t PluginChannel::Position(TPlayerMode mode) {
    return mode == TPlayerMode::Ready ? 0 : static_cast<uint32_t>(std::max(0, PluginOutputTime(m_started)));
}

bool PluginChannel::SetPosition(uint64_t ms) {
    if (m_mode == TPlayerMode::Ready || m_mode == TPlayerMode::Stopped) {
        m_startAt = ms; // the plug-in is not running: the next start takes it
        return false;
    }
    m_busy = m_mode == TPlayerMode::Playing && m_started;
    MarkSeekPending();
    m_module.SetOutputTime(static_cast<int>(ms));
    // A fresh start notice from the emulator ends the wait.
    bool resumed = false;
    for (int i = 0; i < 51 && m_mode == TPlayerMode::Playing && !resumed; ++i) {
        resumed = !m_busy;
        if (!resumed) {
            PumpMessages();
            sleepMs(40);
        }
    }
    m_busy = false;
    return resumed;
}

void PluginChannel::SetVolume(int32_t value) {
    m_module.SetVolume(static_cast<int>(std::nearbyint(value * 255.0 / 100.0)));
    m_volume = value;
}

void PluginChannel::SoundStarting() {
    m_busy = false;
    m_started = true;
}

bool PluginChannel::EndReached(uint32_t stream) {
    if (stream == 0 || stream != m_handle)
        return false;
    if (m_starting) {
        m_endedEarly = true;
        return false;
    }
    m_busy = false;
    // Let what is buffered play out.
    while (m_started && m_handle == stream && m_bass.BASS_ChannelIsActive(m_handle) == BASS_ACTIVE_PLAYING) {
        PumpMessages();
        sleepMs(50);
    }
    // Another file may have been opened while this one played out.
    return m_handle == stream;
}

} // namespace tindrel
