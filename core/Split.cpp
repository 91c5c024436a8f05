// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Split.h"

#include "core/TimeText.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/PlatformInt.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

std::optional<CutBytes> CutByteRange(int64_t startMs, int64_t endMs, const SourceFacts& facts) {
    if (startMs >= facts.lengthMs || startMs >= endMs)
        return std::nullopt;
    endMs = std::min(endMs, facts.lengthMs);
    startMs = std::max<int64_t>(startMs, 0);
    // A selection that lies wholly before the first byte once the offset is
    // applied has nothing to cut; its count would be negative or zero, and a
    // zero count would copy the whole file.
    if (facts.bitRateKbps > 0 && endMs <= startMs)
        return std::nullopt;
    return CutBytes{facts.bitRateKbps * startMs / 8, facts.bitRateKbps * (endMs - startMs) / 8};
}

bool CutRange(const std::string& inputPath, const std::string& outputPath, const std::string& startText,
              int64_t offsetMs, bool overwrite, const std::string& endText, const DescribeSource& describe) {
    PieceTagsWritten ignored;
    return CutRange(inputPath, outputPath, startText, offsetMs, overwrite, endText, describe, PieceTags{}, ignored);
}

bool CutRange(const std::string& inputPath, const std::string& outputPath, const std::string& startText,
              int64_t offsetMs, bool overwrite, const std::string& endText, const DescribeSource& describe,
              const PieceTags& tags, PieceTagsWritten& written) {
    written = {};
    if (!FileExists(inputPath))
        return false;
    const std::optional<SourceFacts> facts = describe(inputPath);
    if (!facts)
        return false;
    offsetMs = std::clamp(offsetMs, -kCutOffsetLimitMs, kCutOffsetLimitMs);
    const int64_t startMs = ParseTimeMs(startText) + offsetMs;
    const int64_t endMs = ParseTimeMs(endText) + offsetMs;
    std::optional<CutBytes> range = CutByteRange(startMs, endMs, *facts);
    // Writing onto the source itself would delete it before it is read.
    if (!range || SameFile(inputPath, outputPath))
        return false;

    FileStream input = FileStream::openRead(inputPath);
    if (FileExists(outputPath) && !overwrite)
        return false;
    if (range->count == 0)
        *range = CutBytes{0, input.size()};
    // The piece replaces an existing file, read-only or not, only once it is
    // complete; until then, and after a failed write, the old file stays.
    AtomicFile output = AtomicFile::Create(outputPath, true);
    if (range->start + range->count <= input.size()) {
        written.id3v2 = !tags.id3v2.empty();
        written.id3v1 = WriteWithTags(input, range->start, range->count, tags.id3v2,
                                      tags.id3v1 ? &*tags.id3v1 : nullptr, output.stream(), kCutBlockBytes);
        output.Commit();
        return true;
    }
    try {
        input.seek(range->start);
        output.stream().copyFrom(input, range->count, kCutBlockBytes);
    } catch (const StreamReadError&) {
        // A range the source does not hold keeps the whole blocks it did,
        // and no tags: it is not the piece that was asked for.
        output.Commit();
        throw;
    }
    output.Commit();
    return true;
}

