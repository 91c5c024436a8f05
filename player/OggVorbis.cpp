// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/OggVorbis.h"

#include "mpeg/FileWindow.h"
#include "mpeg/Rounding.h"
#include "platform/FileStream.h"
#include "player/ReaderText.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <vector>

namespace tindrel {

namespace {

constexpr std::size_t kPageHeaderSize = 282; // 27 bytes and up to 255 segment sizes
constexpr std::size_t kIdentificationSize = 30;
constexpr std::size_t kMaxCommentText = 250;
// The end search steps back 241 bytes at a time over 251-byte windows, so a
// page start in the last 10 bytes of one window is seen whole in the next.
constexpr int kEndWindows = 50;
constexpr int64_t kEndStep = 241;
constexpr std::size_t kEndWindowSize = 251;

std::vector<uint8_t> readAt(const FileStream& file, int64_t position, std::size_t count) {
    std::vector<uint8_t> bytes(count);
    ReadWindow(file, position, bytes);
    return bytes;
}

bool startsWith(const std::vector<uint8_t>& bytes, std::size_t at, std::string_view text) {
    return at + text.size() <= bytes.size() && std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

int64_t id3v2TagSize(const FileStream& file, int64_t fileSize) {
    const auto header = readAt(file, 0, 10);
    if (!startsWith(header, 0, "ID3"))
        return 0;
    int64_t size = int64_t(header[6]) * (1 << 21) + int64_t(header[7]) * (1 << 14) + int64_t(header[8]) * (1 << 7) +
                   header[9] + 10;
    if (header[5] & 0x10)
        size += 10; // a footer follows the tag
    return size > fileSize ? 0 : size;
}

// Reads forward through the file in blocks; bytes past its end read as 0.
class ByteCursor {
public:
    ByteCursor(const FileStream& file, int64_t position) : m_file(file), m_position(position) {}
    int64_t position() const { return m_position; }
    uint8_t next() {
        if (!m_loaded || m_position < m_blockStart || m_position >= m_blockStart + int64_t(m_block.size())) {
            m_blockStart = m_position;
            ReadWindow(m_file, m_blockStart, m_block);
            m_loaded = true;
        }
        return m_block[std::size_t(m_position++ - m_blockStart)];
    }
    uint32_t next32() {
        uint8_t raw[4];
        for (auto& b : raw)
            b = next();
        return LittleEndian32(raw);
    }
    void skip(int64_t count) { m_position += count; }

private:
    const FileStream& m_file;
    int64_t m_position;
    int64_t m_blockStart = 0;
    bool m_loaded = false;
    std::array<uint8_t, 4096> m_block{};
};

// The reader's own UTF-8 decoding: at most three bytes per character; a
// malformed or cut-off sequence ends the text.
std::u16string decodeUtf8(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    auto continuation = [&](std::size_t at) { return at < text.size() && (uint8_t(text[at]) & 0xC0) == 0x80; };
    while (i < text.size()) {
        const uint8_t lead = uint8_t(text[i]);
        if (lead < 0x80) {
            out += char16_t(lead);
            i += 1;
        } else if ((lead & 0x20) == 0) {
            if (!continuation(i + 1))
                break;
            out += char16_t((lead & 0x1F) << 6 | (uint8_t(text[i + 1]) & 0x3F));
            i += 2;
        } else {
            if (!continuation(i + 1) || !continuation(i + 2))
                break;
            out += char16_t((lead & 0x0F) << 12 | (uint8_t(text[i + 1]) & 0x3F) << 6 | (uint8_t(text[i + 2]) & 0x3F));
            i += 3;
        }
    }
    return out;
}

const std::array<std::string_view, 9> kCommentNames{"TITLE", "ARTIST",  "ALBUM",     "TRACKNUMBER", "DATE",
                                                    "GENRE", "COMMENT", "PERFORMER", "DESCRIPTION"};

} // namespace

struct TOggVorbis::Comments {
    std::map<std::string, std::string, std::less<>> fields;
    std::string vendor;

    const std::string& operator[](std::string_view name) const {
        static const std::string empty;
        const auto it = fields.find(name);
        return it == fields.end() ? empty : it->second;
    }
    void add(std::string_view raw) {
        const std::string text = TrimBlanks(raw);
        const auto equals = text.find('=');
        if (equals == std::string::npos) {
            // Entry 0 names the vendor; an empty one leaves the place to the
            // first later text without "=".
            if (vendor.empty())
                vendor = text;
            return;
        }
        std::string name = text.substr(0, equals);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; });
        if (std::find(kCommentNames.begin(), kCommentNames.end(), name) != kCommentNames.end())
            fields[name] = WideToUtf8(decodeUtf8(TrimBlanks(std::string_view(text).substr(equals + 1))));
    }
};

