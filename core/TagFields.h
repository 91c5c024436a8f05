// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tindrel {

class FileStream;
class TID3v1;
class TID3v2;

// The Edit Tag page's two groups as plain data, so that a tool without
// widgets reads, copies and writes tags by the very rules of the page.
// Texts are UTF-8, as the page and the console show them; the ID3v1 tag
// holds ISO-8859-1 by its format, so its texts are converted on the way in
// and out.

// The ID3v1 group. The genre is an entry of the page's pick-only list: 0 is
// the empty first entry ("no genre"), entry i + 1 shows genre number i.
struct ID3v1Fields {
    bool exists = false; // the group's check box
    std::string caption = "ID3v1";
    std::string track;
    std::string title;
    std::string artist;
    std::string album;
    std::string year;
    int genreEntry = 0;
    std::string comment;
    // False when the file was not there to read: the page then clears the
    // group but leaves its fields enabled or disabled as they were.
    bool fileFound = false;
};

// The ID3v2 group; its genre is free text.
struct ID3v2Fields {
    bool exists = false;
    std::string caption = "ID3v2";
    std::string track;
    std::string title;
    std::string artist;
    std::string album;
    std::string year;
    std::string genre;
    std::string comment;
    bool fileFound = false; // as for the ID3v1 group
};

// Loads the file's tag into tag and gives the group as the page shows it;
// a missing file or a failed load gives the cleared group, with fileFound
// telling the two apart.
ID3v1Fields ShowID3v1(const std::string& fileName, TID3v1& tag);
ID3v2Fields ShowID3v2(const std::string& fileName, TID3v2& tag);
// The same from the file already open.
ID3v1Fields ShowID3v1(const FileStream& file, TID3v1& tag);
ID3v2Fields ShowID3v2(const FileStream& file, TID3v2& tag);
// The group of a tag another reader already loaded from a file it found
// (the MPEG analysis loads both), so that the file is not read again.
ID3v1Fields LoadedID3v1(const TID3v1& tag);
ID3v2Fields LoadedID3v2(const TID3v2& tag);

// "Copy to ID3v2": only when the ID3v1 box is checked; false otherwise, and
// nothing changes.
bool CopyToID3v2(const ID3v1Fields& from, ID3v2Fields& to);
// "Copy from ID3v2": only when the ID3v2 box is checked. The genre text
// selects the first list entry equal to it with A-Z lower-cased; with no
// match the selection stays as it was.
bool CopyFromID3v2(const ID3v2Fields& from, ID3v1Fields& to);

// Sets the group's fields on tag and saves it to the file; false when the
// file is missing or the save fails. The setters cut what the tag cannot hold.
bool SaveID3v1(const std::string& fileName, const ID3v1Fields& fields, TID3v1& tag);
bool SaveID3v2(const std::string& fileName, const ID3v2Fields& fields, TID3v2& tag);

// "Updat All" with both boxes checked: both groups set on their tags and
// written in one replacement of the file, so that no moment exists at which
// it holds one new tag and one old. What the user is told when that fails
// (the file as it was then), or when the file is too short for the ID3v1
// block (the ID3v2 tag is written all the same); nothing on success.
std::optional<std::string> SaveBothGroups(const std::string& fileName, const ID3v1Fields& v1, const ID3v2Fields& v2,
                                          TID3v1& v1Tag, TID3v2& v2Tag);

// The captions of the ID3v1 fields ("Title", "Artist", ...) whose text holds
// characters outside ISO-8859-1, which the ID3v1 tag writes as "?".
std::vector<std::string> FieldsOutsideLatin1(const ID3v1Fields& fields);
// What the user is told once when such fields are saved.
std::string Latin1LossText(const std::vector<std::string>& captions);
// What the user is told when a tag cannot be written: the tag ("ID3v1" or
// "ID3v2", or "" for both), the file and the reason.
std::string SaveFailureText(const std::string& tagName, const std::string& fileName, const std::string& reason);

// A typed track: a whole number in the platform's syntax kept in 8 bits;
// anything else, or a value of 0 or less, means no track.
uint8_t TrackFromText(const std::string& text);

// The text of a genre list entry: empty for entry 0 and for entries past
// the list.
std::string GenreEntryText(int entry);
// The first entry whose text equals name with A-Z lower-cased on both sides
// (entry 0 for an empty name), or -1 when there is none.
int FindGenreEntry(const std::string& name);

} // namespace tindrel
