// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v1.h"

#include "tags/TagFile.h"

#include "platform/FileStream.h"
#include "platform/FolderEntry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

using tagfile::ReadAt;
using tagfile::UniqueFd;

// Five names a line, each line marked with the number of its first name.
// clang-format off
const std::array<std::string_view, kGenreCount> GenreNames = {
    /*   0 */ "Blues", "Classic Rock", "Country", "Dance", "Disco",
    /*   5 */ "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    /*  10 */ "New Age", "Oldies", "Other", "Pop", "R&B",
    /*  15 */ "Rap", "Reggae", "Rock", "Techno", "Industrial",
    /*  20 */ "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack",
    /*  25 */ "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk",
    /*  30 */ "Fusion", "Trance", "Classical", "Instrumental", "Acid",
    /*  35 */ "House", "Game", "Sound Clip", "Gospel", "Noise",
    /*  40 */ "AlternRock", "Bass", "Soul", "Punk", "Space",
    /*  45 */ "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
    /*  50 */ "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance",
    /*  55 */ "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta",
    /*  60 */ "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    /*  65 */ "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes",
    /*  70 */ "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz",
    /*  75 */ "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    /*  80 */ "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion",
    /*  85 */ "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    /*  90 */ "Avantgarde", "Gothic Rock", "Progessive Rock", "Psychedelic Rock", "Symphonic Rock",
    /*  95 */ "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic",
    /* 100 */ "Humour", "Speech", "Chanson", "Opera", "Chamber Music",
    /* 105 */ "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove",
    /* 110 */ "Satire", "Slow Jam", "Club", "Tango", "Samba",
    /* 115 */ "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle",
    /* 120 */ "Duet", "Punk Rock", "Drum Solo", "A capella", "Euro-House",
    /* 125 */ "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore",
    /* 130 */ "Terror", "Indie", "BritPop", "Afro-Punk", "Polsk Punk",
    /* 135 */ "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover",
    /* 140 */ "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Trash Metal",
    /* 145 */ "Anime", "JPop", "Synthpop",
};
// clang-format on

namespace {

using Block = std::array<uint8_t, TID3v1::kBlockSize>;

constexpr std::size_t kTitleAt = 3;
constexpr std::size_t kArtistAt = 33;
constexpr std::size_t kAlbumAt = 63;
constexpr std::size_t kYearAt = 93;
constexpr std::size_t kCommentAt = 97;
constexpr std::size_t kTextWidth = 30;
constexpr std::size_t kYearWidth = 4;
constexpr std::size_t kShortCommentWidth = 28;
constexpr std::size_t kTrackMarkAt = 125;
constexpr std::size_t kTrackAt = 126;
constexpr std::size_t kGenreAt = 127;

bool hasTag(const Block& block) {
    return block[0] == 'T' && block[1] == 'A' && block[2] == 'G';
}

// The last 128 bytes of an open file; false when it is shorter.
bool readLastBlock(int fd, Block& block, off_t& fileSize) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < off_t(TID3v1::kBlockSize))
        return false;
    fileSize = st.st_size;
    return ReadAt(fd, block.data(), block.size(), fileSize - off_t(block.size()));
}

bool readLastBlock(const std::string& fileName, Block& block) {
    UniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    off_t size = 0;
    return fd.valid() && readLastBlock(fd.get(), block, size);
}

// A field's bytes without trailing bytes of value 0 to 32, at most width long.
std::string fieldText(const Block& block, std::size_t at, std::size_t width) {
    const std::string_view raw(reinterpret_cast<const char*>(block.data() + at), width);
    return tagfile::TrimRight(raw).substr(0, width);
}

std::string fitText(const std::string& value, std::size_t width) {
    return tagfile::TrimRight(value).substr(0, width);
}

void putText(Block& block, std::size_t at, const std::string& text) {
    std::memcpy(block.data() + at, text.data(), text.size());
}

// Version 1.1 keeps the track in the last comment byte behind a 0; some
// taggers put a space there instead, which is why a space counts as well.
bool isVersion11(const Block& block) {
    const uint8_t mark = block[kTrackMarkAt];
    const uint8_t track = block[kTrackAt];
    return (mark == 0 && track != 0) || (mark == ' ' && track != ' ');
}

