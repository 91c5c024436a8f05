// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v2.h"

#include "tests/tags/TagTestFiles.h"

#include <gtest/gtest.h>

namespace tindrel {
namespace {

using namespace std::string_literals;

using test::Bytes;
using test::Concat;
using test::CopySample;
using test::PatternBytes;
using test::TempDir;
using test::ToBytes;

// A tag header of the given major version declaring bodySize bytes.
Bytes TagHeaderBytes(uint8_t major, uint32_t bodySize) {
    return {'I',
            'D',
            '3',
            major,
            0,
            0,
            uint8_t(bodySize >> 21 & 0x7F),
            uint8_t(bodySize >> 14 & 0x7F),
            uint8_t(bodySize >> 7 & 0x7F),
            uint8_t(bodySize & 0x7F)};
}

// A version 2.3 frame with the given content (encoding byte included).
Bytes Frame(const std::string& id, const std::string& content) {
    const auto size = static_cast<uint32_t>(content.size());
    Bytes frame = ToBytes(id);
    frame.insert(frame.end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 0, 0});
    return Concat(frame, ToBytes(content));
}

// A version 2.3 tag of the given frames followed by padding and some audio.
Bytes V23File(const Bytes& frames, std::size_t padding = 20) {
    const Bytes body = Concat(frames, Bytes(padding, 0));
    return Concat(Concat(TagHeaderBytes(3, uint32_t(body.size())), body), PatternBytes(500, 9));
}

void ExpectNoFields(const TID3v2& tag) {
    EXPECT_EQ(tag.Title(), "");
    EXPECT_EQ(tag.Artist(), "");
    EXPECT_EQ(tag.Album(), "");
    EXPECT_EQ(tag.Year(), "");
    EXPECT_EQ(tag.Genre(), "");
    EXPECT_EQ(tag.Comment(), "");
    EXPECT_EQ(tag.Track(), 0);
}

TEST(ID3v2Load, ReadsTheTagOfTheId3v2Tool) {
    TempDir dir;
    TID3v2 tag;
    ASSERT_TRUE(tag.Load(CopySample(dir, "id3v2-tool.mp3")));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.MajorVersion(), 3);
    EXPECT_EQ(tag.TagSize(), 4 * 128 + 0x3f + 10); // header size bytes 00 00 04 3f
    EXPECT_EQ(tag.Title(), "Song Title");
    EXPECT_EQ(tag.Artist(), "Some Artist");
    EXPECT_EQ(tag.Album(), "An Album");
    EXPECT_EQ(tag.Year(), "2001");
    EXPECT_EQ(tag.Track(), 3);  // "3/12"
    EXPECT_EQ(tag.Genre(), ""); // "(17)": no genre number is looked up
    EXPECT_EQ(tag.Comment(), "hello");
}

TEST(ID3v2Load, ReadsTheVersion23TagOfEyeD3) {
    TempDir dir;
    TID3v2 tag;
    ASSERT_TRUE(tag.Load(CopySample(dir, "eyed3-v23.mp3")));
    EXPECT_EQ(tag.MajorVersion(), 3);
    EXPECT_EQ(tag.Title(), "Caf\xe9 Song");
    EXPECT_EQ(tag.Artist(), "Eye Artist");
    EXPECT_EQ(tag.Album(), "Eye Album");
    EXPECT_EQ(tag.Track(), 7); // "07"
    EXPECT_EQ(tag.Genre(), "Jazz");
    EXPECT_EQ(tag.Comment(), "eye comment"); // behind a language code "eng"
}

TEST(ID3v2Load, OtherVersionsGiveTheirSizeButNoFields) {
    TempDir dir;
    TID3v2 tag;
    const std::string v24 = CopySample(dir, "mid3v2-v24.mp3");
    ASSERT_TRUE(tag.Load(v24));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.MajorVersion(), 4);
    EXPECT_EQ(tag.TagSize(), 8 * 128 + 0x35 + 10); // 00 00 08 35
    ExpectNoFields(tag);

    // Version 2.2 frames have 3-letter IDs; this one would read as a title.
    const Bytes frames = ToBytes(std::string("TT2\0\0\x05\0abcd", 11));
    const Bytes v22 = Concat(Concat(TagHeaderBytes(2, 11), frames), PatternBytes(100, 3));
    ASSERT_TRUE(tag.Load(dir.write("v22.mp3", v22)));
    EXPECT_EQ(tag.MajorVersion(), 2);
    EXPECT_EQ(tag.TagSize(), 21);
    ExpectNoFields(tag);
}

