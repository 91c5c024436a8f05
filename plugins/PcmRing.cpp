// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/PcmRing.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tindrel {

bool PcmRing::Allocate() {
    if (!m_data)
        m_data.reset(new (std::nothrow) char[Size]);
    Reset();
    return m_data != nullptr;
}

uint32_t PcmRing::FreeSpace() const {
    return m_writePos < m_readPos ? m_readPos - m_writePos : Size - (m_writePos - m_readPos);
}

uint32_t PcmRing::UsedSpace() const {
    return m_writePos < m_readPos ? m_writePos + Size - m_readPos : m_writePos - m_readPos;
}

bool PcmRing::Write(const char* buf, uint32_t len) {
    if (!m_data || len >= FreeSpace())
        return false;
    // The free region is contiguous when the reader is ahead; otherwise it
    // may run over the end and continue at the start.
    const uint32_t first = m_readPos > m_writePos ? len : std::min(len, Size - m_writePos);
    std::memcpy(m_data.get() + m_writePos, buf, first);
    std::memcpy(m_data.get(), buf + first, len - first);
    m_writePos = (m_writePos + len) % Size;
    return true;
}

uint32_t PcmRing::Read(char* out, uint32_t len) {
    if (!m_data)
        return 0;
    const uint32_t n = std::min(len, UsedSpace());
    const uint32_t first = std::min(n, Size - m_readPos);
    std::memcpy(out, m_data.get() + m_readPos, first);
    std::memcpy(out + first, m_data.get(), n - first);
    m_readPos = (m_readPos + n) % Size;
    return n;
}

void PcmRing::SetPositions(uint32_t readPos, uint32_t writePos) {
    m_readPos = readPos % Size;
    m_writePos = writePos % Size;
}

} // namespace tindrel
