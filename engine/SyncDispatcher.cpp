// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/SyncDispatcher.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace tindrel::engine {

// Shared with the thread, so that the thread may outlive the dispatcher
// when the dispatcher is destroyed from inside a callback.
struct SyncDispatcher::Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<SyncCall> calls;
    bool stopping = false;
};

void SyncDispatcher::deliver(const std::shared_ptr<SyncDispatcher::Queue>& queue) {
    std::unique_lock lock(queue->mutex);
    for (;;) {
        queue->wake.wait(lock, [&] { return queue->stopping || !queue->calls.empty(); });
        if (queue->stopping)
            return;
        const SyncCall call = queue->calls.front();
        queue->calls.pop_front();
        lock.unlock();
        try {
            call.proc(call.sync, call.channel, 0, call.user);
        } catch (...) {
            // A callback that throws must not take the delivery thread down.
        }
        lock.lock();
    }
}

SyncDispatcher::SyncDispatcher() : m_queue(std::make_shared<Queue>()), m_thread(deliver, m_queue) {}

SyncDispatcher::~SyncDispatcher() {
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->stopping = true;
        m_queue->calls.clear();
    }
    m_queue->wake.notify_all();
    if (m_thread.get_id() == std::this_thread::get_id())
        m_thread.detach();
    else
        m_thread.join();
}

void SyncDispatcher::post(const std::vector<SyncCall>& calls) {
    if (calls.empty())
        return;
    {
        std::lock_guard lock(m_queue->mutex);
        m_queue->calls.insert(m_queue->calls.end(), calls.begin(), calls.end());
    }
    m_queue->wake.notify_one();
}

void SyncDispatcher::cancel(DWORD channel) {
    std::lock_guard lock(m_queue->mutex);
    std::erase_if(m_queue->calls, [&](const SyncCall& call) { return call.channel == channel; });
}

} // namespace tindrel::engine
