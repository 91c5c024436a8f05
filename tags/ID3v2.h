// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "tags/ID3v2Frames.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tindrel {

// The frames that hold the seven fields, in the order Tindrel writes them.
inline constexpr std::array<std::string_view, 7> FrameIDs = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM"};

class FileStream;

// The ID3v2 tag at the start of an MP3 file. Tags of versions 2.2, 2.3 and
// 2.4 are read, in any of their text encodings; Save always writes a version
// 2.3 tag: the seven fields first, then every other frame the loaded tag
// held, converted to version 2.3 where it came from another version. Texts
// are UTF-8. No operation throws: every file error becomes a false result.
class TID3v2 {
public:
    static constexpr std::size_t kHeaderSize = 10;

    TID3v2() { Clear(); }

    // Reads the tag: its header, the seven fields and every other frame.
    // True when the first 10 bytes could be read, whether or not they start
    // a tag; false (everything cleared) when the file cannot be opened or is
    // shorter.
    bool Load(const std::string& fileName);
    // The same from a file already open for reading (its position is left
    // alone), so that one open serves every reader of a file.
    bool Load(const FileStream& file);
    // What Load reads, from the first bytes of a file of fileSize bytes held
    // in memory: the header, and the fields and frames when bytes holds the
    // whole tag.
    void LoadTag(std::string_view bytes, int64_t fileSize);
    // Rebuilds the file with a version 2.3 tag of the fields and the kept
    // frames in front of the audio, dropping the old tag. The original is
    // replaced atomically only once the new file is complete on disk; on any
    // failure it is untouched and LastError() says why. Exists, MajorVersion
    // and TagSize are not changed.
    bool Save(const std::string& fileName);
    void Clear();

    bool Exists() const { return m_exists; }
    uint8_t MajorVersion() const { return m_majorVersion; }
    // The whole tag with its header (and a version 2.4 footer), in bytes; 0
    // without a tag or when the declared size runs past the end of the file.
    int32_t TagSize() const { return m_tagSize; }
    const std::string& Title() const { return m_title; }
    const std::string& Artist() const { return m_artist; }
    const std::string& Album() const { return m_album; }
    uint8_t Track() const { return m_track; }
    // The track as the tag holds it: "3/12", or a text that is no number at
    // all ("A1" of a record's side A); written back unchanged.
    const std::string& TrackText() const { return m_trackText; }
    const std::string& Year() const { return m_year; }
    const std::string& Genre() const { return m_genre; }
    const std::string& Comment() const { return m_comment; }
    // The loaded frames that are none of the seven fields, as version 2.3
    // frames, in the order the tag held them.
    const std::vector<ID3v2Frame>& OtherFrames() const { return m_otherFrames; }
    // The IDs of loaded frames that a version 2.3 tag cannot hold; Save
    // leaves them out.
    const std::vector<std::string>& DroppedFrames() const { return m_droppedFrames; }
    // Why the last Save failed.
    const std::string& LastError() const { return m_lastError; }

    // The text setters drop trailing bytes of value 0 to 32; there is no
    // length limit.
    void SetTitle(const std::string& value);
    void SetArtist(const std::string& value);
    void SetAlbum(const std::string& value);
    // A number of 0 means no track. The loaded text stays while it gives
    // the number set ("3/12" for 3), and goes with the number 0.
    void SetTrack(uint8_t value);
    // The track as text, kept as given (trimmed); Track() is its number.
    void SetTrackText(const std::string& value);
    void SetYear(const std::string& value);
    void SetGenre(const std::string& value);
    void SetComment(const std::string& value);

    // The value of the first user text frame (TXXX) whose description
    // matches, ignoring case; empty when there is none.
    std::string UserText(std::string_view description) const;
    // Sets the value of the first matching user text frame in its place,
    // or adds one behind the other frames.
    void SetUserText(std::string_view description, std::string_view value);

    // The complete version 2.3 tag that Save puts in front of the audio.
    std::string BuildTag() const;
    // The same tag as pieces to be written one after another: the header,
    // the fields' frames and the other frames' headers are built into head,
    // the other frames' contents are viewed where this tag holds them, so
    // that a large picture is written from there rather than copied first.
    // The views live as long as head and this tag stay unchanged.
    std::vector<std::string_view> TagParts(std::string& head) const;

private:
    bool load(int fd, int64_t fileSize);
    void takeFields(std::vector<ID3v2Frame> frames);

