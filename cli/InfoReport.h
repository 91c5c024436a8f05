// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace tindrel {

class FileStream;
class TMPEGaudio;

struct ID3v1Fields;
struct ID3v2Fields;

// "Key: value" lines, in the order they are shown; scripts find a value by
// its key.
using ReportLines = std::vector<std::pair<std::string, std::string>>;

// What the preview player reports of a file.
struct PlayerFacts {
    int64_t fileSize = 0;
    int64_t sampleRate = 0;
    int64_t bitRateKbps = 0;
    int64_t durationMs = 0;
    int64_t channels = 0;
};

// The file's format as read from its headers without decoding: the MPEG
// analysis for MP3 files, the Ogg Vorbis, WMA or WAV reader for files with
// those extensions (as the player chooses them). The MPEG analysis reads
// file, fileName already open, into audio (cleared for the other formats).
// Never throws; a file that cannot be read reports "Format: unknown".
ReportLines AnalysisReport(const std::string& fileName, const FileStream& file, TMPEGaudio& audio);

// What the preview player reports of fileName when it is an MP3 file that
// audio, its analysis, finds valid: the player's own figures, without
// loading the player. Nothing for any other file.
std::optional<PlayerFacts> Mp3PlayerFacts(const std::string& fileName, const TMPEGaudio& audio);

ReportLines PlayerReport(const PlayerFacts& facts);

// Both tag groups as the Edit Tag page shows them, texts as UTF-8.
ReportLines TagReport(const ID3v1Fields& v1, const ID3v2Fields& v2);

// "<n> ms (<time text>)".
std::string LengthText(int64_t ms);

// Writes "key: value" lines; toTerminal shows the control characters of
// the values by their codes.
void WriteReport(std::ostream& out, const ReportLines& lines, bool toTerminal = false);

} // namespace tindrel
