// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "player/PlayerChannel.h"

#include <functional>
#include <string>

namespace tindrel {

class BassLibrary;
class MessageWindow;
struct In_Module;

// A file a Winamp 2 input plug-in decodes and the output emulator plays.
// The plug-in answers a start or a seek through the emulator's messages,
// which the player passes on here; until then the channel is busy. Its
// volume is the plug-ins' volume, shared by every plug-in file.
//
// A plug-in forgets any seek in its Play, so a position set before the
// start is kept here and sent to the plug-in right after its Play: the
// decoder then flushes to it before its first sound is heard.
class PluginChannel : public PlayerChannel {
public:
    // mode is the player's, read while a seek waits; playerWindow gets the
    // end that comes during the start, hostWindow the notice of closing;
    // showError tells the user that the plug-in could not play the file.
    PluginChannel(In_Module& module, std::string fileName, uint64_t duration, const TPlayerMode& mode, int32_t& volume,
                  BassLibrary& bass, MessageWindow* playerWindow, MessageWindow* hostWindow,
                  std::function<void(const std::string&)> showError);

    TChannelType Type() const override { return TChannelType::Plugin; }
    uint32_t Handle() const override { return m_handle; }
    // A plug-in that refuses the file, or does not sound within the wait,
    // is reported and stopped: nothing may play on unseen.
    bool Start() override;
    // From the beginning, as an engine stream restarts.
    bool Restart() override {
        m_startAt = 0;
        return Start();
    }
    void Pause() override;
    void Resume() override;
    void Stop() override;
    void Free() override { Stop(); }
    void Close() override;
    bool SoundStarted() const override { return m_started; }
    bool Busy() const override { return m_busy; }
    uint64_t Length() override { return m_duration; }
    uint64_t Position(TPlayerMode mode) override;
    bool SetPosition(uint64_t ms) override;
    int32_t Volume() const override { return m_volume; }
    void SetVolume(int32_t value) override;

    // The emulator opened the engine stream it plays into.
    void StreamOpened(uint32_t stream) { m_handle = stream; }
    // The emulator reports the format: sound comes.
    void SoundStarting();
    // The plug-in reached the end of `stream`. Waits while what is buffered
    // plays out; true when the player should then stop. An end without an
    // open stream comes from a plug-in already stopped.
    bool EndReached(uint32_t stream);

private:
    bool waitForSound(uint64_t startAt);

    In_Module& m_module;
    const std::string m_fileName;
    const uint64_t m_duration;
    const TPlayerMode& m_mode;
    int32_t& m_volume;
    BassLibrary& m_bass;
    MessageWindow* const m_playerWindow;
    MessageWindow* const m_hostWindow;
    const std::function<void(const std::string&)> m_showError;
    uint32_t m_handle = 0;
    uint64_t m_startAt = 0; // ms, set while the plug-in is not running
    bool m_busy = false;
    bool m_started = false;
    bool m_starting = false;   // inside Start's wait
    bool m_endedEarly = false; // the end came during that wait
};

} // namespace tindrel
