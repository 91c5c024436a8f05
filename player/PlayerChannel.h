// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "player/AudioPlayer.h"

#include <cstdint>

namespace tindrel {

// One kind of channel the preview plays through: a stream or a tracker
// module of the audio engine, or a file a plug-in decodes. The player keeps
// the mode and calls these as its controls change it; each kind does what
// that change means for it. A plug-in channel's start and seek wait for the
// plug-in while they pump messages, so a caller keeps the channel alive
// across those calls even if a handler closes it.
class PlayerChannel {
public:
    virtual ~PlayerChannel() = default;

    virtual TChannelType Type() const = 0;
    // The engine channel whose sound the spectrum reads; 0 when none plays.
    virtual uint32_t Handle() const = 0;
    // Starts where the channel stands. The first start also asks for the
    // end-of-stream notice, which then stays with the channel.
    virtual bool Start() = 0;
    // Starts again from the beginning after a stop.
    virtual bool Restart() = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual void Stop() = 0;
    // Lets go of what plays, as another file is opened in its place.
    virtual void Free() = 0;
    // Lets go of what plays as the player closes.
    virtual void Close() { Free(); }
    // Whether sound comes that the spectrum can show.
    virtual bool SoundStarted() const { return true; }
    // A start or a seek still waits for its answer; the controls wait too.
    virtual bool Busy() const { return false; }
    virtual uint64_t Length() = 0; // ms
    virtual uint64_t Position(TPlayerMode mode) = 0;
    // Moves to ms; true when sound came again after the move.
    virtual bool SetPosition(uint64_t ms) = 0;
    virtual int32_t Volume() const = 0;
    // value is 0..100, or -1 for the engine's "no change".
    virtual void SetVolume(int32_t value) = 0;
};

// A volume from the controls, limited to 0..100; -1 passes as the engine's
// "no change".
inline int32_t ClampVolume(int32_t value) {
    return value > 100 ? 100 : (value < -1 ? 0 : value);
}

} // namespace tindrel
