// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "player/EngineChannel.h"

namespace tindrel {

class BassWmaLibrary;

// A file the engine decodes as a stream, through the engine itself or its
// WMA add-on. Its volume is the engine's stream volume, shared by every
// stream the player opens.
class EngineStreamChannel : public EngineChannel {
public:
    // wma is given for a stream of the WMA add-on, which watches its own end.
    EngineStreamChannel(BassLibrary& bass, BassWmaLibrary* wma, uint32_t handle, SYNCPROC* endSync,
                        MessageWindow* endWindow, int32_t& volume);

    // Sets the engine's stream volume; harmless without an engine.
    static void SetEngineVolume(BassLibrary* bass, int32_t& volume, int32_t value);

    TChannelType Type() const override { return m_wma ? TChannelType::WMAStream : TChannelType::Stream; }
    bool Restart() override;
    void Free() override;
    uint64_t Length() override;
    uint64_t Position(TPlayerMode mode) override;
    bool SetPosition(uint64_t ms) override;
    int32_t Volume() const override { return m_volume; }
    void SetVolume(int32_t value) override;

private:
    bool play() override;
    void watchEnd(SYNCPROC* endSync, MessageWindow* endWindow) override;

    BassWmaLibrary* const m_wma;
    int32_t& m_volume;
};

} // namespace tindrel
