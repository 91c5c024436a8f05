// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/BassApi.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>

namespace tindrel::test {

// The engine entry points a MixClock uses, however the test reached them.
struct MixClockCalls {
    decltype(&::BASS_StreamCreate) StreamCreate;
    decltype(&::BASS_StreamPlay) StreamPlay;
    decltype(&::BASS_StreamFree) StreamFree;
    decltype(&::BASS_ChannelSetSync) ChannelSetSync;
};

// A silent user stream whose callback runs once in every mix of the
// engine's output: tests wait on mixes and on the engine's notices, never
// on the wall clock.
class MixClock {
public:
    explicit MixClock(const MixClockCalls& calls)
        : m_calls(calls), m_stream(calls.StreamCreate(44100, 0, &MixClock::Fill, this)) {
        if (m_stream == 0 || !calls.StreamPlay(m_stream, 0, 0))
            throw std::runtime_error("the mix clock does not play");
    }
    ~MixClock() { m_calls.StreamFree(m_stream); }
    MixClock(const MixClock&) = delete;
    MixClock& operator=(const MixClock&) = delete;

    // Looks at `done` after every mix; false when it does not hold within
    // ten seconds.
    bool Until(const std::function<bool()>& done) {
        std::unique_lock lock(m_mutex);
        return m_mixed.wait_for(lock, std::chrono::seconds(10), done);
    }
    // Waits until `mixes` whole mixes have run after this call.
    bool Wait(int mixes) {
        std::unique_lock lock(m_mutex);
        const long target = m_count + mixes + 2; // the first may have begun already
        return m_mixed.wait_for(lock, std::chrono::seconds(10), [&] { return m_count >= target; });
    }
    // End notices are delivered in order, each after the mix that found the
    // end: once a stream started now that ends at once has been told, every
    // notice of a mix before it has been delivered.
    bool EndNoticesDelivered() {
        auto* marker = new std::promise<void>; // left to a late notice if it does not come
        const HSTREAM stream = m_calls.StreamCreate(44100, 0, &EndAtOnce, nullptr);
        m_calls.ChannelSetSync(stream, BASS_SYNC_END, 0, &Told, marker);
        m_calls.StreamPlay(stream, 0, 0);
        if (marker->get_future().wait_for(std::chrono::seconds(10)) != std::future_status::ready)
            return false;
        m_calls.StreamFree(stream);
        delete marker;
        return true;
    }

private:
    static DWORD Fill(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<MixClock*>(user);
        std::memset(buffer, 0, length);
        {
            std::lock_guard lock(self->m_mutex);
            ++self->m_count;
        }
        self->m_mixed.notify_all();
        return length;
    }

    static DWORD EndAtOnce(HSTREAM, void*, DWORD, void*) { return BASS_STREAMPROC_END; }
    static void Told(HSYNC, DWORD, DWORD, void* user) { static_cast<std::promise<void>*>(user)->set_value(); }

    const MixClockCalls m_calls;
    std::mutex m_mutex;
    std::condition_variable m_mixed;
    long m_count = 0;
    const HSTREAM m_stream; // last: the callback may run once it plays
};

} // namespace tindrel::test
