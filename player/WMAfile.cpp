// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/WMAfile.h"

#include "mpeg/FileWindow.h"
#include "platform/FileStream.h"
#include "platform/PlatformInt.h"
#include "player/ReaderText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <vector>

namespace tindrel {

namespace {

using Guid = std::array<uint8_t, 16>;

// GUIDs as they stand in the file: the first three groups little-endian.
constexpr Guid kHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kStreamProperties{0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentDescription{0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContentDescription{0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                           0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

constexpr std::size_t kMaxTextBytes = 500; // 250 characters
// An object holds at least its GUID and its 64-bit size.
constexpr uint32_t kMinObjectSize = 24;

enum class Field { Title, Artist, Album, Track, Year, Genre, Comment, Count };

// Reads at an explicit position; running past the end of the file is an error.
class AsfCursor {
public:
    explicit AsfCursor(const FileStream& file) : m_file(file), m_size(file.size()) {}
    int64_t position() const { return m_position; }
    void seek(int64_t position) { m_position = position; }
    void skip(int64_t count) { m_position += count; }
    void read(void* buffer, std::size_t count) {
        if (m_position < 0 || m_position + int64_t(count) > m_size)
            throw std::runtime_error("Stream read error");
        ReadWindow(m_file, m_position, std::span(static_cast<uint8_t*>(buffer), count));
        m_position += int64_t(count);
    }
    uint16_t read16() {
        uint8_t raw[2];
        read(raw, 2);
        return LittleEndian16(raw);
    }
    uint32_t read32() {
        uint8_t raw[4];
        read(raw, 4);
        return LittleEndian32(raw);
    }
    Guid readGuid() {
        Guid guid;
        read(guid.data(), guid.size());
        return guid;
    }
    // A UTF-16 text of length bytes: at most 250 characters are kept, a
    // terminating zero included; the rest is skipped.
    std::u16string readText(uint16_t length) {
        const std::size_t kept = std::min<std::size_t>(length, kMaxTextBytes) / 2 * 2;
        std::vector<uint8_t> raw(kept);
        read(raw.data(), raw.size());
        skip(int64_t(length) - int64_t(kept));
        std::u16string text;
        for (std::size_t i = 0; i < kept; i += 2)
            text += char16_t(LittleEndian16(&raw[i]));
        return text;
    }

private:
    const FileStream& m_file;
    int64_t m_size;
    int64_t m_position = 0;
};

std::string upperAscii(std::u16string_view text) {
    std::string out = WideToUtf8(TrimBlanks(text));
    for (auto& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

} // namespace

struct TWMAfile::Header {
    uint32_t maxBitRate = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bytesPerSecond = 0;
    std::array<std::u16string, std::size_t(Field::Count)> texts;

    void readObjects(AsfCursor& in);
    void readObject(AsfCursor& in, const Guid& guid, int64_t start);
    void readContentDescription(AsfCursor& in);
    void readExtendedContentDescription(AsfCursor& in);
    void set(Field field, std::u16string text) { texts[std::size_t(field)] = std::move(text); }
    const std::u16string& text(Field field) const { return texts[std::size_t(field)]; }
};

void TWMAfile::Header::readObjects(AsfCursor& in) {
    in.skip(8); // the header object's own size
    const uint32_t count = in.read32();
    in.skip(2);
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t start = in.position();
        const Guid guid = in.readGuid();
        const uint32_t size = in.read32(); // the low half of the 64-bit size
        readObject(in, guid, start);
        // A size that cannot hold the object's own head points back into it
        // (a size of 0 at the very same bytes): no further object can be
        // found, so the walk ends with what was read so far.
        if (size < kMinObjectSize)
            break;
        in.seek(start + size);
    }
}

void TWMAfile::Header::readObject(AsfCursor& in, const Guid& guid, int64_t start) {
    if (guid == kFileProperties) {
        in.seek(start + 100);
        maxBitRate = in.read32();
    } else if (guid == kStreamProperties) {
        in.seek(start + 80);
        channels = in.read16();
        sampleRate = in.read32();
        bytesPerSecond = in.read32();
    } else if (guid == kContentDescription) {
        in.seek(start + 24);
        readContentDescription(in);
    } else if (guid == kExtendedContentDescription) {
        in.seek(start + 24);
        readExtendedContentDescription(in);
    }
}

void TWMAfile::Header::readContentDescription(AsfCursor& in) {
    std::array<uint16_t, 5> lengths{};
    for (auto& length : lengths)
        length = in.read16();
    set(Field::Title, in.readText(lengths[0]));
    set(Field::Artist, in.readText(lengths[1]));
    // The copyright and the rating are read like the others and dropped, so
    // an object cut off inside them fails the read as any cut text does.
    in.readText(lengths[2]);
    set(Field::Comment, in.readText(lengths[3]));
    in.readText(lengths[4]);
}

void TWMAfile::Header::readExtendedContentDescription(AsfCursor& in) {
    struct Name {
        const char* text;
        Field field;
    };
    static constexpr Name kNames[] = {
        {"WM/TITLE", Field::Title},         {"WM/AUTHOR", Field::Artist}, {"WM/ALBUMTITLE", Field::Album},
        {"WM/TRACK", Field::Track},         {"WM/YEAR", Field::Year},     {"WM/GENRE", Field::Genre},
        {"WM/DESCRIPTION", Field::Comment},
    };
    const uint16_t count = in.read16();
    for (uint16_t i = 0; i < count; ++i) {
        const std::string name = upperAscii(in.readText(in.read16()));
        const uint16_t type = in.read16();
        const uint16_t length = in.read16();
        if (type != 0) {
            in.skip(length);
            continue;
        }
        std::u16string value = in.readText(length);
        for (const auto& known : kNames)
            if (name == known.text)
                set(known.field, std::move(value));
    }
}

bool TWMAfile::ReadFromFile(const std::string& fileName) {
    clear();
    Header header;
    int64_t fileSize = 0;
    try {
        const FileStream file = FileStream::openRead(fileName);
        AsfCursor in(file);
        fileSize = file.size();
        if (in.readGuid() == kHeaderObject)
            header.readObjects(in);
    } catch (const std::exception&) {
        return false;
    }
    take(header, fileSize);
    return true;
}

void TWMAfile::take(const Header& header, int64_t fileSize) {
    const bool plausible = header.maxBitRate > 0 && header.maxBitRate < 320000 &&
                           (header.channels == 1 || header.channels == 2) && header.sampleRate >= 8000 &&
                           header.sampleRate <= 96000 && header.bytesPerSecond > 0 && header.bytesPerSecond < 40000;
    if (!plausible)
        return;
    m_valid = true;
    m_fileSize = fileSize;
    m_channels = static_cast<uint8_t>(header.channels);
    m_sampleRate = header.sampleRate;
    // In 64 bits: a file above 256 MiB must not get a negative length.
    m_duration = double(fileSize * 8) / header.maxBitRate;
    m_bitRate = header.bytesPerSecond * 8 / 1000;
    m_title = TrimBlanks(header.text(Field::Title));
    m_artist = TrimBlanks(header.text(Field::Artist));
    m_album = TrimBlanks(header.text(Field::Album));
    // The number syntax of every typed or stored track in the program
    // ("$0A" and "0x0A" too), but in the full 32 bits of this field.
    int32_t track = 0;
    m_track = TryParsePlatformInt(WideToUtf8(TrimBlanks(header.text(Field::Track))), track) ? track : 0;
    m_year = TrimBlanks(header.text(Field::Year));
    m_genre = TrimBlanks(header.text(Field::Genre));
    m_comment = TrimBlanks(header.text(Field::Comment));
}

} // namespace tindrel
