// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// How the player describes a file before it plays it: by its extension,
// through the MPEG analysis or one of the Ogg, WMA and WAV readers.
#include "mpeg/MPEGaudio.h"
#include "platform/FileOps.h"
#include "player/AudioPlayer.h"
#include "player/OggVorbis.h"
#include "player/ReaderText.h"
#include "player/WAVfile.h"
#include "player/WMAfile.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagText.h"

#include <cmath>

namespace tindrel {

namespace {

// Seconds to whole milliseconds, halves to even.
uint64_t roundedMs(double seconds) {
    return static_cast<uint64_t>(std::nearbyint(seconds * 1000.0));
}

// Reads fileName with one of the WAV, Ogg and WMA readers and takes what
// they all tell; false when the reader finds the file invalid.
template <typename Reader> bool readFormat(Reader& reader, const std::string& fileName, TStreamInfo& info) {
    reader.ReadFromFile(fileName);
    if (!reader.Valid())
        return false;
    info.FileSize = static_cast<uint64_t>(reader.FileSize());
    info.SampleRate = reader.SampleRate();
    info.Channels = reader.Channels();
    info.Duration = roundedMs(reader.Duration());
    return true;
}

} // namespace

bool TAudioPlayer::GetStreamInfo(const std::string& fileName, TStreamInfo& info, int32_t& pluginIndex,
                                 TSupportedBy& supportedBy) {
    Start();
    info = TStreamInfo{};
    info.FileName = fileName;
    supportedBy = TSupportedBy::Unsupported;
    pluginIndex = -1;
    bool found = false;
    // Without a working device the readers were never made.
    if (!m_mpegReader)
        return false;
    const std::string ext = UpperFileExt(fileName);
    if (ext == ".WAV")
        readWav(fileName, info, found);
    else if (ext == ".MP3")
        readMp3(fileName, info, found);
    else if (ext == ".OGG")
        readOgg(fileName, info, found);
    else if (ext == ".WMA")
        readWma(fileName, info, found);
    if (found && (ext != ".WMA" ? m_playerReady : m_wmaReady))
        supportedBy = TSupportedBy::BASSOnly;
    searchPlugins(fileName, info, pluginIndex, supportedBy, found);
    return found;
}

void TAudioPlayer::readWav(const std::string& fileName, TStreamInfo& info, bool& found) {
    found = readFormat(*m_wavReader, fileName, info);
}

void TAudioPlayer::readMp3(const std::string& fileName, TStreamInfo& info, bool& found) {
    TMPEGaudio& mpeg = *m_mpegReader;
    mpeg.Analyze(fileName);
    if (!mpeg.IsValid())
        return;
    info.FileSize = static_cast<uint64_t>(mpeg.FileSize());
    info.SampleRate = mpeg.SampleRate();
    info.BitRate = mpeg.BitRate();
    info.Duration = roundedMs(mpeg.Duration());
    if (const TID3v1& v1 = mpeg.V1Tag(); v1.Exists()) {
        info.Title = Latin1ToUtf8(v1.Title());
        info.Artist = Latin1ToUtf8(v1.Artist());
        info.Album = Latin1ToUtf8(v1.Album());
        info.Year = Latin1ToUtf8(v1.Year());
        info.Comment = Latin1ToUtf8(v1.Comment());
        info.Genre = v1.GenreName();
        info.GenreID = v1.GenreIndex();
        info.Track = v1.Track();
    } else if (const TID3v2& v2 = mpeg.V2Tag(); v2.Exists()) {
        info.Title = v2.Title();
        info.Artist = v2.Artist();
        info.Album = v2.Album();
        info.Year = v2.Year();
        info.Genre = v2.Genre();
        info.Track = v2.Track();
        info.Comment = v2.Comment();
    }
    info.Channels = mpeg.FirstFrame().ModeCode == kModeMono ? 1 : 2;
    found = true;
}

void TAudioPlayer::readOgg(const std::string& fileName, TStreamInfo& info, bool& found) {
    TOggVorbis& ogg = *m_oggReader;
    if (!readFormat(ogg, fileName, info))
        return;
    info.BitRate = ogg.BitRate();
    info.Title = ogg.Title();
    info.Artist = ogg.Artist();
    info.Album = ogg.Album();
    info.Year = ogg.Date();
    info.Genre = ogg.Genre();
    info.Track = static_cast<uint8_t>(ogg.Track());
    info.Comment = ogg.Comment();
    found = true;
}

void TAudioPlayer::readWma(const std::string& fileName, TStreamInfo& info, bool& found) {
    TWMAfile& wma = *m_wmaReader;
    if (!readFormat(wma, fileName, info))
        return;
    info.BitRate = wma.BitRate();
    info.Track = static_cast<uint8_t>(wma.Track());
    info.Title = WideToUtf8(wma.Title());
    info.Artist = WideToUtf8(wma.Artist());
    info.Album = WideToUtf8(wma.Album());
    info.Year = WideToUtf8(wma.Year());
    info.Genre = WideToUtf8(wma.Genre());
    info.Comment = WideToUtf8(wma.Comment());
    found = true;
}

} // namespace tindrel
