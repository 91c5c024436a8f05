// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/MPEGaudio.h"

#include "mpeg/FileWindow.h"
#include "mpeg/Rounding.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <array>
#include <exception>
#include <stdexcept>
#include <vector>

namespace tindrel {

namespace {

constexpr auto kID3v1Size = static_cast<int64_t>(TID3v1::kBlockSize);
using Window = std::array<uint8_t, kMPEGWindowSize>;
} // namespace

TMPEGaudio::TMPEGaudio() : m_v1Tag(std::make_unique<TID3v1>()), m_v2Tag(std::make_unique<TID3v2>()) {
    Clear();
}

TMPEGaudio::~TMPEGaudio() = default;

void TMPEGaudio::Clear() {
    m_fileSize = 0;
    m_encoderID.clear();
    m_vbrHeader = TVBRHeader{};
    // A default frame carries the "unknown" codes: reserved version and
    // sample rate, mode and mode extension 4, reserved emphasis.
    m_firstFrame = TMPEGFrame{};
    m_v1Tag->Clear();
    m_v2Tag->Clear();
}

bool TMPEGaudio::Analyze(const std::string& fileName) {
    try {
        return Analyze(FileStream::openRead(fileName));
    } catch (const std::exception&) {
        Clear();
        m_windowBytesRead = 0;
        return false;
    }
}

bool TMPEGaudio::Analyze(const FileStream& file) {
    bool result = false;
    Clear();
    m_windowBytesRead = 0;
    if (m_v2Tag->Load(file) && m_v1Tag->Load(file)) {
        try {
            analyzeWindows(file);
            result = true;
        } catch (const std::exception&) {
            // What was found before the failure stays (see below).
        }
    }
    if (!m_firstFrame.Found)
        Clear();
    return result;
}

void TMPEGaudio::analyzeWindows(const FileStream& file) {
    m_fileSize = file.size();
    const int64_t tagSize = m_v2Tag->TagSize();
    Window window;
    std::size_t got = ReadWindow(file, tagSize, window);
    m_windowBytesRead += got;
    bool confirmed = false;
    m_firstFrame = FindFirstFrame(std::span(window.data(), got), m_vbrHeader, kLastFrameCandidate, &confirmed);
    if (m_firstFrame.Found && !confirmed)
        searchBehindJunk(file, tagSize);
    if (!m_firstFrame.Found && got == window.size()) {
        got = ReadWindow(file, (m_fileSize - tagSize) / 2, window);
        m_windowBytesRead += got;
        m_firstFrame = FindFirstFrame(std::span(window.data(), got), m_vbrHeader);
    }
    if (m_firstFrame.Found && !m_vbrHeader.Found) {
        // The encoder's mark sits in the last frames, before any ID3v1 tag.
        int64_t position = m_fileSize - int64_t(kMPEGWindowSize);
        if (m_v1Tag->Exists())
            position -= kID3v1Size;
        // A file shorter than the end window fails here, as a short read.
        if (position < 0 || ReadWindow(file, position, window) < window.size())
            throw std::runtime_error("Stream read error");
        m_windowBytesRead += window.size();
        m_encoderID = FindEncoderID(window, m_firstFrame.Length);
    }
}

void TMPEGaudio::searchBehindJunk(const FileStream& file, int64_t tagSize) {
    // Bytes before the audio (a broken tag, another program's data) can
    // hold a header whose successor looks like one by chance; audio is
    // where frames of one kind follow one another.
    std::vector<uint8_t> block(kJunkSearchBytes);
    const std::size_t got = ReadWindow(file, tagSize, block);
    m_windowBytesRead += got;
    TVBRHeader vbr;
    bool confirmed = false;
    const std::span<const uint8_t> bytes(block.data(), got);
    const TMPEGFrame frame = FindFirstFrame(bytes, vbr, got, &confirmed);
    if (confirmed) {
        m_firstFrame = frame;
        m_vbrHeader = vbr;
    }
}

double TMPEGaudio::firstFrameBitRate() const {
    if (m_firstFrame.BitRateIndex != 0)
        return TableBitRate(m_firstFrame);
    // Free format: the rate its frame length stands for.
    const double bytes = double(m_firstFrame.Length) - PaddingSize(m_firstFrame);
    return bytes * TableSampleRate(m_firstFrame) / SizeCoefficient(m_firstFrame) / 1000.0;
}

bool TMPEGaudio::hasFrameCount() const {
    return m_vbrHeader.Found && m_vbrHeader.FrameCount > 0;
}

int64_t TMPEGaudio::exactBitRate() const {
    if (!hasFrameCount())
        return RoundHalfEven(firstFrameBitRate());
    const double bytesPerFrame = double(m_vbrHeader.ByteCount) / m_vbrHeader.FrameCount - PaddingSize(m_firstFrame);
    return RoundHalfEven(bytesPerFrame * TableSampleRate(m_firstFrame) / SizeCoefficient(m_firstFrame) / 1000.0);
}

uint16_t TMPEGaudio::BitRate() const {
    // A corrupt byte count must not wrap round into the plausible range.
    return static_cast<uint16_t>(std::clamp<int64_t>(exactBitRate(), 0, 65535));
}

double TMPEGaudio::Duration() const {
    if (!m_firstFrame.Found)
        return 0.0;
    const double sampleRate = TableSampleRate(m_firstFrame);
    if (hasFrameCount())
        return double(int64_t(SizeCoefficient(m_firstFrame)) * m_vbrHeader.FrameCount * 8) / sampleRate;
    int64_t audioSize = m_fileSize - m_v2Tag->TagSize() - m_firstFrame.Offset;
    if (m_v1Tag->Exists())
        audioSize -= kID3v1Size;
    return double(audioSize) / firstFrameBitRate() / 1000.0 * 8.0;
}

bool TMPEGaudio::IsValid() const {
    if (!m_firstFrame.Found)
        return false;
    const int64_t bitRate = exactBitRate();
    return bitRate >= 8 && bitRate <= 448 && Duration() >= 0.1;
}

} // namespace tindrel
