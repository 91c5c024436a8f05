// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/TagFields.h"

#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/PlatformInt.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagText.h"

namespace tindrel {

namespace {

// Only A to Z are folded: the page's genre match leaves every other byte,
// accented letters included, as it is.
std::string asciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

// The copy buttons tick the target's box and take the fields that both
// groups have alike; genre and comment differ per direction.
template <typename From, typename To> void copyCommonFields(const From& from, To& to) {
    to.exists = true;
    to.track = from.track;
    to.title = from.title;
    to.artist = from.artist;
    to.album = from.album;
    to.year = from.year;
}

} // namespace

namespace {

ID3v1Fields fieldsOf(bool fileFound, bool loaded, const TID3v1& tag) {
    ID3v1Fields fields;
    fields.fileFound = fileFound;
    if (!fileFound || !loaded || !tag.Exists())
        return fields;
    fields.exists = true;
    fields.caption = tag.Version() == TID3v1::kVersion10 ? "ID3v1 - Version 1.0" : "ID3v1 - Version 1.1";
    fields.title = Latin1ToUtf8(tag.Title());
    fields.artist = Latin1ToUtf8(tag.Artist());
    fields.album = Latin1ToUtf8(tag.Album());
    fields.year = Latin1ToUtf8(tag.Year());
    // Unlike the ID3v2 group, a track of 0 is shown as "0".
    fields.track = std::to_string(tag.Track());
    fields.comment = Latin1ToUtf8(tag.Comment());
    if (tag.GenreIndex() < kGenreCount)
        fields.genreEntry = tag.GenreIndex() + 1;
    return fields;
}

ID3v2Fields fieldsOf(bool fileFound, bool loaded, const TID3v2& tag) {
    ID3v2Fields fields;
    fields.fileFound = fileFound;
    if (!fileFound || !loaded || !tag.Exists())
        return fields;
    fields.exists = true;
    fields.caption = "ID3v2 - Version 2." + std::to_string(tag.MajorVersion());
    fields.title = tag.Title();
    fields.artist = tag.Artist();
    fields.album = tag.Album();
    fields.year = tag.Year();
    fields.genre = tag.Genre();
    fields.comment = tag.Comment();
    // A track that is no number ("A1", "3 /12") is shown as the tag holds
    // it, so that saving the unchanged field keeps it.
    if (tag.Track() > 0)
        fields.track = std::to_string(tag.Track());
    else if (int32_t number = 0; !TryParsePlatformInt(tag.TrackText(), number))
        fields.track = tag.TrackText();
    return fields;
}

} // namespace

ID3v1Fields ShowID3v1(const std::string& fileName, TID3v1& tag) {
    const bool found = FileExists(fileName);
    return fieldsOf(found, found && tag.Load(fileName), tag);
}

ID3v2Fields ShowID3v2(const std::string& fileName, TID3v2& tag) {
    const bool found = FileExists(fileName);
    return fieldsOf(found, found && tag.Load(fileName), tag);
}

ID3v1Fields ShowID3v1(const FileStream& file, TID3v1& tag) {
    return fieldsOf(file.isOpen(), file.isOpen() && tag.Load(file), tag);
}

ID3v2Fields ShowID3v2(const FileStream& file, TID3v2& tag) {
    return fieldsOf(file.isOpen(), file.isOpen() && tag.Load(file), tag);
}

ID3v1Fields LoadedID3v1(const TID3v1& tag) {
    return fieldsOf(true, true, tag);
}

ID3v2Fields LoadedID3v2(const TID3v2& tag) {
    return fieldsOf(true, true, tag);
}

bool CopyToID3v2(const ID3v1Fields& from, ID3v2Fields& to) {
    if (!from.exists)
        return false;
    copyCommonFields(from, to);
    to.genre = GenreEntryText(from.genreEntry);
    to.comment = from.comment;
    return true;
}

bool CopyFromID3v2(const ID3v2Fields& from, ID3v1Fields& to) {
    if (!from.exists)
        return false;
    copyCommonFields(from, to);
    if (const int entry = FindGenreEntry(from.genre); entry >= 0)
        to.genreEntry = entry;
    to.comment = from.comment;
    return true;
}

namespace {

void setFields(const ID3v1Fields& fields, TID3v1& tag) {
    tag.SetTitle(Utf8ToLatin1(fields.title));
    tag.SetArtist(Utf8ToLatin1(fields.artist));
    tag.SetAlbum(Utf8ToLatin1(fields.album));
    tag.SetYear(Utf8ToLatin1(fields.year));
    tag.SetTrack(TrackFromText(fields.track));
    // The empty first entry stands for "no genre".
    tag.SetGenreIndex(fields.genreEntry <= 0 ? TID3v1::kNoGenre : static_cast<uint8_t>(fields.genreEntry - 1));
    tag.SetComment(Utf8ToLatin1(fields.comment));
}

void setFields(const ID3v2Fields& fields, TID3v2& tag) {
    tag.SetTitle(fields.title);
    tag.SetArtist(fields.artist);
    tag.SetAlbum(fields.album);
    // A text that is no number is kept as typed; a number (0 for none) is
    // the track, and the loaded "3/12" stays while it gives that number.
    if (int32_t number = 0; !fields.track.empty() && !TryParsePlatformInt(fields.track, number))
        tag.SetTrackText(fields.track);
    else
        tag.SetTrack(TrackFromText(fields.track));
    tag.SetYear(fields.year);
    tag.SetGenre(fields.genre);
    tag.SetComment(fields.comment);
}

} // namespace

bool SaveID3v1(const std::string& fileName, const ID3v1Fields& fields, TID3v1& tag) {
    if (!FileExists(fileName))
        return false;
    setFields(fields, tag);
    return tag.Save(fileName);
}

bool SaveID3v2(const std::string& fileName, const ID3v2Fields& fields, TID3v2& tag) {
    if (!FileExists(fileName))
        return false;
    setFields(fields, tag);
    return tag.Save(fileName);
}

std::optional<std::string> SaveBothGroups(const std::string& fileName, const ID3v1Fields& v1, const ID3v2Fields& v2,
                                          TID3v1& v1Tag, TID3v2& v2Tag) {
    setFields(v1, v1Tag);
    setFields(v2, v2Tag);
    std::string reason;
    bool v1Written = false;
    if (!SaveBothTags(fileName, v1Tag, v2Tag, v1Written, &reason))
        return SaveFailureText("", fileName, reason);
    // As the ID3v1 save alone, a file shorter than the block cannot take it.
    if (!v1Written)
        return SaveFailureText("ID3v1", fileName, "The file is shorter than an ID3v1 tag.");
    return std::nullopt;
}

std::vector<std::string> FieldsOutsideLatin1(const ID3v1Fields& fields) {
    const std::pair<const char*, const std::string*> texts[] = {{"Title", &fields.title},
                                                                {"Artist", &fields.artist},
                                                                {"Album", &fields.album},
                                                                {"Year", &fields.year},
                                                                {"Comment", &fields.comment}};
    std::vector<std::string> captions;
    for (const auto& [caption, text] : texts)
        if (!FitsLatin1(*text))
            captions.emplace_back(caption);
    return captions;
}

std::string Latin1LossText(const std::vector<std::string>& captions) {
    std::string names;
    for (std::size_t i = 0; i < captions.size(); ++i)
        names += (i == 0 ? "" : i + 1 == captions.size() ? " and " : ", ") + captions[i];
    return "The ID3v1 tag holds Latin-1 characters only: " + names +
           " was saved with \"?\" for the characters it cannot hold. The ID3v2 tag keeps every character.";
}

std::string SaveFailureText(const std::string& tagName, const std::string& fileName, const std::string& reason) {
    const std::string what = tagName.empty() ? "tags" : tagName + " tag";
    return "Cannot write the " + what + " of \"" + fileName + "\"." + (reason.empty() ? "" : " " + reason);
}

uint8_t TrackFromText(const std::string& text) {
    int32_t value = 0;
    if (!TryParsePlatformInt(text, value) || value <= 0)
        return 0;
    return static_cast<uint8_t>(value);
}

std::string GenreEntryText(int entry) {
    if (entry <= 0 || entry > static_cast<int>(kGenreCount))
        return {};
    return std::string(GenreNames[static_cast<std::size_t>(entry - 1)]);
}

int FindGenreEntry(const std::string& name) {
    const std::string wanted = asciiLower(name);
    for (int entry = 0; entry <= static_cast<int>(kGenreCount); ++entry)
        if (asciiLower(GenreEntryText(entry)) == wanted)
            return entry;
    return -1;
}

} // namespace tindrel
