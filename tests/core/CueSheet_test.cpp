// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/CueSheet.h"

#include "core/SplitPlan.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tindrel {
namespace {

// What a sheet gives, track by track: "number|title|performer|index00|index01|file",
// with -1 for no INDEX 00.
std::vector<std::string> summary(const CueSheet& sheet) {
    std::vector<std::string> lines{sheet.title + "|" + sheet.performer};
    for (const CueTrack& t : sheet.tracks)
        lines.push_back(std::to_string(t.number) + "|" + t.title + "|" + t.performer + "|" +
                        std::to_string(t.index00.value_or(-1)) + "|" + std::to_string(t.index01) + "|" + t.file);
    return lines;
}

TEST(CueSheet, ReadsTheTracksOfASheet) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::string> tracks; // the album line first
    } cases[] = {
        {"quoted values, REM lines, pregaps, LF",
         "REM GENRE Rock\nREM DATE 1999\nPERFORMER \"The Band\"\nTITLE \"Live: at home\"\nFILE \"rip.wav\" WAVE\n"
         "  TRACK 01 AUDIO\n    TITLE \"Opening\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Two / Three\"\n"
         "    PERFORMER \"Guest\"\n    INDEX 00 03:58:70\n    INDEX 01 04:00:74\n",
         {"Live: at home|The Band", "1|Opening||-1|0|rip.wav", "2|Two / Three|Guest|17920|18074|rip.wav"}},
        {"CR LF, unquoted values, lower-case commands, a byte-order mark",
         "\xEF\xBB\xBFtitle Album Name\r\nfile song.mp3 MP3\r\ntrack 1 audio\r\ntitle A Title With Blanks\r\n"
         "index 01 00:01:00\r\n",
         {"Album Name|", "1|A Title With Blanks||-1|75|song.mp3"}},
        {"UTF-8 texts",
         "TITLE \"Caf\xC3\xA9\"\nTRACK 01 AUDIO\nTITLE \"\xE6\x97\xA5\"\nINDEX 01 00:00:00\n",
         {"Caf\xC3\xA9|", "1|\xE6\x97\xA5||-1|0|"}},
        {"an ISO-8859-1 sheet is read as such",
         "TITLE \"Caf\xE9\"\nTRACK 01 AUDIO\nINDEX 01 00:00:01\n",
         {"Caf\xC3\xA9|", "1|||-1|1|"}},
        {"minutes past 99, and INDEX 02 ignored",
         "TRACK 1 AUDIO\nINDEX 01 120:00:00\nINDEX 02 121:00:00\n",
         {"|", "1|||-1|540000|"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(summary(ParseCueSheet(c.text)), c.tracks) << c.name;
}

TEST(CueSheet, RefusesASheetItCannotCutBy) {
    const struct {
        const char* name;
        std::string text;
        const char* message;
    } cases[] = {
        {"no track", "TITLE x\n", "holds no TRACK"},
        {"a track without INDEX 01", "TRACK 01 AUDIO\nINDEX 00 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n",
         "line 1: track 1 has no INDEX 01"},
        {"75 frames", "TRACK 01 AUDIO\nINDEX 01 00:00:75\n", "line 2"},
        {"60 seconds", "TRACK 01 AUDIO\nINDEX 01 00:60:00\n", "line 2"},
        {"not a time", "TRACK 01 AUDIO\nINDEX 01 1:2\n", "line 2"},
        {"an INDEX outside a track", "INDEX 01 00:00:00\n", "line 1"},
        {"no track number", "TRACK AUDIO\n", "line 1"},
        {"times going back", "TRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:04:00\n",
         "line 3: track 2 does not start after track 1 (line 1)"},
        {"times going back under a second FILE line naming the same file",
         "FILE \"x.mp3\" MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 50:00:00\n"
         "FILE \"dir/x.mp3\" MP3\nTRACK 03 AUDIO\nINDEX 01 00:00:00\n",
         "line 7: track 3 does not start after track 2 (line 4)"},
        {"a quote left open", "TRACK 01 AUDIO\nTITLE \"Open\nINDEX 01 00:00:00\n",
         "line 2: a quote that is not closed"},
    };
    for (const auto& c : cases) {
        try {
            ParseCueSheet(c.text);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
        }
    }
}

TEST(CueSheet, NamesAndPicksPieces) {
    const struct {
        int number;
        std::string title;
        std::string name;
    } names[] = {
        {1, "Opening", "01 - Opening.mp3"},
        {12, "", "12.mp3"},
        {2, "AC/DC: What? \"Yes\" <no> | a*b\\c", "02 - AC_DC_ What_ _Yes_ _no_ _ a_b_c.mp3"},
        {3, "Tab\there...", "03 - Tab_here.mp3"},
        {4, "..", "04.mp3"},
        {5, std::string(300, 'a'), "05 - " + std::string(246, 'a') + ".mp3"},
        {6,
         std::string(245, 'a') + "\xC3\xA9"
                                 "b",
         "06 - " + std::string(245, 'a') + ".mp3"},
    };
    for (const auto& c : names)
        EXPECT_EQ(CuePieceName(CueTrack{c.number, {}, c.title, {}, {}, 0}), c.name) << c.title;

    const CueSheet two = ParseCueSheet("FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                       "FILE \"dir\\b.mp3\" MP3\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n"
                                       "TRACK 03 AUDIO\nINDEX 01 00:10:00\n");
    EXPECT_EQ(TracksFor(two, "/music/b.mp3").size(), 2u) << "the tracks of the FILE naming the source";
    EXPECT_THROW(TracksFor(two, "/music/c.mp3"), std::runtime_error);
    const CueSheet one = ParseCueSheet("FILE \"old name.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_EQ(TracksFor(one, "/music/new.mp3").size(), 1u) << "a single file's sheet fits a renamed rip";

    // The piece of track 3 of a source tagged "3/12" is track 3, as its
    // siblings are 1, 2 and 4.
    TID3v2 source;
    source.SetTrackText("3/12");
    const CueTrack third{3, {}, "Three", {}, {}, 0};
    const PieceTags tags = CuePieceTags(TID3v1(), source, one, third);
    TID3v2 piece;
    piece.LoadTag(tags.id3v2, int64_t(tags.id3v2.size()) + 1000);
    EXPECT_EQ(piece.TrackText(), "3");
}

// The pieces a sheet gives a 10 s source: none overwrites another, and
// every track left out is said.
TEST(CueSheet, EveryTrackIsWrittenUnderItsOwnNameOrSaidToBeLeftOut) {
    const struct {
        const char* name;
        std::string text;
        const char* source;
        std::vector<std::string> pieces;
        std::string note;
    } cases[] = {
        {"two tracks numbered alike",
         "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:02:00\nTRACK 02 AUDIO\nINDEX 01 00:04:00\n"
         "TRACK 03 AUDIO\nINDEX 01 00:06:00\n",
         "a.mp3",
         {"01.mp3", "02.mp3", "02 (2).mp3", "03.mp3"},
         ""},
        {"titles that differ only where a name cannot hold them, or in case",
         "TRACK 01 AUDIO\nTITLE AC/DC\nINDEX 01 00:00:00\nTRACK 01 AUDIO\nTITLE AC_DC\nINDEX 01 00:02:00\n"
         "TRACK 01 AUDIO\nTITLE AC:DC\nINDEX 01 00:04:00\nTRACK 01 AUDIO\nTITLE ac_dc\nINDEX 01 00:06:00\n",
         "a.mp3",
         {"01 - AC_DC.mp3", "01 - AC_DC (2).mp3", "01 - AC_DC (3).mp3", "01 - ac_dc (4).mp3"},
         ""},
        {"a track past the end of the file",
         "TRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:05:00\nTRACK 03 AUDIO\nINDEX 01 00:12:00\n",
         "a.mp3",
         {"01.mp3", "02.mp3"},
         "Track 3 (line 5) starts at or after the end of the file (00:10.000) and was left out; track 2 runs to the "
         "end."},
        {"tracks under a second FILE line",
         "FILE a.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:05:00\n"
         "FILE b.wav WAVE\nTRACK 03 AUDIO\nINDEX 01 00:00:00\nTRACK 04 AUDIO\nINDEX 01 00:03:00\n",
         "/music/a.mp3",
         {"01.mp3", "02.mp3"},
         "2 tracks belong to \"b.wav\", not to this file, and were left out."},
        {"a sheet naming the WAV files of a rip",
         "FILE cd1.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE cd2.wav WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n",
         "/music/cd2.mp3",
         {"02.mp3"},
         "1 track belongs to \"cd1.wav\", not to this file, and was left out."},
    };
    for (const auto& c : cases) {
        const CueSheet sheet = ParseCueSheet(c.text);
        const std::vector<CueTrack> tracks = TracksFor(sheet, c.source);
        std::string pastTheEnd;
        std::vector<std::string> names;
        for (const PlannedPiece& piece : PiecesFromCue(c.source, "/out", sheet, tracks, 10'000, &pastTheEnd))
            names.push_back(piece.path.substr(5));
        EXPECT_EQ(names, c.pieces) << c.name;
        EXPECT_EQ(OtherFilesText(sheet, tracks) + pastTheEnd, c.note) << c.name;
    }
}

} // namespace
} // namespace tindrel
