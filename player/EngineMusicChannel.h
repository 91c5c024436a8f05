// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "player/EngineChannel.h"

namespace tindrel {

// A tracker module the engine plays. The engine neither reports nor moves a
// module's position; its volume is the engine's music volume, shared by
// every module the player opens.
class EngineMusicChannel : public EngineChannel {
public:
    EngineMusicChannel(BassLibrary& bass, uint32_t handle, SYNCPROC* endSync, MessageWindow* endWindow,
                       int32_t& volume);

    TChannelType Type() const override { return TChannelType::Music; }
    bool Restart() override { return play(); }
    void Free() override;
    uint64_t Length() override;
    uint64_t Position(TPlayerMode) override { return 0; }
    bool SetPosition(uint64_t) override { return false; }
    int32_t Volume() const override { return m_volume; }
    void SetVolume(int32_t value) override;

private:
    bool play() override;

    int32_t& m_volume;
};

} // namespace tindrel