TEST(ID3v2Load, HeaderEdges) {
    struct Case {
        const char* name;
        Bytes bytes;
        bool loads, exists;
        int32_t tagSize;
    };
    const Bytes header = TagHeaderBytes(3, 90);
    const Case cases[] = {
        {"9 bytes", Bytes(header.begin(), header.end() - 1), false, false, 0},
        {"header only, size 0", TagHeaderBytes(3, 0), true, true, 10},
        {"declared size past the end", Concat(header, PatternBytes(89, 1)), true, true, 0},
        {"declared size reaching the end", Concat(header, PatternBytes(90, 1)), true, true, 100},
        {"no tag", PatternBytes(300, 2), true, false, 0},
        // Size bytes with the top bit set are taken as they stand.
        {"unmasked size bytes", Concat({'I', 'D', '3', 3, 0, 0, 0, 0, 0x81, 0x80}, Bytes(16640, 0)), true, true,
         0x81 * 128 + 0x80 + 10},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TID3v2 tag;
        tag.SetTitle("stale");
        EXPECT_EQ(tag.Load(dir.write("f", c.bytes)), c.loads) << c.name;
        EXPECT_EQ(tag.Exists(), c.exists) << c.name;
        EXPECT_EQ(tag.TagSize(), c.tagSize) << c.name;
        EXPECT_EQ(tag.Title(), "") << c.name;
    }
    TID3v2 tag;
    EXPECT_FALSE(tag.Load(dir.file("missing")));
}

TEST(ID3v2Load, FrameWalk) {
    const std::string longText = std::string(1, '\0') + std::string(150, 'a') + std::string(149, 'b');
    struct Case {
        const char* name;
        Bytes frames;
        std::string title, comment, genre;
    };
    const std::string comm = std::string("\0eng\0hello", 10);
    const Case cases[] = {
        {"first 250 bytes of a 300-byte frame", Frame("TIT2", longText), std::string(150, 'a') + std::string(99, 'b'),
         "", ""},
        {"the second of two COMM frames", Concat(Frame("COMM", comm), Frame("COMM", std::string("\0eng\0bye", 8))), "",
         "bye", ""},
        {"a comment description stays before its text", Frame("COMM", std::string("\0engdesc\0text", 13)), "",
         std::string("desc\0text", 9), ""},
        {"unknown frames are stepped over", Concat(Frame("TXXX", std::string(400, 'z')), Frame("TCON", "\0(17)Rock"s)),
         "", "", "Rock"},
        {"padding ends the walk", Concat(Concat(Frame("TIT2", "\0one"s), Bytes(5, 0)), Frame("TALB", "\0x"s)), "one",
         "", ""},
        {"leading and trailing blanks go", Frame("TIT2", "\x01  two \r\n"), "two", "", ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TID3v2 tag;
        ASSERT_TRUE(tag.Load(dir.write("f", V23File(c.frames)))) << c.name;
        EXPECT_EQ(tag.Title(), c.title) << c.name;
        EXPECT_EQ(tag.Comment(), c.comment) << c.name;
        EXPECT_EQ(tag.Genre(), c.genre) << c.name;
    }
}

TEST(ID3v2Load, AFrameCutOffByTheEndOfTheFileKeepsTheFramesBefore) {
    Bytes frames = Concat(Frame("TIT2", "\0kept"s), Frame("TPE1", std::string(40, 'q')));
    const Bytes file = Concat(TagHeaderBytes(3, uint32_t(frames.size())), frames);
    TempDir dir;
    TID3v2 tag;
    // The file ends in the middle of the artist frame.
    ASSERT_TRUE(tag.Load(dir.write("f", Bytes(file.begin(), file.end() - 10))));
    EXPECT_EQ(tag.TagSize(), 0); // the declared size runs past the end
    EXPECT_EQ(tag.Title(), "");

    // A frame size that points far past the tag ends the walk there.
    const Bytes huge = Concat(Concat(TagHeaderBytes(3, 60), Frame("TIT2", "\0ok"s)),
                              ToBytes(std::string("TPE1\xff\xff\xff\xff\0\0\0x", 12)));
    ASSERT_TRUE(tag.Load(dir.write("g", Concat(huge, Bytes(100, 0)))));
    EXPECT_EQ(tag.Title(), "ok");
    EXPECT_EQ(tag.Artist(), "");
}

TEST(ID3v2Text, ParseTrackNumber) {
    const std::pair<std::string, int> cases[] = {
        {"3/12", 3},        {"3 /12", 0},       {"abc", 0},        {"300", 44}, {" 7 ", 7},          {"\0 5"s, 5},
        {"$1F", 31},        {"0x10", 16},       {"0X10", 16},      {"-1", 255}, {"+5", 5},           {"", 0},
        {"/5", 0},          {"$", 0},           {"0x", 0},         {"1 2", 0},  {"2147483647", 255}, {"2147483648", 0},
        {"-2147483648", 0}, {"$FFFFFFFF", 255}, {"$100000000", 0}, {"12a", 0},  {"--1", 0},          {"07", 7},
    };
    for (const auto& [text, track] : cases)
        EXPECT_EQ(ParseTrackNumber(text), track) << '"' << text << '"';
}

TEST(ID3v2Text, StripGenrePrefix) {
    const std::pair<const char*, const char*> cases[] = {
        {"(17)Rock", "Rock"}, {"(17)", ""},         {"Rock", "Rock"},         {" (1)(2)Pop ", "Pop"},
        {"Rock (live)", ""},  {"\x01Jazz", "Jazz"}, {"(4)) Disco", " Disco"},
    };
    for (const auto& [text, genre] : cases)
        EXPECT_EQ(StripGenrePrefix(text), genre) << '"' << text << '"';
}

} // namespace
} // namespace tindrel
