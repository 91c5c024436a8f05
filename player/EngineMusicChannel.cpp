// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/EngineMusicChannel.h"

#include "binding/BassBinding.h"

namespace tindrel {

EngineMusicChannel::EngineMusicChannel(BassLibrary& bass, uint32_t handle, SYNCPROC* endSync, MessageWindow* endWindow,
                                       int32_t& volume)
    : EngineChannel(bass, handle, endSync, endWindow), m_volume(volume) {}

bool EngineMusicChannel::play() {
    return m_bass.BASS_MusicPlay(m_handle) != 0;
}

void EngineMusicChannel::Free() {
    m_bass.BASS_MusicFree(m_handle);
}

uint64_t EngineMusicChannel::Length() {
    // The module's length comes as a 32-bit count, negative on failure.
    return bytesToMs(static_cast<int32_t>(m_bass.BASS_MusicGetLength(m_handle, -1)));
}

void EngineMusicChannel::SetVolume(int32_t value) {
    m_bass.BASS_SetGlobalVolumes(value, -1, -1);
    m_volume = value;
}

} // namespace tindrel