// Runs change on the file opened for writing under an exclusive lock, after
// giving the owner write permission back; a failure restores the old mode.
template <typename Change> bool changeFile(const std::string& fileName, Change change) {
    tagfile::FileForChange file;
    try {
        // A link is followed only where the kernel guarding shared folders
        // would follow it.
        if (!file.open(FollowOwnLinks(fileName)))
            return false;
    } catch (const std::exception&) {
        errno = EPERM; // a link of another user, or no folder to open it in
        return false;
    }
    Block block{};
    off_t size = 0;
    return readLastBlock(file.fd(), block, size) && change(file.fd(), block, size) && file.commit();
}

} // namespace

void TID3v1::Clear() {
    m_exists = false;
    m_version = kVersion10;
    m_title.clear();
    m_artist.clear();
    m_album.clear();
    m_year.clear();
    m_comment.clear();
    m_track = 0;
    m_genreIndex = kNoGenre;
}

bool TID3v1::Load(const std::string& fileName) {
    Clear();
    Block block{};
    if (!readLastBlock(fileName, block))
        return false;
    if (hasTag(block))
        readBlock(block);
    return true;
}

bool TID3v1::Load(const FileStream& file) {
    Clear();
    Block block{};
    off_t size = 0;
    if (!readLastBlock(file.fd(), block, size))
        return false;
    if (hasTag(block))
        readBlock(block);
    return true;
}

void TID3v1::readBlock(const Block& block) {
    m_exists = true;
    m_version = isVersion11(block) ? kVersion11 : kVersion10;
    m_title = fieldText(block, kTitleAt, kTextWidth);
    m_artist = fieldText(block, kArtistAt, kTextWidth);
    m_album = fieldText(block, kAlbumAt, kTextWidth);
    m_year = fieldText(block, kYearAt, kYearWidth);
    if (m_version == kVersion11) {
        m_comment = fieldText(block, kCommentAt, kShortCommentWidth);
        m_track = block[kTrackAt];
    } else {
        m_comment = fieldText(block, kCommentAt, kTextWidth);
    }
    m_genreIndex = block[kGenreAt];
}

Block TID3v1::BuildBlock() const {
    Block block{};
    putText(block, 0, "TAG");
    putText(block, kTitleAt, m_title);
    putText(block, kArtistAt, m_artist);
    putText(block, kAlbumAt, m_album);
    putText(block, kYearAt, m_year);
    putText(block, kCommentAt, m_comment);
    if (m_track > 0) {
        block[kTrackMarkAt] = 0;
        block[kTrackAt] = m_track;
    }
    block[kGenreAt] = m_genreIndex;
    return block;
}

bool TID3v1::Remove(const std::string& fileName) {
    Block block{};
    if (!readLastBlock(fileName, block))
        return false;
    if (!hasTag(block))
        return true;
    return changeFile(fileName, [](int fd, const Block& current, off_t size) {
        return !hasTag(current) || ::ftruncate(fd, size - off_t(kBlockSize)) == 0;
    });
}

bool TID3v1::Save(const std::string& fileName) {
    const Block newBlock = BuildBlock();
    // An old tag is overwritten in place rather than cut off and appended
    // again, so no moment exists at which the file has lost its tag.
    return changeFile(fileName, [&newBlock](int fd, const Block& current, off_t size) {
        const off_t at = hasTag(current) ? size - off_t(kBlockSize) : size;
        if (tagfile::WriteAt(fd, newBlock.data(), newBlock.size(), at))
            return true;
        if (at == size) // a half-written append (disk full) is cut off again
            (void)::ftruncate(fd, size);
        return false;
    });
}

std::string TID3v1::GenreName() const {
    return m_genreIndex < kGenreCount ? std::string(GenreNames[m_genreIndex]) : std::string();
}

void TID3v1::SetTitle(const std::string& value) {
    m_title = fitText(value, kTextWidth);
}
void TID3v1::SetArtist(const std::string& value) {
    m_artist = fitText(value, kTextWidth);
}
void TID3v1::SetAlbum(const std::string& value) {
    m_album = fitText(value, kTextWidth);
}
void TID3v1::SetYear(const std::string& value) {
    m_year = fitText(value, kYearWidth);
}
void TID3v1::SetComment(const std::string& value) {
    m_comment = fitText(value, kTextWidth);
}

} // namespace tindrel
