// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>

namespace tindrel {

class FileStream;

// Length, format and tags of a WMA file from the objects of its ASF header.
// Texts are kept as the file's 16-bit characters; WideToUtf8 (ReaderText.h)
// turns them into the platform's text.
class TWMAfile {
public:
    // Clears every field, then reads. True when no error was met, also for a
    // file that is not ASF at all; false for a missing file, a read past the
    // end or a malformed object. The fields are set only when the format
    // passes the plausibility test (Valid). Never throws.
    bool ReadFromFile(const std::string& fileName);

    bool Valid() const { return m_valid; }
    int64_t FileSize() const { return m_fileSize; }
    uint8_t Channels() const { return m_channels; }
    uint32_t SampleRate() const { return m_sampleRate; }
    // Seconds: the file size over the maximum bit rate.
    double Duration() const { return m_duration; }
    // kbit/s: the stream's average, remainder dropped.
    uint32_t BitRate() const { return m_bitRate; }
    const std::u16string& Title() const { return m_title; }
    const std::u16string& Artist() const { return m_artist; }
    const std::u16string& Album() const { return m_album; }
    // 0 when the track text is not a number.
    int32_t Track() const { return m_track; }
    const std::u16string& Year() const { return m_year; }
    const std::u16string& Genre() const { return m_genre; }
    const std::u16string& Comment() const { return m_comment; }

private:
    struct Header;
    void clear() { *this = TWMAfile{}; }
    void take(const Header& header, int64_t fileSize);

    bool m_valid = false;
    int64_t m_fileSize = 0;
    uint8_t m_channels = 0;
    uint32_t m_sampleRate = 0;
    double m_duration = 0.0;
    uint32_t m_bitRate = 0;
    std::u16string m_title;
    std::u16string m_artist;
    std::u16string m_album;
    int32_t m_track = 0;
    std::u16string m_year;
    std::u16string m_genre;
    std::u16string m_comment;
};

} // namespace tindrel
