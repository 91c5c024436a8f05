// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include "tests/support/Command.h"
#include "tests/tags/TagTestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>

namespace tindrel {
namespace {

using test::CommandOutput;
using test::CopySample;
using test::TempDir;

// Writes both tags with Tindrel onto a copy of the plain sample.
std::string TaggedByTindrel(const TempDir& dir) {
    const std::string path = CopySample(dir, "plain.mp3");
    TID3v1 v1;
    v1.SetTitle("Caf\xe9 Title");
    v1.SetArtist("The Artist");
    v1.SetAlbum("The Album");
    v1.SetYear("1987");
    v1.SetComment("first comment");
    v1.SetTrack(12);
    v1.SetGenreIndex(8);
    TID3v2 v2;
    v2.SetTitle("Caf\xc3\xa9 Title");
    v2.SetArtist("The Artist");
    v2.SetAlbum("The Album");
    v2.SetYear("1987");
    v2.SetComment("second comment");
    v2.SetTrack(12);
    v2.SetGenre("Jazz");
    if (!v2.Save(path) || !v1.Save(path))
        ADD_FAILURE() << "saving the tags failed";
    return path;
}

// The taggers print ID3v2 texts in UTF-8, so "\xc3\xa9" shows that the byte
// 0xe9 was written and read as ISO-8859-1; id3v2 prints ID3v1 texts as they
// stand.
TEST(TaggerCrossCheck, Mid3v2ReadsWhatTindrelWrote) {
    TempDir dir;
    const std::string listing = CommandOutput("mid3v2 -l " + TaggedByTindrel(dir));
    for (const char* line : {"TIT2=Caf\xc3\xa9 Title\n", "TPE1=The Artist\n", "TALB=The Album\n", "TRCK=12\n",
                             "TYER=1987\n", "TCON=Jazz\n", "COMM==eng=second comment\n"})
        EXPECT_NE(listing.find(line), std::string::npos) << line << "in:\n" << listing;
}

TEST(TaggerCrossCheck, Id3v2ToolReadsWhatTindrelWrote) {
    TempDir dir;
    const std::string listing = CommandOutput("id3v2 -l " + TaggedByTindrel(dir));
    for (const char* text :
         {"(Title/songname/content description): Caf\xc3\xa9 Title\n", "(Lead performer(s)/Soloist(s)): The Artist\n",
          "(Album/Movie/Show title): The Album\n", "(Year): 1987\n", "(Track number/Position in set): 12\n",
          "(Content type): Jazz (8)\n", "(Comments): ()[eng]: second comment\n", "Title  : Caf\xe9 Title",
          "Artist: The Artist", "Album  : The Album", "Year: 1987, Genre: Jazz (8)", "Comment: first comment",
          "Track: 12"})
        EXPECT_NE(listing.find(text), std::string::npos) << text << "\nin:\n" << listing;
}

TEST(TaggerCrossCheck, GenreNamesAgreeWithTheId3v2ToolsList) {
    // The names the tool spells otherwise; Tindrel keeps the spellings of the
    // original list, which older files and players were written against.
    const std::map<std::size_t, std::string> spelledOtherwise = {{67, "Psychedelic"},      {92, "Progressive Rock"},
                                                                 {132, "Britpop"},         {133, "Negerpunk"},
                                                                 {141, "Christian Rock "}, {144, "Thrash Metal"}};
    std::istringstream listing(CommandOutput("id3v2 -L"));
    std::size_t compared = 0;
    for (std::string line; std::getline(listing, line) && compared < kGenreCount; ++compared) {
        const std::size_t colon = line.find(": ");
        ASSERT_NE(colon, std::string::npos) << line;
        const std::size_t number = std::stoul(line.substr(0, colon));
        ASSERT_EQ(number, compared);
        const std::string toolName = line.substr(colon + 2);
        if (spelledOtherwise.count(number))
            EXPECT_EQ(toolName, spelledOtherwise.at(number));
        else
            EXPECT_EQ(GenreNames[number], toolName) << number;
    }
    EXPECT_EQ(compared, kGenreCount);
}

} // namespace
} // namespace tindrel
