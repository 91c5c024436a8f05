// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/CueSheet.h"

#include "platform/FileOps.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagText.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace tindrel {

namespace {

// A sheet is a few kilobytes; anything far larger is not one.
constexpr std::streamsize kMaxSheetBytes = 1 << 20;
constexpr std::size_t kMaxNameBytes = 255;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Splits off the first word of rest (the command) and leaves the rest.
std::string_view firstWord(std::string_view& rest) {
    rest = trimmed(rest);
    const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
    const std::string_view word = rest.substr(0, end);
    rest = trimmed(rest.substr(end));
    return word;
}

[[noreturn]] void refuse(int line, const std::string& why) {
    throw std::runtime_error("The CUE sheet cannot be used: line " + std::to_string(line) + ": " + why + ".");
}

// A value in double quotes runs to the closing quote (a title may hold
// blanks); an unquoted one is the first word, or the whole rest for the
// texts, as some writers leave titles unquoted. A quote left open would
// take the rest of the line for the value, a file name or title the sheet
// never meant: it is refused.
std::string_view value(std::string_view& rest, bool wholeRest, int line) {
    rest = trimmed(rest);
    if (!rest.empty() && rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        if (close == std::string_view::npos)
            refuse(line, "a quote that is not closed");
        const std::string_view inside = rest.substr(1, close - 1);
        rest = trimmed(rest.substr(close + 1));
        return inside;
    }
    return wholeRest ? std::exchange(rest, std::string_view()) : firstWord(rest);
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool digitsOnly(std::string_view s) {
    return !s.empty() && s.size() <= 6 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "mm:ss:ff" in CD frames; nothing when malformed.
std::optional<int64_t> cueTime(std::string_view text) {
    const std::size_t a = text.find(':');
    const std::size_t b = a == std::string_view::npos ? a : text.find(':', a + 1);
    if (b == std::string_view::npos)
        return std::nullopt;
    const std::string_view mm = text.substr(0, a), ss = text.substr(a + 1, b - a - 1), ff = text.substr(b + 1);
    if (!digitsOnly(mm) || !digitsOnly(ss) || !digitsOnly(ff))
        return std::nullopt;
    const int64_t s = std::stoll(std::string(ss)), f = std::stoll(std::string(ff));
    if (s >= 60 || f >= 75)
        return std::nullopt;
    return (std::stoll(std::string(mm)) * 60 + s) * 75 + f;
}

// A file name without its extension.
std::string_view stemOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

// Text as UTF-8: a sheet that is not valid UTF-8 is taken as ISO-8859-1.
std::string sheetText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return DecodeText(bytes, kEncodingUtf8);
}

void checkTrack(const CueTrack& track) {
    if (track.index01 < 0)
        refuse(track.line, "track " + std::to_string(track.number) + " has no INDEX 01");
}

// The name of a FILE line without its folders; a sheet written on another
// system may use "\" between them.
std::string_view bareName(std::string_view file) {
    const std::size_t cut = file.find_last_of("/\\");
    return cut == std::string_view::npos ? file : file.substr(cut + 1);
}

// Tracks of one file, under one FILE line or several naming it, must go
// forward in time: pieces cut from overlapping tracks would copy the same
// sound again and again.
void checkTimeOrder(const std::vector<CueTrack>& tracks) {
    std::unordered_map<std::string_view, const CueTrack*> lastOfFile;
    for (const CueTrack& track : tracks) {
        const CueTrack*& before = lastOfFile[bareName(track.file)];
        if (before && track.index01 <= before->index01)
            refuse(track.line, "track " + std::to_string(track.number) + " does not start after track " +
                                   std::to_string(before->number) + " (line " + std::to_string(before->line) + ")");
        before = &track;
    }
}

} // namespace

CueSheet ParseCueSheet(std::string_view bytes) {
    const std::string text = sheetText(bytes);
    CueSheet sheet;
    std::string file;
    std::size_t at = 0;
    for (int lineNo = 1; at < text.size(); ++lineNo) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view rest = std::string_view(text).substr(at, end - at);
        at = end + 1;
        const std::string command = upper(firstWord(rest));
        CueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
        if (command == "FILE") {
            file = std::string(value(rest, false, lineNo));
        } else if (command == "TRACK") {
            if (track)
                checkTrack(*track);
            const std::string_view number = firstWord(rest);
            if (!digitsOnly(number) || std::stoi(std::string(number)) > 99)
                refuse(lineNo, "a TRACK without a number from 1 to 99");
            sheet.tracks.push_back(CueTrack{std::stoi(std::string(number)), file, {}, {}, {}, -1, lineNo});
        } else if (command == "TITLE" || command == "PERFORMER") {
            std::string& field = command == "TITLE" ? (track ? track->title : sheet.title)
                                                    : (track ? track->performer : sheet.performer);
            field = std::string(trimmed(value(rest, true, lineNo)));
        } else if (command == "INDEX") {
            const std::string_view number = firstWord(rest);
            const std::optional<int64_t> time = cueTime(firstWord(rest));
            if (!track || !digitsOnly(number) || !time)
                refuse(lineNo, "an INDEX that is not \"INDEX nn mm:ss:ff\" within a TRACK");
            const int n = std::stoi(std::string(number));
            if (n == 0)
                track->index00 = *time;
            else if (n == 1)
                track->index01 = *time;
        }
        // REM, CATALOG, FLAGS, ISRC, PREGAP and the like say nothing of where to cut.
    }
    if (sheet.tracks.empty())
        throw std::runtime_error("The CUE sheet cannot be used: it holds no TRACK.");
    checkTrack(sheet.tracks.back());
    checkTimeOrder(sheet.tracks);
    return sheet;
}

