// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/EngineChannel.h"

#include "binding/BassBinding.h"

#include <algorithm>
#include <cmath>

namespace tindrel {

EngineChannel::EngineChannel(BassLibrary& bass, uint32_t handle, SYNCPROC* endSync, MessageWindow* endWindow)
    : m_bass(bass), m_handle(handle), m_endSync(endSync), m_endWindow(endWindow) {}

bool EngineChannel::Start() {
    if (!play())
        return false;
    if (!m_watchingEnd) {
        watchEnd(m_endSync, m_endWindow);
        m_watchingEnd = true;
    }
    return true;
}

void EngineChannel::watchEnd(SYNCPROC* endSync, MessageWindow* endWindow) {
    m_bass.BASS_ChannelSetSync(m_handle, kSyncEnd, 0, endSync, endWindow);
}

void EngineChannel::Pause() {
    m_bass.BASS_ChannelPause(m_handle);
}

void EngineChannel::Resume() {
    m_bass.BASS_ChannelResume(m_handle);
}

void EngineChannel::Stop() {
    m_bass.BASS_ChannelStop(m_handle);
}

uint64_t EngineChannel::bytesToMs(int64_t bytes) const {
    const float seconds = m_bass.BASS_ChannelBytes2Seconds(m_handle, static_cast<QWORD>(std::max<int64_t>(bytes, 0)));
    return seconds > 0 ? static_cast<uint64_t>(std::nearbyint(double(seconds) * 1000.0)) : 0;
}

} // namespace tindrel
