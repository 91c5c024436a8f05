// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v1.h"

#include "tests/tags/TagTestFiles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tindrel {
namespace {

using test::Bytes;
using test::Concat;
using test::CopySample;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

// A tag block whose text fields are filled with letters, so that how many of
// them a reader keeps shows in the field's length.
Bytes LetterBlock(uint8_t byte125, uint8_t byte126, uint8_t genre = 12) {
    Bytes block(128, 'x');
    std::memcpy(block.data(), "TAG", 3);
    block[125] = byte125;
    block[126] = byte126;
    block[127] = genre;
    return block;
}

TEST(ID3v1Load, ReadsTheTagsOfTheId3v2Tool) {
    TempDir dir;
    TID3v1 tag;
    ASSERT_TRUE(tag.Load(CopySample(dir, "id3v2-tool.mp3")));
    EXPECT_TRUE(tag.Exists());
    EXPECT_EQ(tag.Version(), TID3v1::kVersion11);
    EXPECT_EQ(tag.Title(), "Song Title");
    EXPECT_EQ(tag.Artist(), "Some Artist");
    EXPECT_EQ(tag.Album(), "An Album");
    EXPECT_EQ(tag.Year(), "2001");
    EXPECT_EQ(tag.Comment(), "hello");
    EXPECT_EQ(tag.Track(), 3);
    EXPECT_EQ(tag.GenreIndex(), 17);
    EXPECT_EQ(tag.GenreName(), "Rock");

    ASSERT_TRUE(tag.Load(CopySample(dir, "id3v2-tool-v10.mp3")));
    EXPECT_EQ(tag.Version(), TID3v1::kVersion10);
    EXPECT_EQ(tag.Title(), "Title Ten");
    EXPECT_EQ(tag.Album(), "");
    EXPECT_EQ(tag.Comment(), "abcdefghijklmnopqrstuvwxyz1234");
    EXPECT_EQ(tag.Track(), 0);
    EXPECT_EQ(tag.GenreName(), "Folk");
}

TEST(ID3v1Load, AFileWithoutATagLoadsAsCleared) {
    TempDir dir;
    TID3v1 tag;
    tag.SetTitle("left over");
    ASSERT_TRUE(tag.Load(CopySample(dir, "plain.mp3")));
    EXPECT_FALSE(tag.Exists());
    EXPECT_EQ(tag.Title(), "");
    EXPECT_EQ(tag.GenreIndex(), TID3v1::kNoGenre);
}

TEST(ID3v1Load, NeedsTheWholeBlock) {
    TempDir dir;
    const Bytes block = LetterBlock(0, 1);
    struct Case {
        const char* name;
        Bytes bytes;
        bool loads;
        bool exists;
    };
    const Case cases[] = {
        {"empty", {}, false, false},
        {"127 bytes", Bytes(block.begin() + 1, block.end()), false, false},
        {"exactly a block", block, true, true},
        {"127 bytes then a tag", Concat(PatternBytes(127, 1), block), true, true},
    };
    for (const Case& c : cases) {
        TID3v1 tag;
        tag.SetTitle("stale");
        EXPECT_EQ(tag.Load(dir.write("f", c.bytes)), c.loads) << c.name;
        EXPECT_EQ(tag.Exists(), c.exists) << c.name;
        EXPECT_EQ(tag.Title(), c.exists ? std::string(30, 'x') : "") << c.name;
    }
    TID3v1 tag;
    EXPECT_FALSE(tag.Load(dir.file("missing")));
}

TEST(ID3v1Load, VersionRuleDecidesTheCommentWidthAndTrack) {
    struct Case {
        uint8_t byte125, byte126, version, track;
        std::size_t commentLength;
    };
    const Case cases[] = {
        {32, 120, TID3v1::kVersion11, 120, 28}, // a space and a letter x
        {0, 0, TID3v1::kVersion10, 0, 28},      // the zeros are trimmed off a 30-byte comment
        {32, 0, TID3v1::kVersion11, 0, 28},     {0, 5, TID3v1::kVersion11, 5, 28},
        {32, 32, TID3v1::kVersion10, 0, 28}, // trailing spaces of a 30-byte comment trimmed
        {'y', 'z', TID3v1::kVersion10, 0, 30},  {'y', 0, TID3v1::kVersion10, 0, 29},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TID3v1 tag;
        ASSERT_TRUE(tag.Load(dir.write("f", LetterBlock(c.byte125, c.byte126))));
        EXPECT_EQ(tag.Version(), c.version) << int(c.byte125) << " " << int(c.byte126);
        EXPECT_EQ(tag.Track(), c.track) << int(c.byte125) << " " << int(c.byte126);
        EXPECT_EQ(tag.Comment().size(), c.commentLength) << int(c.byte125) << " " << int(c.byte126);
    }
}

TEST(ID3v1Load, RemovesOnlyTrailingControlBytes) {
    Bytes block = LetterBlock(0, 0);
    const char title[30] = {' ', 'a', 'b', 'c', '\0', 'd', 'e', 'f', '\t', '\x01', ' '};
    std::memcpy(block.data() + 3, title, 30);
    std::memcpy(block.data() + 93, "99\0\0", 4);
    std::memcpy(block.data() + 63, "album\xff", 6);
    std::memset(block.data() + 69, 0x20, 24);
    TempDir dir;
    TID3v1 tag;
    ASSERT_TRUE(tag.Load(dir.write("f", block)));
    EXPECT_EQ(tag.Title(), std::string(" abc\0def", 8));
    EXPECT_EQ(tag.Year(), "99");
    EXPECT_EQ(tag.Album(), "album\xff");
    EXPECT_EQ(tag.Artist(), std::string(30, 'x'));
}

} // namespace
} // namespace tindrel
