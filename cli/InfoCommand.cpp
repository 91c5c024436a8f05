// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "core/TagFields.h"
#include "mpeg/MPEGaudio.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

namespace tindrel {

int InfoCommand(const CommandLine& line, CliContext& context) {
    if (line.operands.empty())
        throw UsageError("info needs at least one FILE");
    int status = kExitDone;
    bool first = true;
    TMPEGaudio audio;
    for (const std::string& file : line.operands) {
        // One unreadable file does not hide what the others hold.
        if (const std::string why = NotAFileReason(file); !why.empty()) {
            context.err << "tindrel-cli: Cannot open file \"" << file << "\". " << why << '\n';
            status = kExitFailed;
            continue;
        }
        if (!first)
            context.out << '\n';
        first = false;
        // The analysis, the player's figures and the tags come from the one
        // open file, read once.
        FileStream opened;
        try {
            opened = FileStream::openRead(file);
        } catch (const std::runtime_error&) {
            // reported below as a file that cannot be read
        }
        const ReportLines analysis = AnalysisReport(file, opened, audio);
        ReportLines lines{{"File", file}};
        std::optional<PlayerFacts> facts = Mp3PlayerFacts(file, audio);
        if (!facts)
            facts = context.playerFacts(file);
        if (facts) {
            const ReportLines player = PlayerReport(*facts);
            lines.insert(lines.end(), player.begin(), player.end());
        }
        lines.insert(lines.end(), analysis.begin(), analysis.end());
        // An analysis that found a frame loaded both tags from this file.
        TID3v1 v1;
        TID3v2 v2;
        const bool loaded = audio.FirstFrame().Found;
        const ID3v1Fields v1Fields = loaded ? LoadedID3v1(audio.V1Tag()) : ShowID3v1(opened, v1);
        const ID3v2Fields v2Fields = loaded ? LoadedID3v2(audio.V2Tag()) : ShowID3v2(opened, v2);
        const ReportLines tags = TagReport(v1Fields, v2Fields);
        lines.insert(lines.end(), tags.begin(), tags.end());
        WriteReport(context.out, lines, context.outIsTerminal);
    }
    return status;
}

} // namespace tindrel
