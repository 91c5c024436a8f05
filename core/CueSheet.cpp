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

// A value in double quotes runs to the closing quote (a title may hold
// blanks); an unquoted one is the first word, or the whole rest for the
// texts, as some writers leave titles unquoted.
std::string_view value(std::string_view& rest, bool wholeRest) {
    rest = trimmed(rest);
    if (!rest.empty() && rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        const std::string_view inside = rest.substr(1, close == std::string_view::npos ? close : close - 1);
        rest = close == std::string_view::npos ? std::string_view() : trimmed(rest.substr(close + 1));
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

[[noreturn]] void refuse(int line, const std::string& why) {
    throw std::runtime_error("The CUE sheet cannot be used: line " + std::to_string(line) + ": " + why + ".");
}

// Text as UTF-8: a sheet that is not valid UTF-8 is taken as ISO-8859-1.
std::string sheetText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return DecodeText(bytes, kEncodingUtf8);
}

void checkTrack(const CueTrack& track, int line) {
    if (track.index01 < 0)
        refuse(line, "track " + std::to_string(track.number) + " has no INDEX 01");
}

} // namespace

CueSheet ParseCueSheet(std::string_view bytes) {
    const std::string text = sheetText(bytes);
    CueSheet sheet;
    std::string file;
    int trackLine = 0;
    std::size_t at = 0;
    for (int lineNo = 1; at < text.size(); ++lineNo) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view rest = std::string_view(text).substr(at, end - at);
        at = end + 1;
        const std::string command = upper(firstWord(rest));
        CueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();
        if (command == "FILE") {
            file = std::string(value(rest, false));
        } else if (command == "TRACK") {
            if (track)
                checkTrack(*track, trackLine);
            const std::string_view number = firstWord(rest);
            if (!digitsOnly(number) || std::stoi(std::string(number)) > 99)
                refuse(lineNo, "a TRACK without a number from 1 to 99");
            sheet.tracks.push_back(CueTrack{std::stoi(std::string(number)), file, {}, {}, {}, -1});
            trackLine = lineNo;
        } else if (command == "TITLE" || command == "PERFORMER") {
            std::string& field = command == "TITLE" ? (track ? track->title : sheet.title)
                                                    : (track ? track->performer : sheet.performer);
            field = std::string(trimmed(value(rest, true)));
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
    checkTrack(sheet.tracks.back(), trackLine);
    for (std::size_t i = 1; i < sheet.tracks.size(); ++i)
        if (sheet.tracks[i].file == sheet.tracks[i - 1].file && sheet.tracks[i].index01 <= sheet.tracks[i - 1].index01)
            throw std::runtime_error("The CUE sheet cannot be used: track " + std::to_string(sheet.tracks[i].number) +
                                     " does not start after track " + std::to_string(sheet.tracks[i - 1].number) + ".");
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
    const bool oneFile = std::all_of(sheet.tracks.begin(), sheet.tracks.end(),
                                     [&](const CueTrack& t) { return t.file == sheet.tracks.front().file; });
    if (oneFile)
        return sheet.tracks;
    std::vector<CueTrack> tracks;
    const std::string name = ExtractFileName(source);
    // A sheet written on another system may use "\" between folders.
    std::copy_if(sheet.tracks.begin(), sheet.tracks.end(), std::back_inserter(tracks), [&](const CueTrack& t) {
        const std::size_t cut = t.file.find_last_of("/\\");
        return (cut == std::string::npos ? t.file : t.file.substr(cut + 1)) == name;
    });
    if (tracks.empty())
        throw std::runtime_error("The CUE sheet names several files, and \"" + name + "\" is none of them.");
    return tracks;
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
    const std::string& artist = track.performer.empty() ? sheet.performer : track.performer;
    v2.SetTitle(track.title);
    v2.SetArtist(artist);
    v2.SetAlbum(sheet.title);
    v2.SetTrack(static_cast<uint8_t>(track.number));
    v1.SetTitle(Utf8ToLatin1(track.title));
    v1.SetArtist(Utf8ToLatin1(artist));
    v1.SetAlbum(Utf8ToLatin1(sheet.title));
    v1.SetTrack(static_cast<uint8_t>(track.number));
    return BuildPieceTags(v1, v2);
}

} // namespace tindrel
