// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "player/WMAfile.h"

#include "player/ReaderText.h"
#include "tests/player/LittleEndianBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

namespace tindrel {
namespace {

using test::Append;
using test::Append16;
using test::Append32;
using test::Bytes;
using test::TempDir;

// GUIDs in their file layout.
const Bytes kHeaderGuid{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kFilePropertiesGuid{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Bytes kStreamPropertiesGuid{0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Bytes kContentGuid{0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kExtendedContentGuid{0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

Bytes Utf16(const std::u16string& text) {
    Bytes bytes;
    for (char16_t c : text)
        Append16(bytes, c);
    return bytes;
}

// An object: GUID, 64-bit size, then the body.
Bytes Object(const Bytes& guid, const Bytes& body) {
    Bytes object = guid;
    Append32(object, uint32_t(24 + body.size()));
    Append32(object, 0);
    Append(object, body);
    return object;
}

Bytes FileProperties(uint32_t maxBitRate) {
    Bytes body(104 - 24, 0);
    test::Put32(body, 100 - 24, maxBitRate);
    return Object(kFilePropertiesGuid, body);
}

Bytes StreamProperties(uint16_t channels, uint32_t rate, uint32_t bytesPerSecond) {
    // The audio format record starts at object offset 78 with its format tag.
    Bytes body(78 - 24, 0);
    Append16(body, 0x161); // WMA version 2
    Append16(body, channels);
    Append32(body, rate);
    Append32(body, bytesPerSecond);
    body.resize(body.size() + 8, 0);
    return Object(kStreamPropertiesGuid, body);
}

Bytes ContentDescription(const std::u16string& title, const std::u16string& author, const std::u16string& comment) {
    const Bytes texts[5] = {Utf16(title), Utf16(u"(c)"), Utf16(comment), Utf16(u"PG")};
    const Bytes authorBytes = Utf16(author);
    Bytes body;
    for (const Bytes* t : {&texts[0], &authorBytes, &texts[1], &texts[2], &texts[3]})
        Append16(body, uint16_t(t->size()));
    for (const Bytes* t : {&texts[0], &authorBytes, &texts[1], &texts[2], &texts[3]})
        Append(body, *t);
    return Object(kContentGuid, body);
}

struct Descriptor {
    std::u16string name;
    uint16_t type;
    Bytes value;
};

Bytes ExtendedContent(const std::vector<Descriptor>& descriptors) {
    Bytes body;
    Append16(body, uint16_t(descriptors.size()));
    for (const auto& d : descriptors) {
        const Bytes name = Utf16(d.name);
        Append16(body, uint16_t(name.size()));
        Append(body, name);
        Append16(body, d.type);
        Append16(body, uint16_t(d.value.size()));
        Append(body, d.value);
    }
    return Object(kExtendedContentGuid, body);
}

Descriptor Text(const std::u16string& name, const std::u16string& value) {
    return {name, 0, Utf16(value + u'\0')};
}

Bytes AsfFile(const std::vector<Bytes>& objects, std::optional<uint32_t> count = std::nullopt) {
    Bytes file = kHeaderGuid;
    Bytes rest;
    for (const auto& object : objects)
        Append(rest, object);
    Append32(file, uint32_t(30 + rest.size()));
    Append32(file, 0);
    Append32(file, count.value_or(uint32_t(objects.size())));
    Append16(file, 0x0201);
    Append(file, rest);
    file.resize(file.size() + 1000, 0); // stand-in for the data object
    return file;
}

std::vector<Bytes> Plausible() {
    return {FileProperties(64'000), StreamProperties(2, 44100, 8000)};
}

TEST(WMAfile, ReadsTheEncoderSamples) {
    const std::string tagged = test::TestDataDir() + "/player/tagged.wma";
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(tagged));
    ASSERT_TRUE(wma.Valid());
    const auto size = int64_t(std::filesystem::file_size(tagged));
    EXPECT_EQ(wma.FileSize(), size);
    EXPECT_EQ(wma.Channels(), 2);
    EXPECT_EQ(wma.SampleRate(), 44100u);
    EXPECT_EQ(wma.BitRate(), 64u);
    // Two seconds of audio; the maximum rate of 64 kbit/s over the whole file
    // overestimates it a little.
    EXPECT_DOUBLE_EQ(wma.Duration(), size * 8.0 / 64'000);
    EXPECT_EQ(wma.Title(), u"WMA Title");
    EXPECT_EQ(wma.Artist(), u"WMA Author");
    EXPECT_EQ(wma.Album(), u"WMA Album");
    EXPECT_EQ(wma.Track(), 5);
    EXPECT_EQ(wma.Year(), u"2021");

    ASSERT_TRUE(wma.ReadFromFile(test::TestDataDir() + "/player/mono22.wma"));
    EXPECT_TRUE(wma.Valid());
    EXPECT_EQ(wma.Channels(), 1);
    EXPECT_EQ(wma.SampleRate(), 22050u);
    EXPECT_EQ(wma.BitRate(), 32u);
    EXPECT_EQ(wma.Title(), u"");
}

TEST(WMAfile, AFileThatIsNotASFIsReadButNotValid) {
    TempDir dir;
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(test::TestDataDir() + "/player/tagged.wma"));
    EXPECT_TRUE(wma.ReadFromFile(dir.write("riff.wma", test::PatternBytes(5000, 3))));
    EXPECT_FALSE(wma.Valid());
    EXPECT_EQ(wma.FileSize(), 0);
    EXPECT_EQ(wma.Title(), u"");
    // Too short for the GUID: a read past the end.
    EXPECT_FALSE(wma.ReadFromFile(dir.write("short.wma", Bytes(15, 0x30))));
    EXPECT_FALSE(wma.ReadFromFile(dir.file("missing.wma")));
}

TEST(WMAfile, ThePlausibilityTestGuardsTheFields) {
    struct Case {
        const char* what;
        uint32_t maxBitRate;
        uint16_t channels;
        uint32_t rate;
        uint32_t bytesPerSecond;
        bool valid;
    };
    const Case cases[] = {
        {"typical", 128'000, 2, 44100, 16'000, true},
        {"maximum rate 319999", 319'999, 2, 44100, 16'000, true},
        {"maximum rate 320000", 320'000, 2, 44100, 16'000, false},
        {"no maximum rate", 0, 2, 44100, 16'000, false},
        {"mono at 8000 Hz", 16'000, 1, 8000, 1000, true},
        {"7999 Hz", 16'000, 1, 7999, 1000, false},
        {"96000 Hz", 128'000, 2, 96000, 16'000, true},
        {"96001 Hz", 128'000, 2, 96001, 16'000, false},
        {"six channels", 128'000, 6, 44100, 16'000, false},
        {"39999 bytes per second", 128'000, 2, 44100, 39'999, true},
        {"40000 bytes per second", 128'000, 2, 44100, 40'000, false},
        {"no average", 128'000, 2, 44100, 0, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const Bytes file =
            AsfFile({FileProperties(c.maxBitRate), StreamProperties(c.channels, c.rate, c.bytesPerSecond),
                     ContentDescription(u"T", u"A", u"C")});
        TWMAfile wma;
        ASSERT_TRUE(wma.ReadFromFile(dir.write("case.wma", file))) << c.what;
        EXPECT_EQ(wma.Valid(), c.valid) << c.what;
        EXPECT_EQ(wma.Title(), c.valid ? u"T" : u"") << c.what;
        EXPECT_EQ(wma.SampleRate(), c.valid ? c.rate : 0u) << c.what;
        if (c.valid) {
            EXPECT_DOUBLE_EQ(wma.Duration(), double(file.size()) * 8 / c.maxBitRate) << c.what;
            EXPECT_EQ(wma.BitRate(), c.bytesPerSecond * 8 / 1000) << c.what;
        }
    }
}

TEST(WMAfile, LaterTextsReplaceEarlierOnesAcrossBothObjects) {
    const std::u16string longText(300, u'w');
    std::vector<Bytes> objects = Plausible();
    objects.push_back(ContentDescription(u"  Old title ", u"Author", u"Old comment"));
    objects.push_back(ExtendedContent({
        Text(u"WM/Title", u"New title"),
        Text(u" wm/albumtitle ", u"Album"),
        {u"WM/Genre", 3, {1, 0, 0, 0}}, // a number: skipped, sets nothing
        Text(u"WM/Track", u" 12 "),
        Text(u"WM/Year", u"1999"),
        Text(u"WM/Description", longText),
        Text(u"WM/Unknown", u"ignored"),
    }));
    objects.push_back(StreamProperties(1, 22050, 4000)); // replaces the first
    TempDir dir;
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(dir.write("tags.wma", AsfFile(objects))));
    ASSERT_TRUE(wma.Valid());
    EXPECT_EQ(wma.Title(), u"New title");
    EXPECT_EQ(wma.Artist(), u"Author");
    EXPECT_EQ(wma.Album(), u"Album");
    EXPECT_EQ(wma.Genre(), u"");
    EXPECT_EQ(wma.Track(), 12);
    EXPECT_EQ(wma.Year(), u"1999");
    EXPECT_EQ(wma.Comment(), std::u16string(250, u'w'));
    EXPECT_EQ(wma.Channels(), 1);
    EXPECT_EQ(wma.SampleRate(), 22050u);

    EXPECT_EQ(WideToUtf8(wma.Title()), "New title");
}

TEST(WMAfile, TheTrackTextIsANumberInAnyOfTheProgramsForms) {
    const struct {
        std::u16string text;
        int32_t track;
    } cases[] = {{u"x", 0}, {u" $0A ", 10}, {u"0x0C", 12}, {u"300", 300}, {u"7/12", 0}};
    for (const auto& c : cases) {
        std::vector<Bytes> objects = Plausible();
        objects.push_back(ExtendedContent({Text(u"WM/Track", c.text)}));
        TempDir dir;
        TWMAfile wma;
        ASSERT_TRUE(wma.ReadFromFile(dir.write("track.wma", AsfFile(objects))));
        EXPECT_EQ(wma.Track(), c.track) << WideToUtf8(c.text);
    }
}

TEST(WMAfile, ATinyObjectEndsTheWalkButACutOneFailsTheRead) {
    const auto withLast = [](Bytes last) {
        std::vector<Bytes> objects = Plausible();
        objects.push_back(ContentDescription(u"T", u"A", u"C"));
        objects.push_back(std::move(last));
        return AsfFile(objects);
    };
    const auto sized = [](uint32_t size) {
        Bytes object = Object(Bytes(16, 0x11), {});
        test::Put32(object, 16, size);
        return object;
    };
    std::vector<Bytes> described = Plausible();
    described.push_back(ContentDescription(u"T", u"A", u"C"));
    const Bytes whole = AsfFile(described);
    // Header 30, file properties 104, stream properties 98, then the content
    // description's 50 bytes, of which the rating "PG" is the last 4.
    const Bytes cutInRating(whole.begin(), whole.begin() + 30 + 104 + 98 + 48);
    const Bytes cutInRate(whole.begin(), whole.begin() + 30 + 104 + 84);
    Bytes countTooHigh = AsfFile(Plausible(), 0xFFFFFFFF);
    countTooHigh.resize(30 + 104 + 98); // no stand-in data after the objects
    struct Case {
        const char* what;
        Bytes file;
        bool read;
    };
    const Case cases[] = {
        {"an object of size 0 after the others", withLast(sized(0)), true},
        {"an object of size 10 after the others", withLast(sized(10)), true},
        {"more objects than the file holds", countTooHigh, false},
        {"cut inside the stream properties", cutInRate, false},
        {"cut inside the rating", cutInRating, false},
    };
    const auto start = std::chrono::steady_clock::now();
    for (const auto& c : cases) {
        TempDir dir;
        TWMAfile wma;
        EXPECT_EQ(wma.ReadFromFile(dir.write("odd.wma", c.file)), c.read) << c.what;
        EXPECT_EQ(wma.Valid(), c.read) << c.what;
        EXPECT_EQ(wma.Title(), c.read ? u"T" : u"") << c.what;
        EXPECT_EQ(wma.Comment(), c.read ? u"C" : u"") << c.what;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(WMAfile, TheDurationOfALargeFileDoesNotOverflow) {
    // 300,000,000 bytes times 8 does not fit in 32 bits. The file is sparse,
    // so it costs no disk space.
    TempDir dir;
    const std::string path = dir.write("large.wma", AsfFile(Plausible()));
    std::filesystem::resize_file(path, 300'000'000);
    TWMAfile wma;
    ASSERT_TRUE(wma.ReadFromFile(path));
    ASSERT_TRUE(wma.Valid());
    EXPECT_DOUBLE_EQ(wma.Duration(), 300'000'000.0 * 8 / 64'000);
}

} // namespace
} // namespace tindrel