bool TOggVorbis::ReadFromFile(const std::string& fileName) {
    clear();
    const FileStream file = FileStream::openRead(fileName);
    try {
        if (!readHeaders(file)) {
            clear();
            return false;
        }
        findSamples(file);
    } catch (const std::exception&) {
        clear();
        return false;
    }
    return true;
}

bool TOggVorbis::readHeaders(const FileStream& file) {
    m_fileSize = file.size();
    m_id3v2Size = id3v2TagSize(file, m_fileSize);
    const auto firstPage = readAt(file, m_id3v2Size, kPageHeaderSize);
    if (!startsWith(firstPage, 0, "OggS"))
        return false;
    const int64_t identificationAt = m_id3v2Size + 27 + firstPage[26];
    const auto identification = readAt(file, identificationAt, kIdentificationSize);
    if (identification[0] != 1 || !startsWith(identification, 1, "vorbis"))
        return false;
    m_channels = identification[11];
    m_sampleRate = static_cast<uint16_t>(LittleEndian32(&identification[12]));
    const auto nominal = static_cast<int32_t>(LittleEndian32(&identification[20]));
    m_bitRateNominal = static_cast<uint16_t>(std::max<int64_t>(0, RoundHalfEven(nominal / 1000.0)));

    const int64_t secondPageAt = identificationAt + int64_t(kIdentificationSize);
    const auto secondPage = readAt(file, secondPageAt, kPageHeaderSize);
    const int64_t commentAt = secondPageAt + 27 + secondPage[26];
    const auto commentHead = readAt(file, commentAt, 7);
    Comments comments;
    if (commentHead[0] == 3 && startsWith(commentHead, 1, "vorbis"))
        readComments(file, commentAt + 7, comments);
    takeComments(comments);
    return true;
}

void TOggVorbis::readComments(const FileStream& file, int64_t position, Comments& comments) {
    // The packet is read as one run of bytes; page boundaries inside it are
    // not taken out. Counts and lengths are untrusted: reading stops at the
    // end of the file.
    ByteCursor cursor(file, position);
    uint32_t count = 0;
    for (uint64_t entry = 0; entry <= count && cursor.position() < m_fileSize; ++entry) {
        const uint32_t length = cursor.next32();
        std::string text(std::min<std::size_t>(length, kMaxCommentText), '\0');
        for (auto& c : text)
            c = static_cast<char>(cursor.next());
        cursor.skip(int64_t(length) - int64_t(text.size()));
        comments.add(text);
        if (entry == 0)
            count = cursor.next32();
    }
}

void TOggVorbis::takeComments(const Comments& comments) {
    m_title = comments["TITLE"];
    m_artist = comments["ARTIST"].empty() ? comments["PERFORMER"] : comments["ARTIST"];
    m_album = comments["ALBUM"];
    // The same rule as an ID3v2 track: "n/total" gives n, any of the
    // program's number forms, modulo 256.
    m_track = ParseTrackNumber(comments["TRACKNUMBER"]);
    m_date = comments["DATE"];
    m_genre = comments["GENRE"];
    m_comment = comments["COMMENT"].empty() ? comments["DESCRIPTION"] : comments["COMMENT"];
    m_vendor = comments.vendor;
}

void TOggVorbis::findSamples(const FileStream& file) {
    for (int i = 1; i <= kEndWindows; ++i) {
        const int64_t start = m_fileSize - kEndStep * i - 10;
        if (start + int64_t(kEndWindowSize) <= 0)
            return; // the windows have passed the start of the file
        const auto window = readAt(file, start, kEndWindowSize);
        for (int offset = int(kEndStep); offset >= 0; --offset) {
            if (startsWith(window, std::size_t(offset), "OggS")) {
                m_samples = static_cast<int32_t>(LittleEndian32(&window[std::size_t(offset) + 6]));
                return;
            }
        }
    }
}

double TOggVorbis::Duration() const {
    if (m_samples > 0)
        return m_sampleRate == 0 ? 0.0 : double(m_samples) / m_sampleRate;
    if (m_bitRateNominal > 0 && m_channels > 0)
        return double(m_fileSize - m_id3v2Size) / m_bitRateNominal / m_channels / 125.0 * 2.0;
    return 0.0;
}

uint16_t TOggVorbis::BitRate() const {
    const double duration = Duration();
    if (duration <= 0.0)
        return 0;
    return static_cast<uint16_t>(RoundHalfEven(double(m_fileSize - m_id3v2Size) / duration / 125.0));
}

bool TOggVorbis::Valid() const {
    return (m_channels == 1 || m_channels == 2) && m_sampleRate > 0 && Duration() > 0.1 && BitRate() > 0;
}

} // namespace tindrel
