// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/BassApi.h"
#include "engine/Decoder.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tindrel::engine {

enum class ChannelKind { Stream, Music };

// Whose code a source's read runs: the engine's own decoders, or a caller's
// callback that may take as long as it likes.
enum class SourceCode { Engine, User };

// An end-of-playback notice waiting to be delivered.
struct SyncCall {
    SYNCPROC* proc;
    HSYNC sync;
    DWORD channel;
    void* user;
};

// One playing source: its state, position, attributes, end syncs and the
// recent samples that GetData reports. The mixer thread pulls it through
// mix(); every other member may be called from any thread.
//
// No lock is held while the source reads: a user callback may wait for
// seconds, and meanwhile every other call on the channel answers at once.
// Calls on a user source never wait for its callback, except retire().
class Channel {
public:
    // bytesPerSample is 1 only for 8-bit user streams; it sets how byte
    // positions are counted.
    Channel(ChannelKind kind, std::unique_ptr<Decoder> source, DWORD flags, int bytesPerSample,
            SourceCode code = SourceCode::Engine);

    ChannelKind kind() const { return m_kind; }
    DWORD flags() const { return m_flags; }
    int rate() const { return m_rate; }
    int channels() const { return m_channels; }
    int bytesPerFrame() const { return m_bytesPerFrame; }

    DWORD activity() const { return m_state.load(); }
    // Starts or continues playback; an ended channel starts again from its
    // beginning, flush drops what was read ahead.
    void play(bool flush);
    // Once pause or stop returns, the position holds and nothing more of
    // the channel is mixed, even if a mix was running.
    bool pause();
    bool resume();
    void stop();
    // Stops the channel for good; when it returns, no mix of this channel
    // is running and none will call its source again (unless it is called
    // from the source's own callback, which is then the last call).
    void retire();

    int64_t positionFrames() const { return m_position.load(); }
    // -1 when the source does not know its length.
    int64_t lengthFrames() const;
    // Throws EngineError when the channel cannot be moved there.
    void seek(int64_t frame);

    // freq 0 is the channel's own rate.
    void setAttributes(int freq, int volume, int pan);
    void attributes(DWORD* freq, DWORD* volume, int* pan) const;

    void addEndSync(HSYNC sync, SYNCPROC* proc, void* user);
    std::vector<SyncCall> endSyncs(DWORD handle) const;

    // Adds up to `frames` stereo output frames at outRate into out, scaled
    // by gain. Returns true when the channel reached its end in this call.
    bool mix(float* out, std::size_t frames, int outRate, float gain);

    // The most recent `frames` frames given to the output, oldest first,
    // interleaved at the channel's own channel count; zeros before the
    // first sample.
    void recentFrames(int16_t* out, std::size_t frames) const;

    static constexpr std::size_t kHistoryFrames = 4096;

private:
    using Lock = std::unique_lock<std::mutex>;
    bool mixLocked(float* out, std::size_t frames, int outRate, float gain, Lock& lock);
    bool refill(std::size_t wanted, Lock& lock);
    // Waits until no other thread uses the source and takes it.
    void takeSource(Lock& lock) const;
    void releaseSource() const;
    void consumeOne();
    void resetStage();

    const ChannelKind m_kind;
    const DWORD m_flags;
    const int m_rate;
    const int m_channels;
    const int m_bytesPerFrame;

    std::atomic<DWORD> m_state{BASS_ACTIVE_STOPPED};
    std::atomic<int64_t> m_position{0};
    std::atomic<int> m_freq{0}; // 0: own rate
    std::atomic<int> m_volume{100};
    std::atomic<int> m_pan{0};

    const SourceCode m_code;
    // Everything below; never held while the source runs.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::unique_ptr<Decoder> m_source; // used only by the thread that took it
    mutable bool m_sourceTaken = false;
    bool m_sourceFinished = false; // as the source said after its last read
    bool m_mixing = false;
    bool m_retired = false;
    std::thread::id m_mixer;
    // Counts what invalidates frames being read meanwhile: a seek, a flush,
    // a restart or retirement.
    uint64_t m_generation = 0;
    std::vector<int16_t> m_incoming; // frames being read, outside the lock
    std::vector<int16_t> m_stage;    // frames read ahead from the source
    std::size_t m_stageStart = 0;
    std::size_t m_stageEnd = 0;
    double m_frac = 0.0; // resampling phase between two source frames
    bool m_ended = false;
    std::vector<int16_t> m_history; // ring of the last frames consumed
    std::size_t m_historyPos = 0;

    mutable std::mutex m_syncMutex;
    std::vector<SyncCall> m_syncs;
};

} // namespace tindrel::engine
