// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tindrel {

inline constexpr std::size_t kGenreCount = 148;

// The genre names of the ID3v1 tag, indexed by genre number.
extern const std::array<std::string_view, kGenreCount> GenreNames;

class FileStream;

// The 128-byte tag at the end of an MP3 file, version 1.0 or 1.1 (the latter
// carries a track number in the last two comment bytes). Texts are byte
// strings (ISO-8859-1 bytes); Save writes back exactly the bytes Load read.
// No operation throws: every file error becomes a false result.
class TID3v1 {
public:
    static constexpr uint8_t kVersion10 = 1;
    static constexpr uint8_t kVersion11 = 2;
    static constexpr uint8_t kNoGenre = 255;
    static constexpr std::size_t kBlockSize = 128;

    TID3v1() { Clear(); }

    // Reads the last 128 bytes. True when they could be read, whether or not
    // they hold a tag; false (fields cleared) when the file cannot be opened
    // or is shorter than 128 bytes.
    bool Load(const std::string& fileName);
    // The same from a file already open for reading (its position is left
    // alone), so that one open serves every reader of a file.
    bool Load(const FileStream& file);
    // Writes the fields as a new block at the end of the file, replacing an
    // old tag. Gives the owner write permission back first. False when the
    // file is missing, shorter than 128 bytes, locked or not writable.
    bool Save(const std::string& fileName);
    // Cuts the tag off the file. True when the file had no tag or its tag was
    // removed.
    bool Remove(const std::string& fileName);
    void Clear();

    bool Exists() const { return m_exists; }
    uint8_t Version() const { return m_version; }
    const std::string& Title() const { return m_title; }
    const std::string& Artist() const { return m_artist; }
    const std::string& Album() const { return m_album; }
    const std::string& Year() const { return m_year; }
    const std::string& Comment() const { return m_comment; }
    uint8_t Track() const { return m_track; }
    uint8_t GenreIndex() const { return m_genreIndex; }
    // The name for GenreIndex, or empty text for numbers without a name.
    std::string GenreName() const;

    // The text setters drop trailing bytes of value 0 to 32 and then keep the
    // field's width (30 bytes, 4 for the year).
    void SetTitle(const std::string& value);
    void SetArtist(const std::string& value);
    void SetAlbum(const std::string& value);
    void SetYear(const std::string& value);
    void SetComment(const std::string& value);
    void SetTrack(uint8_t value) { m_track = value; }
    void SetGenreIndex(uint8_t value) { m_genreIndex = value; }

    // The 128-byte block that Save writes at the end of a file.
    std::array<uint8_t, kBlockSize> BuildBlock() const;

private:
    void readBlock(const std::array<uint8_t, kBlockSize>& block);

    bool m_exists = false;
    uint8_t m_version = kVersion10;
    std::string m_title;
    std::string m_artist;
    std::string m_album;
    std::string m_year;
    std::string m_comment;
    uint8_t m_track = 0;
    uint8_t m_genreIndex = kNoGenre;
};

} // namespace tindrel