CueSheet LoadCueSheet(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in) {
        bytes.resize(static_cast<std::size_t>(kMaxSheetBytes) + 1);
        in.read(bytes.data(), kMaxSheetBytes + 1);
        bytes.resize(static_cast<std::size_t>(in.gcount()));
    }
    if (!in && !in.eof())
        throw std::runtime_error("Cannot open file " + path);
    if (bytes.size() > static_cast<std::size_t>(kMaxSheetBytes))
        throw std::runtime_error("The CUE sheet cannot be used: \"" + path + "\" is far too large for one.");
    return ParseCueSheet(bytes);
}

std::optional<std::string> CueBeside(const std::string& mp3Path) {
    const std::size_t dot = mp3Path.rfind('.');
    const std::size_t slash = mp3Path.rfind('/');
    const std::string stem =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? mp3Path.substr(0, dot) : mp3Path;
    for (const char* extension : {".cue", ".CUE", ".Cue"})
        if (FileExists(stem + extension))
            return stem + extension;
    return std::nullopt;
}

std::vector<CueTrack> TracksFor(const CueSheet& sheet, const std::string& source) {
    const bool oneFile = std::all_of(sheet.tracks.begin(), sheet.tracks.end(), [&](const CueTrack& t) {
        return bareName(t.file) == bareName(sheet.tracks.front().file);
    });
    if (oneFile)
        return sheet.tracks;
    const std::string name = ExtractFileName(source);
    std::vector<CueTrack> tracks;
    std::copy_if(sheet.tracks.begin(), sheet.tracks.end(), std::back_inserter(tracks),
                 [&](const CueTrack& t) { return bareName(t.file) == name; });
    // A sheet made for the WAV files of a rip names them, not their MP3s.
    if (tracks.empty())
        std::copy_if(sheet.tracks.begin(), sheet.tracks.end(), std::back_inserter(tracks),
                     [&](const CueTrack& t) { return stemOf(bareName(t.file)) == stemOf(name); });
    if (tracks.empty())
        throw std::runtime_error("The CUE sheet names several files, and \"" + name + "\" is none of them.");
    return tracks;
}

std::string OtherFilesText(const CueSheet& sheet, const std::vector<CueTrack>& tracks) {
    if (tracks.size() == sheet.tracks.size())
        return {};
    std::vector<std::string> files;
    std::size_t count = 0;
    for (const CueTrack& t : sheet.tracks) {
        const bool taken =
            std::any_of(tracks.begin(), tracks.end(), [&](const CueTrack& c) { return c.line == t.line; });
        if (taken)
            continue;
        ++count;
        if (std::find(files.begin(), files.end(), t.file) == files.end())
            files.push_back(t.file);
    }
    std::string names;
    for (const std::string& f : files)
        names += (names.empty() ? "\"" : ", \"") + f + "\"";
    return std::to_string(count) + (count == 1 ? " track belongs" : " tracks belong") + " to " + names +
           ", not to this file, and " + (count == 1 ? "was" : "were") + " left out.";
}

std::string CuePieceName(const CueTrack& track) {
    std::string title = track.title;
    for (char& c : title)
        if (static_cast<unsigned char>(c) < 32 || c == 127 ||
            std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    while (!title.empty() && (title.back() == '.' || title.back() == ' '))
        title.pop_back();
    char number[8];
    std::snprintf(number, sizeof number, "%02d", track.number);
    const std::string head = std::string(number) + (title.empty() ? "" : " - ");
    const std::size_t room = kMaxNameBytes - head.size() - 4;
    if (title.size() > room) {
        std::size_t cut = room;
        // Never in the middle of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(title[cut]) & 0xC0) == 0x80)
            --cut;
        title.resize(cut);
    }
    return head + title + ".mp3";
}

PieceTags CuePieceTags(const std::string& source, const CueSheet& sheet, const CueTrack& track) {
    TID3v1 v1;
    TID3v2 v2;
    v1.Load(source);
    v2.Load(source);
    return CuePieceTags(v1, v2, sheet, track);
}

PieceTags CuePieceTags(TID3v1 v1, TID3v2 v2, const CueSheet& sheet, const CueTrack& track) {
    const std::string& artist = track.performer.empty() ? sheet.performer : track.performer;
    v2.SetTitle(track.title);
    v2.SetArtist(artist);
    v2.SetAlbum(sheet.title);
    // The piece's own number, not the source's "3/12" that happens to
    // start with it.
    v2.SetTrackText(std::to_string(track.number));
    v1.SetTitle(Utf8ToLatin1(track.title));
    v1.SetArtist(Utf8ToLatin1(artist));
    v1.SetAlbum(Utf8ToLatin1(sheet.title));
    v1.SetTrack(static_cast<uint8_t>(track.number));
    return BuildPieceTags(v1, v2);
}

} // namespace tindrel
