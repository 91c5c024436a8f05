// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/BassApi.h"
#include "engine/Channel.h"
#include "engine/Output.h"
#include "engine/SyncDispatcher.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace tindrel::engine {

// The process-wide engine: the output device, the channel table, the global
// volumes and the mixer. Failures throw EngineError.
class Engine {
public:
    static Engine& instance();

    void init(int device, DWORD freq, DWORD flags);
    void start();
    void free();
    BASS_INFO info() const;
    // The output rate; throws BASS_ERROR_INIT before init.
    int outputRate() const;

    // Channel handles are never 0 and never reused while the engine runs.
    DWORD reserveHandle();
    void addChannel(DWORD handle, std::shared_ptr<Channel> channel);
    // Throws BASS_ERROR_HANDLE for an unknown handle or one of another kind.
    std::shared_ptr<Channel> channel(DWORD handle) const;
    std::shared_ptr<Channel> channel(DWORD handle, ChannelKind kind) const;
    void removeChannel(DWORD handle, ChannelKind kind);
    HSYNC addEndSync(DWORD handle, SYNCPROC* proc, void* user);

    // 0..100 each; -1 leaves a volume unchanged.
    void setGlobalVolumes(int music, int sample, int stream);
    void globalVolumes(DWORD* music, DWORD* sample, DWORD* stream) const;

    // Mixes every playing channel into out (stereo 16-bit at outputRate).
    void render(int16_t* out, std::size_t frames);

    // Stops the output even when the program never called free(): a process
    // that exits, or unloads the engine, with channels still playing.
    ~Engine();

private:
    Engine() = default;
    void requireInit() const;
    // Ends the session; the output goes first, so nothing mixes while the
    // channel table and the pending notices are dropped.
    void shutDown();

    // Serialises init, start and free; never taken by the mixing thread.
    std::mutex m_lifecycle;
    // The channel table and the session's members; held only briefly and
    // never while calling into the output.
    mutable std::mutex m_lock;
    bool m_initialized = false;
    DWORD m_initFlags = 0;
    std::atomic<int> m_rate{44100};
    std::unique_ptr<Output> m_output;
    std::unique_ptr<SyncDispatcher> m_syncs;
    std::map<DWORD, std::shared_ptr<Channel>> m_channels;
    DWORD m_nextHandle = 0x10000;
    HSYNC m_nextSync = 1;

    std::atomic<int> m_musicVolume{100};
    std::atomic<int> m_sampleVolume{100};
    std::atomic<int> m_streamVolume{100};

    // Used only by the mixing thread.
    std::vector<float> m_mix;
    std::vector<std::pair<DWORD, std::shared_ptr<Channel>>> m_active;
};

} // namespace tindrel::engine