std::string SourceStem(const std::string& path) {
    const std::string name = ExtractFileName(path);
    return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

std::string PartOutputPath(const std::string& folder, const std::string& stem, int k) {
    return IncludeTrailingSeparator(folder) + stem + "_chunk_" + std::to_string(k) + ".mp3";
}

PartTimes PartRange(int i, int n, int64_t lengthMs) {
    const int64_t seg = lengthMs / n;
    return {seg * i, i == n - 1 ? lengthMs : seg * (i + 1) - 1};
}

int PartProgress(int i, int n) {
    if (n <= 1)
        return 100;
    // In whole numbers: a floating-point quotient can land a hair off an
    // exact half and round it the wrong way.
    const int64_t numerator = int64_t(i) * 100;
    const int64_t denominator = n - 1;
    const int64_t quotient = numerator / denominator;
    const int64_t twiceRest = 2 * (numerator % denominator);
    const bool up = twiceRest > denominator || (twiceRest == denominator && quotient % 2 == 1);
    return static_cast<int>(quotient + (up ? 1 : 0));
}

namespace {

std::string joinedList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

// Cuts one piece with the source's tags; a tag that could not go in is
// named in the outcome. False when the cut is refused.
bool cutPiece(const std::string& source, const std::string& piece, const std::string& startText,
              const std::string& endText, const DescribeSource& describe, const PieceTags& tags,
              SplitOutcome& outcome) {
    PieceTagsWritten written;
    if (!CutRange(source, piece, startText, kCutOffsetMs, true, endText, describe, tags, written))
        return false;
    if (!written.id3v1)
        outcome.withoutID3v1.push_back(ExtractFileName(piece));
    if (!written.id3v2)
        outcome.withoutID3v2.push_back(ExtractFileName(piece));
    return true;
}

} // namespace

PieceTags BuildPieceTags(const TID3v1& v1, const TID3v2& v2) {
    PieceTags tags{v2.BuildTag(), v1.BuildBlock()};
    // A tag whose size does not fit the header's 28 bits cannot be saved.
    if (tags.id3v2.size() - TID3v2::kHeaderSize >= (std::size_t(1) << 28))
        tags.id3v2.clear();
    return tags;
}

// Read once and written into every piece as read.
PieceTags SourcePieceTags(const std::string& source) {
    TID3v1 v1;
    TID3v2 v2;
    v1.Load(source);
    v2.Load(source);
    return BuildPieceTags(v1, v2);
}

void AppendSplitProblems(SplitOutcome& outcome, const std::vector<std::string>& refusedNames) {
    if (!refusedNames.empty())
        outcome.message += "\nThese parts could not be cut and were not written: " + joinedList(refusedNames) + ".";
    if (!outcome.withoutID3v1.empty())
        outcome.message += "\nThe ID3v1 tag could not be written into: " + joinedList(outcome.withoutID3v1) + ".";
    if (!outcome.withoutID3v2.empty())
        outcome.message += "\nThe ID3v2 tag could not be written into: " + joinedList(outcome.withoutID3v2) + ".";
}

std::optional<std::string> SplitRangeRefusal(const std::string& startText, const std::string& endText) {
    if (startText == endText)
        return "Start Time and End Time can not be the same";
    return std::nullopt;
}

std::optional<std::string> PartsCountRefusal(const std::string& countText, int32_t& n) {
    // A negative count would give no part at all; it is refused like 0.
    if (!TryParsePlatformInt(countText, n) || n <= 0)
        return "Please specify a proper quantity of parts.";
    return std::nullopt;
}

std::optional<std::string> PartsFolderRefusal(const std::string& folder) {
    if (!DirectoryExists(folder))
        return "Please specify a proper output directory.";
    return std::nullopt;
}

SplitOutcome RunSplitRange(const std::string& source, const std::string& output, const std::string& startText,
                           const std::string& endText, const DescribeSource& describe) {
    SplitOutcome outcome;
    // Another spelling of the source (a link, "..", a relative path) is the
    // source all the same.
    if (SameFile(output, source))
        return {SplitResult::Failed, "Output file can not be the same as the input file.", {}, {}, {}, 0};
    // A refused cut writes nothing, so a file of that name keeps its own
    // bytes and tags.
    if (!cutPiece(source, output, startText, endText, describe, SourcePieceTags(source), outcome))
        return {SplitResult::Failed, kSplitFailed, {}, {}, {}, 0};
    outcome.message = kSplitCompleted;
    outcome.partsDone = 1;
    AppendSplitProblems(outcome, {});
    return outcome;
}

SplitOutcome RunSplitParts(const std::string& source, const std::string& folder, int n, int64_t lengthMs,
                           const DescribeSource& describe, SplitObserver& observer) {
    SplitOutcome outcome;
    const PieceTags tags = SourcePieceTags(source);
    const std::string stem = SourceStem(source);
    std::vector<std::string> refusedNames;
    for (int i = 0; i < n; ++i) {
        observer.letEventsRun();
        if (observer.stopRequested()) {
            outcome.result = SplitResult::Stopped;
            return outcome;
        }
        const PartTimes t = PartRange(i, n, lengthMs);
        const std::string piece = PartOutputPath(folder, stem, i + 1);
        if (!cutPiece(source, piece, FormatTimeText(t.startMs / 1000.0), FormatTimeText(t.endMs / 1000.0), describe,
                      tags, outcome)) {
            outcome.refusedParts.push_back(i + 1);
            refusedNames.push_back(std::to_string(i + 1));
        }
        outcome.partsDone = i + 1;
        observer.partDone(i + 1, n, PartProgress(i, n));
    }
    outcome.message = kSplitCompleted;
    AppendSplitProblems(outcome, refusedNames);
    return outcome;
}

} // namespace tindrel
