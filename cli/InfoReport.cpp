// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/InfoReport.h"

#include "core/TagFields.h"
#include "core/TimeText.h"
#include "mpeg/MPEGaudio.h"
#include "mpeg/Rounding.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "player/OggVorbis.h"
#include "player/ReaderText.h"
#include "player/WAVfile.h"
#include "player/WMAfile.h"

#include <cmath>
#include <exception>

namespace tindrel {

namespace {

int64_t secondsToMs(double seconds) {
    return RoundHalfEven(seconds * 1000.0);
}

std::string with(int64_t value, const char* unit) {
    return std::to_string(value) + " " + unit;
}

const char* versionName(uint8_t code) {
    switch (code) {
    case kMPEG1:
        return "MPEG 1";
    case kMPEG2:
        return "MPEG 2";
    case kMPEG25:
        return "MPEG 2.5";
    }
    return "MPEG ?";
}

const char* layerName(uint8_t code) {
    switch (code) {
    case kLayerI:
        return "Layer I";
    case kLayerII:
        return "Layer II";
    case kLayerIII:
        return "Layer III";
    }
    return "Layer ?";
}

ReportLines mpegReport(const FileStream& file, TMPEGaudio& audio) {
    audio.Analyze(file);
    const TMPEGFrame& frame = audio.FirstFrame();
    if (!frame.Found)
        return {{"Format", "unknown (no MPEG audio frame found)"}};
    const TVBRHeader& vbr = audio.VBRHeader();
    return {
        {"Format", std::string(versionName(frame.VersionCode)) + " " + layerName(frame.LayerCode)},
        {"File size", with(audio.FileSize(), "bytes")},
        {"Length", LengthText(secondsToMs(audio.Duration()))},
        {"Bit rate", with(audio.BitRate(), "kbit/s")},
        {"Sample rate", with(audio.SampleRate(), "Hz")},
        {"Channels", frame.ModeCode == kModeMono ? "1" : "2"},
        {"Channel mode", audio.ChannelModeName()},
        {"VBR header", vbr.Found
                           ? vbr.Signature + ", " + with(vbr.FrameCount, "frames") + ", " + with(vbr.ByteCount, "bytes")
                           : std::string("none")},
        {"Encoder", audio.EncoderID().empty() ? std::string("unknown") : audio.EncoderID()},
        {"Valid", audio.IsValid() ? "yes" : "no"},
    };
}

ReportLines oggReport(const std::string& fileName) {
    TOggVorbis ogg;
    if (!ogg.ReadFromFile(fileName))
        return {{"Format", "unknown (no Ogg Vorbis headers found)"}};
    return {
        {"Format", "Ogg Vorbis"},
        {"File size", with(ogg.FileSize(), "bytes")},
        {"Length", LengthText(secondsToMs(ogg.Duration()))},
        {"Bit rate", with(ogg.BitRate(), "kbit/s")},
        {"Nominal bit rate", with(ogg.BitRateNominal(), "kbit/s")},
        {"Sample rate", with(ogg.SampleRate(), "Hz")},
        {"Channels", std::to_string(ogg.Channels())},
        {"Vendor", ogg.Vendor()},
        {"Vorbis title", ogg.Title()},
        {"Vorbis artist", ogg.Artist()},
        {"Vorbis album", ogg.Album()},
        {"Vorbis track", std::to_string(ogg.Track())},
        {"Vorbis date", ogg.Date()},
        {"Vorbis genre", ogg.Genre()},
        {"Vorbis comment", ogg.Comment()},
        {"Valid", ogg.Valid() ? "yes" : "no"},
    };
}

ReportLines wmaReport(const std::string& fileName) {
    TWMAfile wma;
    if (!wma.ReadFromFile(fileName) || !wma.Valid())
        return {{"Format", "unknown (no usable WMA header found)"}};
    return {
        {"Format", "WMA"},
        {"File size", with(wma.FileSize(), "bytes")},
        {"Length", LengthText(secondsToMs(wma.Duration()))},
        {"Bit rate", with(wma.BitRate(), "kbit/s")},
        {"Sample rate", with(wma.SampleRate(), "Hz")},
        {"Channels", std::to_string(wma.Channels())},
        {"WMA title", WideToUtf8(wma.Title())},
        {"WMA artist", WideToUtf8(wma.Artist())},
        {"WMA album", WideToUtf8(wma.Album())},
        {"WMA track", std::to_string(wma.Track())},
        {"WMA year", WideToUtf8(wma.Year())},
        {"WMA genre", WideToUtf8(wma.Genre())},
        {"WMA comment", WideToUtf8(wma.Comment())},
    };
}

ReportLines wavReport(const std::string& fileName) {
    TWAVfile wav;
    if (!wav.ReadFromFile(fileName) || !wav.Valid())
        return {{"Format", "unknown (no WAVE header found)"}};
    return {
        {"Format", "WAV"},
        {"File size", with(wav.FileSize(), "bytes")},
        {"Length", LengthText(secondsToMs(wav.Duration()))},
        {"Sample rate", with(wav.SampleRate(), "Hz")},
        {"Channels", std::to_string(wav.Channels())},
        {"Bits per sample", std::to_string(wav.BitsPerSample())},
    };
}

} // namespace

std::string LengthText(int64_t ms) {
    return std::to_string(ms) + " ms (" + FormatTimeText(ms / 1000.0) + ")";
}

ReportLines AnalysisReport(const std::string& fileName, const FileStream& file, TMPEGaudio& audio) {
    audio.Clear();
    const std::string ext = UpperFileExt(fileName);
    try {
        if (ext == ".OGG")
            return oggReport(fileName);
        if (ext == ".WMA")
            return wmaReport(fileName);
        if (ext == ".WAV")
            return wavReport(fileName);
        return mpegReport(file, audio);
    } catch (const std::exception&) {
        // The Ogg reader throws when the file cannot be opened.
        return {{"Format", "unknown (the file cannot be read)"}};
    }
}

std::optional<PlayerFacts> Mp3PlayerFacts(const std::string& fileName, const TMPEGaudio& audio) {
    // The player takes a ".MP3" file's figures from this same analysis when
    // it finds the file valid, and asks its plug-ins only about the others.
    if (UpperFileExt(fileName) != ".MP3" || !audio.IsValid())
        return std::nullopt;
    return PlayerFacts{audio.FileSize(), audio.SampleRate(), audio.BitRate(),
                       static_cast<int64_t>(std::nearbyint(audio.Duration() * 1000.0)),
                       audio.FirstFrame().ModeCode == kModeMono ? 1 : 2};
}

ReportLines PlayerReport(const PlayerFacts& facts) {
    return {
        {"Player file size", with(facts.fileSize, "bytes")},    {"Player length", LengthText(facts.durationMs)},
        {"Player bit rate", with(facts.bitRateKbps, "kbit/s")}, {"Player sample rate", with(facts.sampleRate, "Hz")},
        {"Player channels", std::to_string(facts.channels)},
    };
}

namespace {

// "ID3v1 - Version 1.1" gives "Version 1.1".
std::string versionOf(const std::string& caption) {
    const std::size_t dash = caption.find(" - ");
    return dash == std::string::npos ? caption : caption.substr(dash + 3);
}

} // namespace

ReportLines TagReport(const ID3v1Fields& v1, const ID3v2Fields& v2) {
    ReportLines lines;
    lines.emplace_back("ID3v1", v1.exists ? versionOf(v1.caption) : "none");
    if (v1.exists) {
        lines.emplace_back("ID3v1 track", v1.track);
        lines.emplace_back("ID3v1 title", v1.title);
        lines.emplace_back("ID3v1 artist", v1.artist);
        lines.emplace_back("ID3v1 album", v1.album);
        lines.emplace_back("ID3v1 year", v1.year);
        lines.emplace_back("ID3v1 genre", GenreEntryText(v1.genreEntry));
        lines.emplace_back("ID3v1 comment", v1.comment);
    }
    lines.emplace_back("ID3v2", v2.exists ? versionOf(v2.caption) : "none");
    if (v2.exists) {
        lines.emplace_back("ID3v2 track", v2.track);
        lines.emplace_back("ID3v2 title", v2.title);
        lines.emplace_back("ID3v2 artist", v2.artist);
        lines.emplace_back("ID3v2 album", v2.album);
        lines.emplace_back("ID3v2 year", v2.year);
        lines.emplace_back("ID3v2 genre", v2.genre);
        lines.emplace_back("ID3v2 comment", v2.comment);
    }
    return lines;
}

namespace {

// A tag text is anybody's to write: on a terminal, an escape sequence in it
// could move the cursor, rewrite what was shown or set the window's title.
// The control characters (C0, DEL and the C1 range as UTF-8) are shown as
// their codes instead.
std::string escapeControls(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c < 0x20 || c == 0x7F) {
            shown += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            shown += std::string("\\u00") + kHex[next >> 4] + kHex[next & 15];
            ++i;
        } else {
            shown += char(c);
        }
    }
    return shown;
}

} // namespace

void WriteReport(std::ostream& out, const ReportLines& lines, bool toTerminal) {
    for (const auto& [key, value] : lines) {
        // A multi-line ID3v2 comment stays on its one line, so that every
        // line of the report is one key and its value.
        std::string shown = value;
        for (char& c : shown)
            if (c == '\n' || c == '\r')
                c = ' ';
        out << key << ": " << (toTerminal ? escapeControls(shown) : shown) << '\n';
    }
}

} // namespace tindrel
