// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Files tagged by the common taggers keep everything those taggers wrote
// when tindrel-cli changes one field or splits them: read back by the
// taggers themselves.
#include "tests/cli/RunProgram.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

namespace tindrel {
namespace {

using test::CommandOutput;
using test::TempDir;

const std::string kAlbum = "\xc3\x9cn\xc3\xaf \xe6\x9d\xb1\xe4\xba\xac"; // "Ünï 東京"

// Every frame as mutagen reads it, in a form that does not depend on the
// tag's version or encodings; the first line is the version.
std::string Frames(const std::string& file) {
    return CommandOutput(test::TestDataDir() + "/../cli/tag_frames.py '" + file + "'");
}

// The listing without its first line and without the lines of one frame.
std::string Without(const std::string& listing, const std::string& frame) {
    std::istringstream in(listing);
    std::string line, out;
    std::getline(in, line);
    while (std::getline(in, line))
        if (!line.starts_with(frame + " "))
            out += line + '\n';
    return out;
}

// A version 2.2 tag made by hand: no tagger on the system writes one.
void WriteV22Tag(const std::string& file) {
    const auto frame = [](const std::string& id, const std::string& content) {
        const auto n = content.size();
        return id + std::string{char(n >> 16), char(n >> 8), char(n)} + content;
    };
    using namespace std::string_literals;
    const std::string body = frame("TT2", "\0Caf\xe9"s) + frame("TP1", "\x01\xff\xfeZ\0o\0\xeb\0"s) +
                             frame("TAL", "\0Album"s) +
                             frame("TRK", "\0"
                                          "3/12"s) +
                             frame("TYE", "\0"
                                          "1999"s) +
                             frame("COM", "\0eng\0hello"s) +
                             frame("PIC", "\0PNG\x03"
                                          "front\0\x89PNG-bytes"s);
    const auto n = body.size();
    const std::string header =
        "ID3\x02\0\0"s + std::string{char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F), char(n & 0x7F)};
    const std::string audio = CommandOutput("cat '" + file + "'");
    std::filesystem::remove(file);
    FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    const std::string all = header + body + audio;
    std::fwrite(all.data(), 1, all.size(), out);
    std::fclose(out);
}

struct Tagger {
    const char* name;
    const char* command; // $F is the file, $D its folder
    // A frame that version 2.3 holds as another one: a release year becomes
    // the year, which mutagen shows as a recording time.
    const char* renamedFrom = "";
    const char* renamedTo = "";
};

const Tagger kTaggers[] = {
    {"mid3v2: version 2.4, UTF-8, picture, user text, lyrics, two comments",
     "mid3v2 -t 'Caf\xc3\xa9 No\xc3\xabl' -a 'Zo\xc3\xab' -A Album -y 2024-05-01 -T 3/12 -g Rock "
     "-c ':first comment:eng' -c 'note:second comment:eng' -p \"$D/cover.png:front:3:image/png\" "
     "--TXXX 'REPLAYGAIN_TRACK_GAIN:-6.50 dB' --USLT 'la la la' \"$F\""},
    {"eyeD3: version 2.4",
     "eyeD3 --quiet -t 'Caf\xc3\xa9 No\xc3\xabl' -a 'Zo\xc3\xab' -A Album -n 3 -N 12 -G Rock "
     "-Y 2024 -c 'first comment' --add-image \"$D/cover.png:FRONT_COVER\" "
     "--user-text-frame 'REPLAYGAIN_TRACK_GAIN:-6.50 dB' \"$F\"",
     "TDRL", "TDRC"},
    {"eyeD3: version 2.3, UTF-16", "eyeD3 --quiet --to-v2.3 --encoding utf16 -t 'Caf\xc3\xa9 No\xc3\xabl' "
                                   "-a 'Zo\xc3\xab' -A Album -n 3 -G Rock -Y 2024 -c 'first comment' "
                                   "--add-image \"$D/cover.png:FRONT_COVER\" \"$F\""},
    {"id3v2: version 2.3, Latin-1", "id3v2 -t 'Song Title' -a 'Some Artist' -A Album -y 2001 -T 3/12 -g 17 "
                                    "-c hello \"$F\""},
    {"version 2.2, made by bytes", ""},
};

class TaggerRoundTrip : public ::testing::Test {
protected:
    // A copy of source tagged by the tagger's command.
    std::string Tagged(const Tagger& tagger, const std::string& source) {
        const std::string file = dir.file("song.mp3");
        std::filesystem::remove(file);
        std::filesystem::copy_file(source, file);
        if (*tagger.command == '\0') {
            WriteV22Tag(file);
            return file;
        }
        const std::string prepare = "D='" + dir.path() + "'; F='" + file + "'; ";
        const std::string picture = "convert -size 2x2 xc:red \"$D/cover.png\" && ";
        EXPECT_NE(CommandOutput(prepare + picture + tagger.command + " && echo TAGGED").find("TAGGED"),
                  std::string::npos)
            << tagger.name;
        return file;
    }

    TempDir dir;
};

TEST_F(TaggerRoundTrip, ChangingOneFieldKeepsEverythingElse) {
    for (const Tagger& tagger : kTaggers) {
        const std::string file = Tagged(tagger, test::TestDataDir() + "/tags/plain.mp3");
        std::string before = Frames(file);
        if (const std::size_t at = before.find(std::string("\n") + tagger.renamedFrom + " ");
            *tagger.renamedFrom && at != std::string::npos)
            before.replace(at + 1, std::strlen(tagger.renamedFrom), tagger.renamedTo);
        const test::ProgramResult result = test::RunCliProgram({"tag", file, "--v2-album", kAlbum});
        EXPECT_EQ(result.status, 0) << tagger.name << result.err;
        const std::string after = Frames(file);
        EXPECT_TRUE(after.starts_with("version 2.3\n")) << tagger.name << after;
        EXPECT_EQ(Without(after, "TALB"), Without(before, "TALB")) << tagger.name;
        EXPECT_NE(after.find("TALB ['" + kAlbum + "']"), std::string::npos) << tagger.name << after;
        EXPECT_NE(CommandOutput("mid3v2 -l '" + file + "'").find("TALB=" + kAlbum), std::string::npos) << tagger.name;
        EXPECT_NE(CommandOutput("eyeD3 --no-color '" + file + "'").find("album: " + kAlbum), std::string::npos)
            << tagger.name;
    }
}

TEST_F(TaggerRoundTrip, EveryPieceOfASplitCarriesTheSourcesTag) {
    const std::string file = Tagged(kTaggers[0], test::TestDataDir() + "/app/ten-seconds.mp3");
    const std::string source = Without(Frames(file), "TLEN");
    const std::string pieces = dir.file("pieces");
    std::filesystem::create_directory(pieces);
    const test::ProgramResult result = test::RunCliProgram({"split", file, "--parts", "3", "-d", pieces});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const char* piece : {"song_chunk_1.mp3", "song_chunk_2.mp3", "song_chunk_3.mp3"})
        EXPECT_EQ(Without(Frames(pieces + "/" + piece), "TLEN"), source) << piece;
}

} // namespace
} // namespace tindrel
