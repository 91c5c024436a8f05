// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>

namespace tindrel {

// The format of a RIFF WAVE file, from its first 44 bytes. The audio is taken
// to start right after them; the chunk list is not searched.
class TWAVfile {
public:
    // Clears every field, then reads. True when the first 44 bytes could be
    // read, whether or not they hold a WAVE header. Never throws.
    bool ReadFromFile(const std::string& fileName);

    bool Valid() const { return m_valid; }
    uint8_t Channels() const { return m_channels; }
    // The low 16 bits of the header's rate.
    uint16_t SampleRate() const { return m_sampleRate; }
    uint8_t BitsPerSample() const { return m_bitsPerSample; }
    // The RIFF chunk size plus 8.
    int64_t FileSize() const { return m_fileSize; }
    // Seconds of audio after the 44-byte header; 0 when the reader is not
    // valid or a rate, depth or size field makes the quotient meaningless.
    double Duration() const;

private:
    void clear() { *this = TWAVfile{}; }

    bool m_valid = false;
    uint8_t m_channels = 0;
    uint16_t m_sampleRate = 0;
    uint8_t m_bitsPerSample = 0;
    int64_t m_fileSize = 0;
};

} // namespace tindrel
