// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/UserStream.h"

#include <algorithm>
#include <cstring>

namespace tindrel::engine {

UserStream::UserStream(HSTREAM handle, DWORD freq, DWORD flags, STREAMPROC* proc, void* user)
    : m_handle(handle), m_rate(static_cast<int>(freq)), m_channels((flags & BASS_SAMPLE_MONO) ? 1 : 2),
      m_eightBit((flags & BASS_SAMPLE_8BITS) != 0), m_proc(proc), m_user(user) {}

std::size_t UserStream::read(int16_t* out, std::size_t frames) {
    if (m_finished || frames == 0)
        return 0;
    const std::size_t sampleBytes = m_eightBit ? 1 : 2;
    const std::size_t frameBytes = sampleBytes * m_channels;
    // Ask only for what completes whole frames after the carried bytes.
    m_bytes.resize(frames * frameBytes);
    const auto asked = static_cast<DWORD>(m_bytes.size() - m_carried);
    const DWORD result = m_proc(m_handle, m_bytes.data() + m_carried, asked, m_user);
    m_finished = (result & BASS_STREAMPROC_END) != 0;
    // A callback that claims more than it was asked for gets no more than
    // that.
    const std::size_t have = m_carried + std::min<std::size_t>(result & ~BASS_STREAMPROC_END, asked);
    const std::size_t got = have / frameBytes;
    const std::size_t samples = got * m_channels;
    if (m_eightBit) {
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = static_cast<int16_t>((static_cast<int>(m_bytes[i]) - 128) * 256);
    } else {
        std::memcpy(out, m_bytes.data(), samples * sizeof(int16_t));
    }
    m_carried = have - got * frameBytes;
    std::memmove(m_bytes.data(), m_bytes.data() + got * frameBytes, m_carried);
    return got;
}

} // namespace tindrel::engine
