// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/TagFields.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tindrel {
namespace {

TEST(TagFieldsTest, TrackTextsFollowThePlatformIntegerSyntaxKeptInEightBits) {
    const struct {
        const char* text;
        int track;
    } cases[] = {
        {"7", 7},     {" 12", 12}, {"+3", 3},  {"$1F", 31}, {"0x10", 16},     {"300", 44},
        {"255", 255}, {"0", 0},    {"-3", 0},  {"ab", 0},   {"", 0},          {"5 ", 0},
        {"3/12", 0},  {"256", 0},  {"1.5", 0}, {"$", 0},    {"$FFFFFFFF", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrackFromText(c.text), c.track) << '"' << c.text << '"';
}

TEST(TagFieldsTest, GenreNamesAreFoundWithOnlyAToZFolded) {
    const struct {
        const char* name;
        int entry;
    } cases[] = {
        {"", 0},       {"Blues", 1},       {"rock", 18}, {"ROCK", 18}, {"Rock ", -1}, {"Afro-Punk", 134},
        {"jpop", 147}, {"rockabilly", -1}, {"Nope", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindGenreEntry(c.name), c.entry) << c.name;
    EXPECT_EQ(GenreEntryText(0), "");
    EXPECT_EQ(GenreEntryText(18), "Rock");
    EXPECT_EQ(GenreEntryText(149), "");
}

TEST(TagFieldsTest, CopiesNeedTheSourceBoxChecked) {
    ID3v1Fields v1;
    ID3v2Fields v2;
    v2.title = "kept";
    EXPECT_FALSE(CopyToID3v2(v1, v2));
    EXPECT_EQ(v2.title, "kept");
    EXPECT_FALSE(v2.exists);
    EXPECT_FALSE(CopyFromID3v2(v2, v1));
    EXPECT_FALSE(v1.exists);
    EXPECT_EQ(v1.title, "");
}

TEST(TagFieldsTest, CopyToID3v2TakesEveryFieldAndTheGenreName) {
    ID3v1Fields v1{true, "ID3v1 - Version 1.1", "0", "T", "A", "L", "1999", FindGenreEntry("Jazz"), "C"};
    ID3v2Fields v2;
    ASSERT_TRUE(CopyToID3v2(v1, v2));
    EXPECT_TRUE(v2.exists);
    EXPECT_EQ(v2.track, "0"); // the page copies the text; saving turns it into "no track"
    EXPECT_EQ(v2.title, "T");
    EXPECT_EQ(v2.artist, "A");
    EXPECT_EQ(v2.album, "L");
    EXPECT_EQ(v2.year, "1999");
    EXPECT_EQ(v2.genre, "Jazz");
    EXPECT_EQ(v2.comment, "C");
}

TEST(TagFieldsTest, CopyFromID3v2KeepsTheGenreWhenTheTextNamesNone) {
    const struct {
        const char* genre;
        int entry;
    } cases[] = {{"rock", 18}, {"", 0}, {"Krautrock-ish", 9}, {"(17)Rock", 9}};
    for (const auto& c : cases) {
        ID3v1Fields v1;
        v1.genreEntry = 9;
        ID3v2Fields v2;
        v2.exists = true;
        v2.title = std::string(40, 'x');
        v2.genre = c.genre;
        ASSERT_TRUE(CopyFromID3v2(v2, v1));
        EXPECT_EQ(v1.genreEntry, c.entry) << c.genre;
        EXPECT_EQ(v1.title.size(), 40u) << "the field holds the whole text; the setter cuts it";
    }
}

class TagFieldsFileTest : public ::testing::Test {
protected:
    std::string sample(const char* name) {
        const std::string copy = dir.file(name);
        std::filesystem::copy_file(test::TestDataDir() + "/tags/" + name, copy);
        return copy;
    }
    test::TempDir dir;
};

TEST_F(TagFieldsFileTest, ShowFillsTheGroupsAsThePageDoes) {
    TID3v1 v1Tag;
    TID3v2 v2Tag;
    const std::string file = sample("id3v2-tool-v10.mp3");
    const ID3v1Fields v1 = ShowID3v1(file, v1Tag);
    EXPECT_TRUE(v1.exists);
    EXPECT_EQ(v1.caption, "ID3v1 - Version 1.0");
    EXPECT_EQ(v1.track, "0");
    EXPECT_EQ(GenreEntryText(v1.genreEntry), "Folk");
    EXPECT_FALSE(ShowID3v2(file, v2Tag).exists);

    const ID3v2Fields v24 = ShowID3v2(sample("mid3v2-v24.mp3"), v2Tag);
    EXPECT_TRUE(v24.exists);
    EXPECT_EQ(v24.caption, "ID3v2 - Version 2.4");
    EXPECT_EQ(v24.title, "Four");
    EXPECT_EQ(v24.track, "9");

    EXPECT_TRUE(v1.fileFound);
    const ID3v1Fields missing = ShowID3v1(dir.file("missing.mp3"), v1Tag);
    EXPECT_FALSE(missing.exists);
    EXPECT_FALSE(missing.fileFound);
    EXPECT_FALSE(ShowID3v2(dir.file("missing.mp3"), v2Tag).fileFound);
}

TEST_F(TagFieldsFileTest, SaveWritesTheFieldsThroughTheSetters) {
    const std::string file = sample("plain.mp3");
    TID3v1 v1Tag;
    TID3v2 v2Tag;
    ID3v1Fields v1 = ShowID3v1(file, v1Tag);
    v1.exists = true;
    v1.title = std::string(40, 't');
    v1.track = "-3";
    v1.genreEntry = 0;
    ASSERT_TRUE(SaveID3v1(file, v1, v1Tag));
    ID3v2Fields v2;
    v2.exists = true;
    v2.track = "$0A";
    v2.comment = "line one\nline two";
    ASSERT_TRUE(SaveID3v2(file, v2, v2Tag));

    TID3v1 readV1;
    TID3v2 readV2;
    ASSERT_TRUE(readV1.Load(file));
    EXPECT_EQ(readV1.Title(), std::string(30, 't'));
    EXPECT_EQ(readV1.Track(), 0);
    EXPECT_EQ(readV1.GenreIndex(), TID3v1::kNoGenre);
    ASSERT_TRUE(readV2.Load(file));
    EXPECT_EQ(readV2.Track(), 10);
    EXPECT_EQ(readV2.Comment(), "line one\nline two");
    EXPECT_FALSE(SaveID3v1(dir.file("missing.mp3"), v1, v1Tag));
}

// A track text set by another tagger (mid3v2) that is no plain number
// comes back unchanged from a save of the fields as shown; a field the user
// empties or changes replaces it.
TEST_F(TagFieldsFileTest, ATrackTextThatIsNoPlainNumberIsKept) {
    const struct {
        const char* written;
        const char* typed; // nullptr: the field as shown
        const char* shown;
        const char* saved;
    } cases[] = {
        {"3 /12", nullptr, "3 /12", "3 /12"},
        {"A1", nullptr, "A1", "A1"},
        {"3/12", nullptr, "3", "3/12"},
        {"A1", "", "A1", ""},
        {"A1", "B2", "A1", "B2"},
        {"3/12", "4", "3", "4"},
    };
    for (const auto& c : cases) {
        const std::string file = dir.file("track.mp3");
        std::filesystem::remove(file);
        std::filesystem::copy_file(test::TestDataDir() + "/tags/plain.mp3", file);
        test::CommandOutput("mid3v2 --TRCK '" + std::string(c.written) + "' '" + file + "'");
        TID3v2 tag;
        ID3v2Fields fields = ShowID3v2(file, tag);
        EXPECT_EQ(fields.track, c.shown) << c.written;
        if (c.typed)
            fields.track = c.typed;
        ASSERT_TRUE(SaveID3v2(file, fields, tag)) << c.written;
        TID3v2 read;
        ASSERT_TRUE(read.Load(file));
        EXPECT_EQ(read.TrackText(), c.saved) << c.written << " typed " << (c.typed ? c.typed : "(as shown)");
    }
}

} // namespace
} // namespace tindrel
