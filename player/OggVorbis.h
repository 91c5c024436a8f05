// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>

namespace tindrel {

class FileStream;

// Length, format and comments of an Ogg Vorbis file, from its first two
// pages and its last page; no audio is decoded.
class TOggVorbis {
public:
    // Clears every field, then reads. True when the Ogg page and the Vorbis
    // identification header were found. Bytes missing at the end of the file
    // read as 0 and simply fail the header tests. A file that cannot be
    // opened throws std::runtime_error ("Cannot open file ..."), which the
    // player leaves to the central error handler.
    bool ReadFromFile(const std::string& fileName);

    int64_t FileSize() const { return m_fileSize; }
    uint8_t Channels() const { return m_channels; }
    // The low 16 bits of the header's sample rate.
    uint16_t SampleRate() const { return m_sampleRate; }
    // kbit/s, rounded; a negative (unset) nominal rate counts as 0.
    uint16_t BitRateNominal() const { return m_bitRateNominal; }
    // Samples per channel: the low 32 bits of the last page's granule position.
    int32_t Samples() const { return m_samples; }
    // Bytes of an ID3v2 tag in front of the Ogg data.
    int64_t ID3v2Size() const { return m_id3v2Size; }
    // Comment texts as UTF-8.
    const std::string& Title() const { return m_title; }
    const std::string& Artist() const { return m_artist; }
    const std::string& Album() const { return m_album; }
    uint16_t Track() const { return m_track; } // 0 to 255
    const std::string& Date() const { return m_date; }
    const std::string& Genre() const { return m_genre; }
    const std::string& Comment() const { return m_comment; }
    const std::string& Vendor() const { return m_vendor; }

    // Seconds: from the sample count, or estimated from the nominal bit rate
    // when the last page was not found.
    double Duration() const;
    // kbit/s averaged over the file.
    uint16_t BitRate() const;
    bool Valid() const;

private:
    struct Comments;
    void clear() { *this = TOggVorbis{}; }
    bool readHeaders(const FileStream& file);
    void readComments(const FileStream& file, int64_t position, Comments& comments);
    void findSamples(const FileStream& file);
    void takeComments(const Comments& comments);

    int64_t m_fileSize = 0;
    uint8_t m_channels = 0;
    uint16_t m_sampleRate = 0;
    uint16_t m_bitRateNominal = 0;
    int32_t m_samples = 0;
    int64_t m_id3v2Size = 0;
    std::string m_title;
    std::string m_artist;
    std::string m_album;
    uint16_t m_track = 0;
    std::string m_date;
    std::string m_genre;
    std::string m_comment;
    std::string m_vendor;
};

} // namespace tindrel
