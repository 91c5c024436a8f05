// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/WAVfile.h"

#include "mpeg/FileWindow.h"
#include "platform/FileStream.h"

#include <array>
#include <cstring>
#include <exception>

namespace tindrel {

namespace {

constexpr std::size_t kHeaderSize = 44;

bool textAt(const std::array<uint8_t, kHeaderSize>& header, std::size_t at, const char* text) {
    return std::memcmp(header.data() + at, text, 4) == 0;
}

} // namespace

bool TWAVfile::ReadFromFile(const std::string& fileName) {
    clear();
    std::array<uint8_t, kHeaderSize> header{};
    try {
        const FileStream file = FileStream::openRead(fileName);
        if (ReadWindow(file, 0, header) < kHeaderSize)
            return false;
    } catch (const std::exception&) {
        return false;
    }
    const uint16_t channels = LittleEndian16(&header[22]);
    if (!textAt(header, 0, "RIFF") || !textAt(header, 8, "WAVE") || !textAt(header, 12, "fmt ") ||
        (channels != 1 && channels != 2))
        return true;
    m_valid = true;
    m_channels = static_cast<uint8_t>(channels);
    m_sampleRate = static_cast<uint16_t>(LittleEndian32(&header[24]));
    m_bitsPerSample = header[34];
    // Computed in 64 bits: a RIFF size near 4 GiB must not wrap round.
    m_fileSize = int64_t(LittleEndian32(&header[4])) + 8;
    return true;
}

double TWAVfile::Duration() const {
    if (!m_valid || m_sampleRate == 0 || m_bitsPerSample == 0 || m_channels == 0 || m_fileSize < int64_t(kHeaderSize))
        return 0.0;
    const double bits = double(m_fileSize - int64_t(kHeaderSize)) * 8.0;
    return bits / m_sampleRate / m_bitsPerSample / m_channels;
}

} // namespace tindrel
