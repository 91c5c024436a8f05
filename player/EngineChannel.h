// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/BassApi.h"
#include "player/PlayerChannel.h"

namespace tindrel {

class BassLibrary;
class MessageWindow;

// What the engine's streams and modules share: one engine handle, paused,
// resumed and stopped alike, and an end-of-stream notice posted to the
// player's window.
class EngineChannel : public PlayerChannel {
public:
    EngineChannel(BassLibrary& bass, uint32_t handle, SYNCPROC* endSync, MessageWindow* endWindow);

    uint32_t Handle() const override { return m_handle; }
    bool Start() override;
    void Pause() override;
    void Resume() override;
    void Stop() override;

protected:
    // The engine's sync type for "the channel reached its end".
    static constexpr DWORD kSyncEnd = 2;

    // Plays from where the channel stands.
    virtual bool play() = 0;
    // Asks the engine for the end-of-stream notice.
    virtual void watchEnd(SYNCPROC* endSync, MessageWindow* endWindow);
    uint64_t bytesToMs(int64_t bytes) const;

    BassLibrary& m_bass;
    const uint32_t m_handle;

private:
    SYNCPROC* const m_endSync;
    MessageWindow* const m_endWindow;
    bool m_watchingEnd = false;
};

} // namespace tindrel
