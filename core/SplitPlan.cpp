// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/SplitPlan.h"

#include "core/ExactCut.h"
#include "core/TimeText.h"
#include "mpeg/MPEGaudio.h"
#include "platform/FileOps.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace tindrel {

namespace {

// The last millisecond whose byte the file holds by the byte rule. The
// player's length is rounded and may run a few bytes past the end; a piece
// that ends there ends at the file's last byte instead of failing.
int64_t lastWholeMs(const std::string& source, const DescribeSource& describe) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(source, error);
    const std::optional<SourceFacts> facts = describe(source);
    if (error || !facts || facts->bitRateKbps <= 0)
        return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(bytes) * 8 / facts->bitRateKbps;
}

// Past any file's end, in ms or in a sheet's frames: an exact cut that
// ends there ends with the stream.
constexpr int64_t kToTheEndMs = std::numeric_limits<int32_t>::max();

// Cuts one piece at its own times. The times come from the sound itself or
// from a sheet, not from a listener's reaction, so the byte cut takes them
// as they stand, without the offset.
bool cutPlanned(const std::string& source, const PlannedPiece& piece, bool last, int64_t lastByteMs, SplitMode mode,
                const DescribeSource& describe, PieceTagsWritten& written) {
    if (mode == SplitMode::Exact && piece.startCd >= 0)
        return CutPieceExact(source, piece.path, piece.startCd, last || piece.endCd < 0 ? kToTheEndMs : piece.endCd, 75,
                             piece.tags, written);
    if (mode == SplitMode::Exact)
        return CutPieceExact(source, piece.path, piece.startMs, last ? kToTheEndMs : piece.endMs, 1000, piece.tags,
                             written);
    return CutRange(source, piece.path, FormatTimeText(piece.startMs / 1000.0), 0, true,
                    FormatTimeText(std::min(piece.endMs, lastByteMs) / 1000.0), describe, piece.tags, written);
}

} // namespace

std::vector<PlannedPiece> PiecesBetweenCuts(const std::string& source, const std::string& folder,
                                            const std::vector<int64_t>& cutsMs, int64_t lengthMs) {
    const PieceTags tags = SourcePieceTags(source);
    const std::string stem = SourceStem(source);
    std::vector<PlannedPiece> pieces;
    int64_t start = 0;
    for (std::size_t i = 0; i <= cutsMs.size(); ++i) {
        const int64_t end = i < cutsMs.size() ? cutsMs[i] : lengthMs;
        pieces.push_back({start, end, PartOutputPath(folder, stem, static_cast<int>(i + 1)), tags});
        start = end;
    }
    return pieces;
}

std::vector<PlannedPiece> PiecesFromCue(const std::string& source, const std::string& folder, const CueSheet& sheet,
                                        const std::vector<CueTrack>& tracks, int64_t lengthMs) {
    std::vector<PlannedPiece> pieces;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const int64_t start = tracks[i].startMs();
        if (start >= lengthMs)
            break;
        const int64_t end = i + 1 < tracks.size() ? std::min(tracks[i + 1].startMs(), lengthMs) : lengthMs;
        const int64_t endCd = i + 1 < tracks.size() && tracks[i + 1].startMs() <= lengthMs ? tracks[i + 1].index01 : -1;
        pieces.push_back({start, end, IncludeTrailingSeparator(folder) + CuePieceName(tracks[i]),
                          CuePieceTags(source, sheet, tracks[i]), tracks[i].index01, endCd});
    }
    return pieces;
}

bool MoveCut(std::vector<int64_t>& times, std::size_t i, int64_t ms, int64_t lengthMs) {
    if (i >= times.size())
        return false;
    const int64_t after = i > 0 ? times[i - 1] : -1;
    const int64_t before = i + 1 < times.size() ? times[i + 1] : lengthMs;
    if (ms <= after || ms >= before)
        return false;
    times[i] = ms;
    return true;
}

SplitOutcome RunSplitPlan(const std::string& source, const std::vector<PlannedPiece>& pieces,
                          const DescribeSource& describe, SplitObserver& observer, const std::string& note,
                          SplitMode mode) {
    SplitOutcome outcome;
    // As for every split: a byte copy of a file without MPEG audio would be
    // an ".mp3" that nothing plays.
    TMPEGaudio analysis;
    analysis.Analyze(source);
    if (!analysis.IsValid())
        return {SplitResult::Failed, NoMPEGAudioMessage(source), {}, {}, {}, 0};
    std::vector<std::string> refusedNames;
    const int n = static_cast<int>(pieces.size());
    const int64_t lastMs = lastWholeMs(source, describe);
    for (int i = 0; i < n; ++i) {
        observer.letEventsRun();
        if (observer.stopRequested()) {
            outcome.result = SplitResult::Stopped;
            return outcome;
        }
        const PlannedPiece& piece = pieces[static_cast<std::size_t>(i)];
        PieceTagsWritten written;
        if (cutPlanned(source, piece, i + 1 == n, lastMs, mode, describe, written)) {
            if (!written.id3v1)
                outcome.withoutID3v1.push_back(ExtractFileName(piece.path));
            if (!written.id3v2)
                outcome.withoutID3v2.push_back(ExtractFileName(piece.path));
        } else {
            outcome.refusedParts.push_back(i + 1);
            refusedNames.push_back(ExtractFileName(piece.path));
        }
        outcome.partsDone = i + 1;
        observer.partDone(i + 1, n, PartProgress(i, n));
    }
    outcome.message = kSplitCompleted;
    if (!note.empty())
        outcome.message += "\n" + note;
    AppendSplitProblems(outcome, refusedNames);
    return outcome;
}

} // namespace tindrel
