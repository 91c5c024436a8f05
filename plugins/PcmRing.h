// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <memory>

namespace tindrel {

// The output emulator's PCM ring: half a second of 44.1 kHz 16-bit stereo.
// Equal positions mean empty, so one byte always stays free and a full ring
// holds Size - 1 bytes. Not thread-safe; the emulator guards it.
class PcmRing {
public:
    static constexpr uint32_t Size = 88'200;

    // Allocates the storage; false when memory is short.
    bool Allocate();
    void Free() { m_data.reset(); }
    bool Allocated() const { return m_data != nullptr; }

    uint32_t ReadPos() const { return m_readPos; }
    uint32_t WritePos() const { return m_writePos; }
    // Never 0: an empty ring has Size free bytes.
    uint32_t FreeSpace() const;
    uint32_t UsedSpace() const;

    // Stores len bytes when len < FreeSpace(); false (and nothing stored)
    // otherwise.
    bool Write(const char* buf, uint32_t len);
    // Moves min(len, UsedSpace()) bytes into out and returns that count.
    uint32_t Read(char* out, uint32_t len);
    void Reset() { m_readPos = m_writePos = 0; }
    // For tests that start from a given state.
    void SetPositions(uint32_t readPos, uint32_t writePos);

private:
    std::unique_ptr<char[]> m_data;
    uint32_t m_readPos = 0;
    uint32_t m_writePos = 0;
};

} // namespace tindrel
