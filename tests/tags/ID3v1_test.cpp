// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v1.h"

#include "tests/tags/TagTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

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

TEST(ID3v1Setters, TrimTrailingControlBytesThenKeepTheFieldWidth) {
    TID3v1 tag;
    tag.SetTitle(std::string(29, 'a') + "  bcdef  ");   // 35 bytes ending in spaces
    EXPECT_EQ(tag.Title(), std::string(29, 'a') + " "); // the cut may end in a space
    tag.SetArtist(std::string("art\0\t \x1f", 7));
    EXPECT_EQ(tag.Artist(), "art");
    tag.SetAlbum("  lead kept");
    EXPECT_EQ(tag.Album(), "  lead kept");
    tag.SetYear("19999 ");
    EXPECT_EQ(tag.Year(), "1999");
    tag.SetComment(std::string(40, 'c'));
    EXPECT_EQ(tag.Comment(), std::string(30, 'c'));
}

TEST(ID3v1, GenreNames) {
    EXPECT_EQ(GenreNames.size(), 148u);
    EXPECT_EQ(GenreNames[0], "Blues");
    EXPECT_EQ(GenreNames[79], "Hard Rock");
    EXPECT_EQ(GenreNames[133], "Afro-Punk");
    EXPECT_EQ(GenreNames[147], "Synthpop");
    TID3v1 tag;
    for (int genre : {148, 200, 254, 255}) {
        tag.SetGenreIndex(uint8_t(genre));
        EXPECT_EQ(tag.GenreName(), "") << genre;
    }
}

// The fields every save test writes, and the block they must give.
TID3v1 SampleTag(uint8_t track) {
    TID3v1 tag;
    tag.SetTitle("Title");
    tag.SetArtist("Artist");
    tag.SetAlbum("Album");
    tag.SetYear("2024");
    tag.SetComment(std::string(30, 'c'));
    tag.SetTrack(track);
    tag.SetGenreIndex(52);
    return tag;
}

Bytes ExpectedBlock(uint8_t track) {
    Bytes block(128, 0);
    const auto put = [&block](std::size_t at, const std::string& text) {
        std::copy(text.begin(), text.end(), block.begin() + long(at));
    };
    put(0, "TAG");
    put(3, "Title");
    put(33, "Artist");
    put(63, "Album");
    put(93, "2024");
    put(97, std::string(30, 'c'));
    if (track > 0) {
        block[125] = 0;
        block[126] = track;
    }
    block[127] = 52;
    return block;
}

Bytes LastBlock(const Bytes& file) {
    return Bytes(file.end() - 128, file.end());
}

TEST(ID3v1Save, WritesTheBlockOfBothVersions) {
    TempDir dir;
    const Bytes audio = PatternBytes(1000, 4);
    for (uint8_t track : {uint8_t(0), uint8_t(5), uint8_t(255)}) {
        const std::string path = dir.write("song.mp3", audio);
        ASSERT_TRUE(SampleTag(track).Save(path)) << int(track);
        const Bytes file = ReadFileBytes(path);
        ASSERT_EQ(file.size(), 1128u);
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 1000), audio);
        EXPECT_EQ(LastBlock(file), ExpectedBlock(track)) << int(track);

        TID3v1 back;
        ASSERT_TRUE(back.Load(path));
        EXPECT_EQ(back.Version(), track > 0 ? TID3v1::kVersion11 : TID3v1::kVersion10);
        EXPECT_EQ(back.Comment(), std::string(track > 0 ? 28 : 30, 'c'));
        EXPECT_EQ(back.Track(), track);
        EXPECT_EQ(back.Title(), "Title");
        EXPECT_EQ(back.GenreName(), "Electronic");
    }
}

TEST(ID3v1Save, ReplacesAnOldTagInPlace) {
    TempDir dir;
    const std::string path = CopySample(dir, "id3v2-tool.mp3");
    const Bytes before = ReadFileBytes(path);
    ASSERT_TRUE(SampleTag(9).Save(path));
    const Bytes after = ReadFileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(Bytes(after.begin(), after.end() - 128), Bytes(before.begin(), before.end() - 128));
    EXPECT_EQ(LastBlock(after), ExpectedBlock(9));
}

TEST(ID3v1Save, ClearedFieldsStillWriteABlock) {
    TempDir dir;
    const std::string path = dir.write("f", PatternBytes(300, 5));
    TID3v1 tag;
    tag.SetTitle("gone");
    tag.Clear();
    ASSERT_TRUE(tag.Save(path));
    Bytes expected(128, 0);
    std::memcpy(expected.data(), "TAG", 3);
    expected[127] = 255;
    EXPECT_EQ(LastBlock(ReadFileBytes(path)), expected);
}

TEST(ID3v1Save, RefusesFilesItCannotRead) {
    TempDir dir;
    const Bytes shortFile = PatternBytes(127, 6);
    const std::string path = dir.write("short", shortFile);
    EXPECT_FALSE(SampleTag(1).Save(path));
    EXPECT_EQ(ReadFileBytes(path), shortFile);
    EXPECT_FALSE(SampleTag(1).Save(dir.file("missing")));
    EXPECT_FALSE(test::FileExists(dir.file("missing")));
}

TEST(ID3v1Save, MakesAReadOnlyFileWritable) {
    TempDir dir;
    const std::string path = dir.write("f", PatternBytes(500, 7));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_TRUE(SampleTag(2).Save(path));
    EXPECT_EQ(test::FileMode(path), 0644u);
    EXPECT_EQ(LastBlock(ReadFileBytes(path)), ExpectedBlock(2));
}

TEST(ID3v1Save, AFileHeldUnderAnExclusiveLockIsLeftAsItWas) {
    TempDir dir;
    const Bytes content = Concat(PatternBytes(500, 8), LetterBlock(0, 3));
    const std::string path = dir.write("f", content);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    {
        test::ExclusiveLock lock(path);
        EXPECT_FALSE(SampleTag(2).Save(path));
        EXPECT_FALSE(TID3v1().Remove(path));
    }
    EXPECT_EQ(ReadFileBytes(path), content);
    EXPECT_EQ(test::FileMode(path), 0444u);
}

TEST(ID3v1Save, AnAppendThatCannotBeWrittenLeavesNoPartialBlock) {
    TempDir dir;
    const Bytes content = PatternBytes(4096 + 100, 9);
    const std::string path = dir.write("f", content);
    {
        // The file may not grow: the appended block fails after its first
        // bytes or at once, as on a full disk.
        test::FileSizeLimit limit(4096 + 110);
        EXPECT_FALSE(SampleTag(2).Save(path));
    }
    EXPECT_EQ(ReadFileBytes(path), content);
}

TEST(ID3v1Remove, CutsOnlyATag) {
    TempDir dir;
    const Bytes audio = PatternBytes(700, 10);
    const std::string tagged = dir.write("tagged", Concat(audio, LetterBlock(0, 1)));
    EXPECT_TRUE(TID3v1().Remove(tagged));
    EXPECT_EQ(ReadFileBytes(tagged), audio);
    EXPECT_TRUE(TID3v1().Remove(tagged)); // no tag left: nothing to do
    EXPECT_EQ(ReadFileBytes(tagged), audio);
    EXPECT_FALSE(TID3v1().Remove(dir.write("short", PatternBytes(20, 1))));
    EXPECT_FALSE(TID3v1().Remove(dir.file("missing")));
}

} // namespace
} // namespace tindrel
