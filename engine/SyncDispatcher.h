// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Channel.h"

#include <memory>
#include <thread>
#include <vector>

namespace tindrel::engine {

// Delivers end-of-playback callbacks on a thread of the engine's own, so
// that a slow callback never holds up the mixer and a callback may call
// back into the engine.
class SyncDispatcher {
public:
    SyncDispatcher();
    // Drops calls not yet delivered. Safe to run from inside a callback.
    ~SyncDispatcher();
    SyncDispatcher(const SyncDispatcher&) = delete;
    SyncDispatcher& operator=(const SyncDispatcher&) = delete;

    void post(const std::vector<SyncCall>& calls);
    // Drops the calls for this channel not yet delivered: a freed stream's
    // end must not reach whoever plays the next one.
    void cancel(DWORD channel);

private:
    struct Queue;
    static void deliver(const std::shared_ptr<Queue>& queue);

    std::shared_ptr<Queue> m_queue;
    std::thread m_thread;
};

} // namespace tindrel::engine
