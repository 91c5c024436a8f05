// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/SplitPlan.h"

#include "core/ExactCut.h"
#include "core/FrameCuts.h"
#include "core/TimeText.h"
#include "mpeg/MPEGaudio.h"
#include "platform/CommitQueue.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <unordered_set>

namespace tindrel {

namespace {

// Past any file's end, in ms or in a sheet's frames: an exact cut that
// ends there ends with the stream.
constexpr int64_t kToTheEndMs = std::numeric_limits<int32_t>::max();

// Cuts one piece at its own times. The times come from the sound itself or
// from a sheet, not from a listener's reaction, so they stand as they are,
// without the offset.
bool cutPlanned(FileStream& input, const TFrameWalk* walk, const PlannedPiece& piece, bool last,
                PieceTagsWritten& written, CommitQueue& queue) {
    if (walk && piece.startCd >= 0)
        return CutPieceExact(input, *walk, piece.path, piece.startCd,
                             last || piece.endCd < 0 ? kToTheEndMs : piece.endCd, 75, piece.tags, written, &queue);
    if (walk)
        return CutPieceExact(input, *walk, piece.path, piece.startMs, last ? kToTheEndMs : piece.endMs, 1000,
                             piece.tags, written, &queue);
    return CutBytesWithTags(input, piece.path, {piece.startByte, piece.endByte - piece.startByte}, piece.tags, written,
                            &queue);
}

// Piece names made unique within a split: two tracks whose names come out
// the same (a sheet that numbers two tracks alike, titles that differ only
// in characters a file name cannot hold) must not write one file twice. A
// memory stick's file system does not tell letters' cases apart, so
// neither does this.
class DistinctNames {
public:
    std::string take(const std::string& name) {
        const std::string stem = name.substr(0, name.size() - 4);
        std::string candidate = name;
        for (int k = 2; !m_taken.insert(folded(candidate)).second; ++k)
            candidate = stem + " (" + std::to_string(k) + ").mp3";
        return candidate;
    }

private:
    static std::string folded(std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    }
    std::unordered_set<std::string> m_taken;
};

// The tracks from first on start at or after the end of the file.
std::string pastTheEndText(const std::vector<CueTrack>& tracks, std::size_t first, int64_t lengthMs) {
    std::string numbers;
    for (std::size_t i = first; i < tracks.size(); ++i)
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(tracks[i].number) + " (line " +
                   std::to_string(tracks[i].line) + ")";
    const bool one = first + 1 == tracks.size();
    return std::string(one ? "Track " : "Tracks ") + numbers + (one ? " starts" : " start") +
           " at or after the end of the file (" + FormatTimeText(lengthMs / 1000.0) + ") and " +
           (one ? "was" : "were") + " left out; track " + std::to_string(tracks[first - 1].number) +
           " runs to the end.";
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
                                        const std::vector<CueTrack>& tracks, int64_t lengthMs, std::string* note) {
    TID3v1 v1;
    TID3v2 v2;
    v1.Load(source);
    v2.Load(source);
    std::vector<PlannedPiece> pieces;
    DistinctNames names;
    std::size_t i = 0;
    for (; i < tracks.size() && tracks[i].startMs() < lengthMs; ++i) {
        const int64_t end = i + 1 < tracks.size() ? std::min(tracks[i + 1].startMs(), lengthMs) : lengthMs;
        const int64_t endCd = i + 1 < tracks.size() && tracks[i + 1].startMs() <= lengthMs ? tracks[i + 1].index01 : -1;
        pieces.push_back({tracks[i].startMs(), end,
                          IncludeTrailingSeparator(folder) + names.take(CuePieceName(tracks[i])),
                          CuePieceTags(v1, v2, sheet, tracks[i]), tracks[i].index01, endCd});
    }
    if (note && i < tracks.size() && i > 0)
        *note = pastTheEndText(tracks, i, lengthMs);
    return pieces;
}

void PlaceOnFrames(const FrameCuts& frames, std::vector<PlannedPiece>& pieces) {
    std::size_t previousEnd = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        PlannedPiece& piece = pieces[i];
        std::size_t first = frames.NearestBoundary(piece.startMs);
        // A piece that followed the one before still follows it, even where
        // both of that one's times fell on one boundary.
        if (i > 0 && piece.startMs >= pieces[i - 1].endMs)
            first = std::max(first, previousEnd);
        first = std::min(first, frames.FrameCount() - 1);
        const std::size_t last = i + 1 == pieces.size()
                                     ? frames.FrameCount()
                                     : std::clamp(frames.NearestBoundary(piece.endMs), first + 1, frames.FrameCount());
        piece.startMs = frames.BoundaryMs(first);
        piece.endMs = frames.BoundaryMs(last);
        piece.startByte = frames.BoundaryByte(first);
        piece.endByte = frames.BoundaryByte(last);
        previousEnd = last;
    }
}

void PlaceOnFrames(const std::string& source, std::vector<PlannedPiece>& pieces) {
    PlaceOnFrames(FrameCuts(FileStream::openRead(source)), pieces);
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
                          const DescribeSource& /*describe: the frames place every cut*/, SplitObserver& observer,
                          const std::string& note, SplitMode mode) {
    SplitOutcome outcome;
    // As for every split: a byte copy of a file without MPEG audio would be
    // an ".mp3" that nothing plays.
    TMPEGaudio analysis;
    analysis.Analyze(source);
    if (!analysis.IsValid())
        return {SplitResult::Failed, NoMPEGAudioMessage(source), {}, {}, {}, 0, {}};
    // The source is opened and walked once for all its pieces.
    FileStream input = FileStream::openRead(source);
    std::optional<TFrameWalk> walk;
    std::vector<PlannedPiece> placed = pieces;
    if (mode == SplitMode::Exact)
        walk = WalkSource(input);
    else if (std::any_of(pieces.begin(), pieces.end(), [](const PlannedPiece& p) { return p.startByte < 0; }))
        PlaceOnFrames(FrameCuts(input), placed);
    // Each piece is flushed and named while the next one is written.
    CommitQueue commits;
    std::vector<std::string> refusedNames;
    const int n = static_cast<int>(placed.size());
    for (int i = 0; i < n; ++i) {
        observer.letEventsRun();
        if (observer.stopRequested()) {
            commits.Finish();
            outcome.result = SplitResult::Stopped;
            return outcome;
        }
        const PlannedPiece& piece = placed[static_cast<std::size_t>(i)];
        PieceTagsWritten written;
        if (cutPlanned(input, walk ? &*walk : nullptr, piece, i + 1 == n, written, commits)) {
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
    commits.Finish();
    outcome.message = kSplitCompleted;
    if (!note.empty())
        outcome.message += "\n" + note;
    AppendSplitProblems(outcome, refusedNames);
    return outcome;
}

} // namespace tindrel