    bool m_exists = false;
    uint8_t m_majorVersion = 0;
    int32_t m_tagSize = 0;
    std::string m_title;
    std::string m_artist;
    std::string m_album;
    uint8_t m_track = 0;
    // The loaded track text, written back while the track number is the
    // one it gives, so that "3/12" keeps its count.
    std::string m_trackText;
    std::string m_year;
    std::string m_genre;
    std::string m_genreText; // as loaded, with its genre numbers
    std::string m_comment;
    std::string m_commentLanguage;    // three bytes
    std::string m_commentDescription; // empty but for a tag whose only comment has one
    std::vector<ID3v2Frame> m_otherFrames;
    std::vector<std::string> m_droppedFrames;
    std::string m_lastError;
};

// The first bytes of a file as an ID3v2 header sees them.
struct TagHeader {
    std::array<uint8_t, TID3v2::kHeaderSize> bytes{};
    int64_t fileSize = 0;

    bool StartsWithTag() const { return bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3'; }
    // The declared tag size plus the header (and the footer a version 2.4
    // tag may announce), or 0 when that runs past the end of the file.
    // Meaningful only when StartsWithTag().
    int32_t TagSize() const;
};

// Reads the first 10 bytes and the file's size. False when the file cannot be
// opened or is shorter than 10 bytes.
bool ReadTagHeader(const std::string& fileName, TagHeader& header);

class TID3v1;
class FileStream;

// Writes into out the bytes [start, start + count) of source as an ID3v1
// save followed by an ID3v2 save would leave them: the ID3v1 block (when
// given and count is at least 128 bytes) over a "TAG" block at their end or
// behind them, then the ID3v2 tag (when not empty) in front, in place of a
// tag they start with. Copies in blocks of blockBytes; throws on a read or
// write error. True when the ID3v1 block went in.
bool WriteWithTags(FileStream& source, int64_t start, int64_t count, std::string_view id3v2,
                   const std::array<uint8_t, 128>* id3v1, FileStream& out, std::size_t blockBytes);
// The same with the ID3v2 tag given as pieces (TID3v2::TagParts).
bool WriteWithTags(FileStream& source, int64_t start, int64_t count, std::span<const std::string_view> id3v2,
                   const std::array<uint8_t, 128>* id3v1, FileStream& out, std::size_t blockBytes);

// Saves both tags in one replacement of the file, as an ID3v1 save followed
// by an ID3v2 save would leave it, but with no moment at which the file
// holds the one new tag and not the other. The ID3v1 block needs a file of
// at least 128 bytes, as the ID3v1 save does: v1Written says whether it went
// in. False, with the file as it was and the cause in reason, on the
// failures of ReplaceLeadingTag.
bool SaveBothTags(const std::string& fileName, const TID3v1& v1, const TID3v2& v2, bool& v1Written,
                  std::string* reason = nullptr);

// The track number of a TRCK text: the part before the first "/" of the
// trimmed text as a whole number (leading blanks, an optional sign, then
// decimal digits, or hexadecimal ones after "$" or "0x"), modulo 256; 0 when
// that part is not such a number.
uint8_t ParseTrackNumber(const std::string& text);

// A TCON text without its numeric references: everything up to and including
// the last ")" of the trimmed text goes, so "(17)Rock" gives "Rock".
std::string StripGenrePrefix(const std::string& text);

// Rebuilds fileName with tag in front of its audio (the file behind its
// current ID3v2 tag, if any). The new content is written to a file without a
// name beside the original, flushed to disk and then put in the original's
// place in one step, with the original's permission bits (the owner's write
// permission given back) and, where the writer may, its owner. False, with
// the original untouched and no temporary file left, when the file is
// missing, is not a regular file, belongs to another user who did not let
// this one write it, is held under a lock by another program, or the new
// file cannot be written or put in place. A symbolic link is followed: the
// file it points to is rebuilt and the link stays.
// When reason is given, a failure puts the cause there.
bool ReplaceLeadingTag(const std::string& fileName, std::string_view tag, std::string* reason = nullptr);

} // namespace tindrel
