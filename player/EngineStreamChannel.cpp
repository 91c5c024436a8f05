// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/EngineStreamChannel.h"

#include "binding/BassBinding.h"

namespace tindrel {

EngineStreamChannel::EngineStreamChannel(BassLibrary& bass, BassWmaLibrary* wma, uint32_t handle, SYNCPROC* endSync,
                                         MessageWindow* endWindow, int32_t& volume)
    : EngineChannel(bass, handle, endSync, endWindow), m_wma(wma), m_volume(volume) {}

void EngineStreamChannel::SetEngineVolume(BassLibrary* bass, int32_t& volume, int32_t value) {
    if (bass && bass->BASS_SetGlobalVolumes)
        bass->BASS_SetGlobalVolumes(-1, -1, value);
    volume = value;
}

bool EngineStreamChannel::play() {
    return m_bass.BASS_StreamPlay(m_handle, 0, 0) != 0;
}

void EngineStreamChannel::watchEnd(SYNCPROC* endSync, MessageWindow* endWindow) {
    if (m_wma)
        m_wma->BASS_WMA_ChannelSetSync(m_handle, kSyncEnd, 0, endSync, endWindow);
    else
        EngineChannel::watchEnd(endSync, endWindow);
}

bool EngineStreamChannel::Restart() {
    SetPosition(0);
    return play();
}

void EngineStreamChannel::Free() {
    m_bass.BASS_StreamFree(m_handle);
}

uint64_t EngineStreamChannel::Length() {
    return bytesToMs(static_cast<int64_t>(m_bass.BASS_StreamGetLength(m_handle)));
}

uint64_t EngineStreamChannel::Position(TPlayerMode) {
    return bytesToMs(static_cast<int64_t>(m_bass.BASS_ChannelGetPosition(m_handle)));
}

bool EngineStreamChannel::SetPosition(uint64_t ms) {
    m_bass.BASS_ChannelSetPosition(m_handle,
                                   m_bass.BASS_ChannelSeconds2Bytes(m_handle, static_cast<float>(ms) / 1000.0f));
    return false;
}

void EngineStreamChannel::SetVolume(int32_t value) {
    SetEngineVolume(&m_bass, m_volume, value);
}

} // namespace tindrel
