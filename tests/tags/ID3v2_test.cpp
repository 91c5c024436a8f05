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
    EXPECT_EQ(tag.Title(), "Caf\xc3\xa9 Song");
    EXPECT_EQ(tag.Artist(), "Eye Artist");
    EXPECT_EQ(tag.Album(), "Eye Album");
    EXPECT_EQ(tag.Track(), 7); // "07"
    EXPECT_EQ(tag.Genre(), "Jazz");
    EXPECT_EQ(tag.Comment(), "eye comment"); // behind a language code "eng"
}

// A frame of version 2.2 (three-letter ID, three-byte size) or 2.4
// (synchsafe size) with the given content and flags.
Bytes Frame22(const std::string& id, const std::string& content) {
    const auto size = static_cast<uint32_t>(content.size());
    return Concat(Concat(ToBytes(id), {uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)}), ToBytes(content));
}
Bytes Frame24(const std::string& id, const std::string& content, uint16_t flags = 0) {
    const Bytes header = TagHeaderBytes(4, static_cast<uint32_t>(content.size()));
    const Bytes size(header.begin() + 6, header.end()); // the same synchsafe form
    const Bytes frame = Concat(Concat(ToBytes(id), size), {uint8_t(flags >> 8), uint8_t(flags)});
    return Concat(frame, ToBytes(content));
}

TEST(ID3v2Load, ReadsEveryVersionEncodingAndLayout) {
    struct Case {
        const char* name;
        uint8_t major, flags;
        Bytes body;
        std::string title, year, comment;
        int32_t extraSize = 0; // bytes the tag has beyond its declared size
    };
    const std::string twoHundred = std::string(199, 'x');
    const Case cases[] = {
        {"2.2: three-letter IDs", 2, 0,
         Concat(Concat(Frame22("TT2", "\0abcd"s), Frame22("TYE", "\0"
                                                                 "1999"s)),
                Frame22("COM", "\0eng\0hi"s)),
         "abcd", "1999", "hi"},
        {"2.3: UTF-16 little-endian with its mark", 3, 0,
         Concat(Frame("TIT2", "\x01\xff\xfe"
                              "C\0a\0f\0\xe9\0"s),
                Frame("COMM", "\x01"
                              "eng\xff\xfe\0\0\xff\xfeh\0i\0"s)),
         "Caf\xc3\xa9", "", "hi"},
        {"2.3: UTF-16 big-endian with its mark", 3, 0, Frame("TIT2", "\x01\xfe\xff\0C\0a"s), "Ca", "", ""},
        {"2.4: UTF-8, synchsafe size above 127", 4, 0, Frame24("TIT2", "\x03" + twoHundred), twoHundred, "", ""},
        {"2.4: UTF-16BE", 4, 0, Frame24("TIT2", "\x02\0A\x4e\x2d"s), "A\xe4\xb8\xad", "", ""},
        {"2.4: recording time gives the year", 4, 0,
         Frame24("TDRC", "\x03"
                         "2024-05-01"s),
         "", "2024", ""},
        {"2.3: whole tag unsynchronised", 3, 0x80,
         ToBytes("TIT2\0\0\0\x05\0\0\0a\xff\0\xe0"
                 "b"s),
         "a\xc3\xbf\xc3\xa0"
         "b",
         "", ""},
        {"2.4: frame unsynchronised, with data length", 4, 0, Frame24("TIT2", "\0\0\0\x04\0a\xff\0\xe0"s, 0x0003),
         "a\xc3\xbf\xc3\xa0", "", ""},
        {"2.3: a grouped frame's group byte comes first", 3, 0, ToBytes("TIT2\0\0\0\x05\0\x20\x07\0grp"s), "grp", "",
         ""},
        {"2.3: extended header", 3, 0x40, Concat(ToBytes("\0\0\0\x06\0\0\0\0\0\0"s), Frame("TIT2", "\0ext"s)), "ext",
         "", ""},
        {"2.4: extended header", 4, 0x40, Concat(ToBytes("\0\0\0\x06\x01\0"s), Frame24("TIT2", "\0ext"s)), "ext", "",
         ""},
        {"2.4: footer", 4, 0x10, Frame24("TIT2", "\0foot"s), "foot", "", "", 10},
        {"2.4: a plain size from an old writer", 4, 0,
         Concat(ToBytes("TIT2\0\0\x01\0\0\0\0"s + std::string(255, 'a')), Frame24("TYER", "\0"
                                                                                          "1990"s)),
         std::string(255, 'a'), "1990", ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        Bytes header = TagHeaderBytes(c.major, uint32_t(c.body.size()));
        header[5] = c.flags;
        const Bytes footer = c.extraSize ? Concat(ToBytes("3DI"), Bytes(header.begin() + 3, header.end())) : Bytes();
        TID3v2 tag;
        ASSERT_TRUE(tag.Load(dir.write("f", Concat(Concat(Concat(header, c.body), footer), PatternBytes(50, 3)))))
            << c.name;
        EXPECT_EQ(tag.MajorVersion(), c.major) << c.name;
        EXPECT_EQ(tag.TagSize(), int32_t(10 + c.body.size()) + c.extraSize) << c.name;
        EXPECT_EQ(tag.Title(), c.title) << c.name;
        EXPECT_EQ(tag.Year(), c.year) << c.name;
        EXPECT_EQ(tag.Comment(), c.comment) << c.name;
    }
    // And a tag written by a real tagger.
    TID3v2 tag;
    ASSERT_TRUE(tag.Load(CopySample(dir, "mid3v2-v24.mp3")));
    EXPECT_EQ(tag.TagSize(), 8 * 128 + 0x35 + 10); // 00 00 08 35
    EXPECT_EQ(tag.Title(), "Four");
    EXPECT_EQ(tag.Artist(), "Artist Four");
    EXPECT_EQ(tag.Track(), 9);
}

// Every frame that is none of the seven fields is kept in the form a version
// 2.3 tag holds it, or dropped when version 2.3 has no place for it.
TEST(ID3v2Load, KeepsOtherFramesInVersion23Form) {
    struct Case {
        const char* name;
        uint8_t major;
        Bytes body;
        Bytes kept;
        std::vector<std::string> dropped;
    };
    const Bytes v23Frames = Concat(Concat(Frame("APIC", "\0image/png\0\x03\0PNG\x89"s), Frame("PRIV", "x\0\x01\x02"s)),
                                   Frame("COMM", "\0engiTunNORM\0 01"s));
    const Case cases[] = {
        {"2.3 frames as they stand, a described comment among them", 3, v23Frames, v23Frames, {}},
        {"2.4 texts re-encoded, IDs renamed, flags moved",
         4,
         Concat(Concat(Concat(Frame24("TXXX", "\x03gain\0-6 dB"s, 0x4000), Frame24("TPE2", "\x03"
                                                                                           "A\0B\0"s)),
                       Concat(Frame24("TDRC", "\x03"
                                              "2024-05-01T10:30"s),
                              Frame24("TIPL", "\x03"
                                              "mix\0Zo\xc3\xab"s))),
                Concat(Frame24("TDEN", "\x03"
                                       "2020"s),
                       Frame24("APIC", "\x03image/png\0\x03"
                                       "d\0PNG"s))),
         Concat(Concat(Concat(ToBytes("TXXX\0\0\0\x0b\x80\0\0gain\0-6 dB"s), Frame("TPE2", "\0A/B"s)),
                       Concat(Frame("TDAT", "\0"
                                            "0105"s),
                              Frame("TIME", "\0"
                                            "1030"s))),
                Concat(Frame("IPLS", "\0mix\0Zo\xeb"s), Frame("APIC", "\0image/png\0\x03"
                                                                      "d\0PNG"s))),
         {"TDEN"}},
        {"2.4 text beyond Latin-1 becomes UTF-16",
         4,
         Frame24("TPE2", "\x03\xe6\x9d\xb1"s),
         Frame("TPE2", "\x01\xff\xfe\x71\x67"s),
         {}},
        {"2.4 compressed frame keeps its data, with the length up front",
         4,
         Frame24("TXXX", "\0\0\0\x0azzzz"s, 0x0009),
         ToBytes("TXXX\0\0\0\x08\0\x80\0\0\0\x0azzzz"s),
         {}},
        {"2.2 picture gets a MIME type; an unknown frame goes",
         2,
         Concat(Frame22("PIC", "\0JPG\x03"
                               "d\0DATA"s),
                Frame22("XYZ", "\0q"s)),
         Frame("APIC", "\0image/jpeg\0\x03"
                       "d\0DATA"s),
         {"XYZ"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TID3v2 tag;
        ASSERT_TRUE(tag.Load(dir.write(
            "f", Concat(Concat(TagHeaderBytes(c.major, uint32_t(c.body.size())), c.body), PatternBytes(20, 1)))))
            << c.name;
        std::string kept;
        for (const ID3v2Frame& frame : tag.OtherFrames())
            kept += ID3v2FrameBytes(frame);
        EXPECT_EQ(kept, std::string(c.kept.begin(), c.kept.end())) << c.name;
        EXPECT_EQ(tag.DroppedFrames(), c.dropped) << c.name;
    }
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
        {"a 300-byte frame is read whole", Frame("TIT2", longText), std::string(150, 'a') + std::string(149, 'b'), "",
         ""},
        {"the second of two COMM frames", Concat(Frame("COMM", comm), Frame("COMM", std::string("\0eng\0bye", 8))), "",
         "bye", ""},
        {"a comment with a description is kept as a frame, not shown",
         Concat(Frame("COMM", comm), Frame("COMM", std::string("\0engdesc\0text", 13))), "", "hello", ""},
        {"a tag whose only comment has a description shows it", Frame("COMM", "\0engdesc\0text"s), "", "text", ""},
        {"a player's data is no comment", Frame("COMM", "\0engiTunNORM\0 01"s), "", "", ""},
        {"unknown frames are stepped over", Concat(Frame("TXXX", std::string(400, 'z')), Frame("TCON", "\0(17)Rock"s)),
         "", "", "Rock"},
        {"padding ends the walk", Concat(Concat(Frame("TIT2", "\0one"s), Bytes(5, 0)), Frame("TALB", "\0x"s)), "one",
         "", ""},
        {"leading and trailing blanks go", Frame("TIT2", "\0  two \r\n"s), "two", "", ""},
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

// The comment of a tag whose only comment has a description goes back with
// that description, in place of the frame it came from.
TEST(ID3v2Load, ADescribedCommentIsSavedWithItsDescription) {
    TempDir dir;
    TID3v2 tag;
    ASSERT_TRUE(tag.Load(dir.write("f", V23File(Frame("COMM", "\0engdesc\0text"s)))));
    tag.SetComment("new");
    EXPECT_EQ(tag.BuildTag(), "ID3\3\0\0\0\0\0\x16"
                              "COMM\0\0\0\x0c\0\0\0engdesc\0new"s);
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

// A tag larger than one read of the walk: frame headers across the ends of
// the blocks read, a picture larger than a block (read straight into its
// frame), a version 2.4 size written plain whose look at the next frame
// lies beyond the block, unsynchronisation of one frame and of a whole tag.
TEST(ID3v2Load, ALargeTagIsReadFrameByFrameFromTheFile) {
    constexpr std::size_t kBlock = 256 * 1024;
    const auto header = [](const std::string& id, std::size_t size, bool synchsafe, uint8_t format = 0) {
        const int shift = synchsafe ? 7 : 8;
        const auto byte = [&](int i) { return char(size >> (shift * i) & (synchsafe ? 0x7F : 0xFF)); };
        return id + byte(3) + byte(2) + byte(1) + byte(0) + '\0' + char(format);
    };
    const auto tag = [](uint8_t major, uint8_t flags, const std::string& body) {
        const std::size_t n = body.size() + 30;
        return "ID3"s + char(major) + '\0' + char(flags) + char(n >> 21 & 0x7F) + char(n >> 14 & 0x7F) +
               char(n >> 7 & 0x7F) + char(n & 0x7F) + body + std::string(30, '\0');
    };
    for (const std::size_t shift : {0, 1}) {
        std::string picture(300 * 1024, 'p');
        for (std::size_t i = 0; i < picture.size(); i += 1000)
            picture[i] = '\xff'; // stays FF: no 00 follows
        // A run of FF across the blocks' ends: unsynchronised, one shift puts
        // an FF and its 00 on either side of a block's end, the other not.
        std::fill_n(picture.begin() + long(kBlock - 400 + shift), 600, '\xff');
        const std::string filler(kBlock - 10 - 7, 'f');
        const std::string apic = "\0image/png\0\3\0"s + picture;
        // Version 2.3: the picture's header straddles the first block's end.
        const std::string v23 = header("TXXX", filler.size(), false) + filler + header("APIC", apic.size(), false) +
                                apic + header("TIT2", 4, false) + "\0end"s;
        // Version 2.4: a plain size (0x00040000 reads 65,536 as synchsafe), then
        // an unsynchronised UTF-8 picture: FF 00 becomes FF, the text encoding
        // ISO-8859-1.
        const std::string plain(kBlock, 'a');
        std::string stuffed = "\3image/png\0\3\0"s + picture;
        for (std::size_t i = stuffed.find('\xff'); i != std::string::npos; i = stuffed.find('\xff', i + 2))
            stuffed.insert(i + 1, 1, '\0');
        const std::string v24 = header("TXXX", plain.size(), false) + plain +
                                header("APIC", stuffed.size(), true, 0x02) + stuffed + header("TIT2", 4, true) +
                                "\0end"s;
        // A whole version 2.3 tag unsynchronised.
        std::string v23Stuffed = v23;
        for (std::size_t i = v23Stuffed.find('\xff'); i != std::string::npos; i = v23Stuffed.find('\xff', i + 2))
            v23Stuffed.insert(i + 1, 1, '\0');
        struct Case {
            const char* name;
            std::string tag;
        };
        const Case cases[] = {
            {"2.3", tag(3, 0, v23)}, {"2.4", tag(4, 0, v24)}, {"2.3 unsynchronised", tag(3, 0x80, v23Stuffed)}};
        TempDir dir;
        for (const Case& c : cases) {
            TID3v2 fromFile;
            ASSERT_TRUE(fromFile.Load(dir.write("f", Concat(ToBytes(c.tag), PatternBytes(500, 9))))) << c.name << shift;
            EXPECT_EQ(fromFile.Title(), "end") << c.name;
            ASSERT_EQ(fromFile.OtherFrames().size(), 2u) << c.name;
            EXPECT_EQ(fromFile.OtherFrames()[1].id, "APIC") << c.name;
            EXPECT_TRUE(fromFile.OtherFrames()[1].data == apic) << c.name;
            TID3v2 inMemory;
            inMemory.LoadTag(c.tag, int64_t(c.tag.size()) + 500);
            EXPECT_TRUE(fromFile.BuildTag() == inMemory.BuildTag()) << c.name;
        }
    }
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
