// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Split.h"

#include "core/ExactCut.h"
#include "core/FrameCuts.h"
#include "core/TimeText.h"
#include "mpeg/FileWindow.h"
#include "mpeg/InfoFrame.h"
#include "mpeg/MPEGaudio.h"
#include "platform/AtomicFile.h"
#include "platform/CommitQueue.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/PlatformInt.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {

std::optional<SourceFacts> DescribeSource::operator()(const FileStream& source) const {
    return m_byOpenFile ? m_byOpenFile(source) : (*this)(source.path());
}

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

namespace {

// The source's Xing/Info or VBRI frame, when the stream starts with one.
struct SourceInfoFrame {
    int64_t offset = -1;
    TFrameWalk first; // the walk of the info frame alone
};

SourceInfoFrame findInfoFrame(const FileStream& input) {
    std::array<uint8_t, TID3v2::kHeaderSize> head{};
    ReadWindow(input, 0, head);
    TagHeader header{head, input.size()};
    const int64_t begin = header.StartsWithTag() ? header.TagSize() : 0;
    // The frames are found as the walk of the exact mode finds them, behind
    // junk too; a walk to the first sample ends right behind the info frame.
    SourceInfoFrame found;
    found.first = WalkFrames(input, begin, input.size(), TStreamTime{0, 1000});
    found.offset = found.first.InfoOffset;
    return found;
}

uint16_t crcOfRange(const FileStream& input, int64_t from, int64_t to) {
    std::vector<uint8_t> block(kCutBlockBytes);
    uint16_t crc = 0;
    for (int64_t at = from; at < to;) {
        const auto n = static_cast<std::size_t>(std::min<int64_t>(int64_t(block.size()), to - at));
        if (ReadWindow(input, at, std::span(block.data(), n)) < n)
            throw StreamReadError();
        crc = InfoCrc16(std::span(block.data(), n), crc);
        at += int64_t(n);
    }
    return crc;
}

// A piece that holds the source's Xing/Info or VBRI frame gets that frame's
// counts, table and sums rewritten for the piece, in place, so that readers
// give the piece's own length and seek within it; every other byte stays.
// audioBegin/audioEnd: the source bytes the piece holds behind its new
// ID3v2 tag (tagBytes long), without the ID3v1 block at its end.
// frames, when the source was walked whole already, tell where its info
// frame is: a piece that starts behind it (every piece of a split but the
// first) needs no walk of the source's start to know it holds none.
void mendInfoFrame(const FileStream& input, int64_t audioBegin, int64_t audioEnd, std::size_t tagBytes,
                   FileStream& piece, const FrameCuts* frames) {
    if (frames && frames->InfoOffset() < audioBegin)
        return;
    const SourceInfoFrame source = findInfoFrame(input);
    if (source.offset < 0 || source.offset < audioBegin || source.offset + source.first.InfoLength > audioEnd)
        return;
    const TFrameWalk walk = WalkFrames(input, source.offset, audioEnd);
    std::vector<uint8_t> frame(walk.InfoLength);
    if (!walk.Info.Found || ReadWindow(input, walk.InfoOffset, frame) < frame.size())
        return;
    std::vector<uint32_t> lengths;
    for (const TFrameSpan& f : walk.Frames)
        lengths.push_back(f.Length);
    const int64_t infoEnd = walk.InfoOffset + walk.InfoLength;
    const TInfoCounts counts{lengths, audioEnd - walk.InfoOffset, crcOfRange(input, infoEnd, audioEnd)};
    // The encoder's padding belongs to the end of its stream.
    const bool endsWithSource = walk.Info.ByteCount > 0 ? audioEnd >= walk.InfoOffset + walk.Info.ByteCount : false;
    RewriteInfoFrame(frame, walk.Info, counts, endsWithSource);
    const int64_t end = piece.position();
    piece.seek(int64_t(tagBytes) + (walk.InfoOffset - audioBegin));
    piece.writeAll(frame.data(), frame.size());
    piece.seek(end);
}

// The byte range of the piece that stays behind the new ID3v2 tag, as
// WriteWithTags leaves it: a tag the range starts with is replaced, and so
// is an ID3v1 block at its end.
std::pair<int64_t, int64_t> keptAudio(FileStream& input, const CutBytes& range, const PieceTags& tags) {
    const bool v1 = tags.id3v1 && range.count >= int64_t(TID3v1::kBlockSize);
    int64_t end = range.start + range.count;
    std::array<uint8_t, 3> mark{};
    if (v1 && ReadWindow(input, end - int64_t(TID3v1::kBlockSize), mark) == 3 &&
        mark == std::array<uint8_t, 3>{'T', 'A', 'G'})
        end -= int64_t(TID3v1::kBlockSize);
    int64_t begin = range.start;
    if (!tags.id3v2.empty() && range.count >= int64_t(TID3v2::kHeaderSize)) {
        TagHeader header;
        ReadWindow(input, range.start, header.bytes);
        header.fileSize = (end - range.start) + (v1 ? int64_t(TID3v1::kBlockSize) : 0);
        if (header.StartsWithTag())
            begin = std::min(end, range.start + header.TagSize());
    }
    return {begin, end};
}

// A new piece; through the queue, when there is one, so that the pieces of
// a split into one folder open and look at that folder once.
AtomicFile createPiece(const std::string& path, CommitQueue* queue) {
    return queue ? queue->Create(path, true) : AtomicFile::Create(path, true);
}

// Puts a finished piece in place: at once, or through the queue that
// commits the pieces of a split while the next ones are written.
void place(AtomicFile& piece, CommitQueue* queue) {
    if (queue)
        queue->Add(std::move(piece));
    else
        piece.Commit();
}

// The output names the open source (through a link, "..", another spelling
// or a second hard link): the file that was opened is compared, not
// whatever the source's name holds by now.
bool isTheSource(const FileStream& input, const std::string& output) {
    if (output.empty())
        return false;
    if (output == input.path())
        return true;
    struct stat out {};
    struct stat in {};
    return ::stat(output.c_str(), &out) == 0 && ::fstat(input.fd(), &in) == 0 && out.st_dev == in.st_dev &&
           out.st_ino == in.st_ino;
}

// A piece's name that is a second name of a file or a symbolic link may
// lead to the file of an earlier piece still waiting to be put in place,
// which holds that file locked until then.
bool mayLeadToAnotherPiece(const std::string& piece) {
    struct stat st {};
    return ::lstat(piece.c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || st.st_nlink > 1);
}

// The source's frames for a byte cut, which finds times among them when
// the bit rate varies; nothing when they cannot be walked, and the byte
// rule then places the times as the design of the cut has it.
std::optional<FrameCuts> walkForBytes(const FileStream& source, std::optional<TStreamTime> until = std::nullopt) {
    try {
        return FrameCuts(source, until);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

// Why a time-range cut was refused, when it is a reason the user can mend;
// empty otherwise.
std::string rangeFailure(const std::string& source, const std::string& startText, const std::string& endText,
                         const DescribeSource& describe, SplitMode mode) {
    const int64_t start = ParseTimeMs(startText), end = ParseTimeMs(endText);
    if (start >= end)
        return std::string() + "The start " + startText + " is not before the end " + endText + ".";
    const std::optional<SourceFacts> facts = mode == SplitMode::Bytes ? describe(source) : std::nullopt;
    if (mode == SplitMode::Bytes && !facts)
        return std::string() + "The player cannot tell the length of \"" + source + "\".";
    if (facts && start + kCutOffsetMs >= facts->lengthMs)
        return std::string() + "The start " + startText + " is at or past the end of the file (" +
               FormatTimeText(facts->lengthMs / 1000.0) + ").";
    if (facts && end + kCutOffsetMs <= 0)
        return std::string() + "The range ends within the first 150 ms, by which every cut is moved earlier.";
    if (mode == SplitMode::Exact)
        return "The start " + startText + " is at or past the end of the file.";
    return {};
}

// A part count that leaves parts shorter than a millisecond would write
// nothing but refusals, one a part, for as long as the count is large.
std::string tooManyParts(int n, int64_t lengthMs) {
    return "The file lasts " + FormatTimeText(lengthMs / 1000.0) + ", too short for " + std::to_string(n) +
           " parts of at least 1 ms.";
}

// Writes the bytes of range (inside the input) with the tags into output.
void writeRange(FileStream& input, const std::string& outputPath, const CutBytes& range, const PieceTags& tags,
                PieceTagsWritten& written, CommitQueue* queue, const FrameCuts* frames) {
    // The piece replaces an existing file, read-only or not, only once it is
    // complete; until then, and after a failed write, the old file stays.
    AtomicFile output = createPiece(outputPath, queue);
    written.id3v2 = !tags.id3v2.empty();
    written.id3v1 = WriteWithTags(input, range.start, range.count, tags.id3v2, tags.id3v1 ? &*tags.id3v1 : nullptr,
                                  output.stream(), kCutBlockBytes);
    const auto [begin, end] = keptAudio(input, range, tags);
    mendInfoFrame(input, begin, end, tags.id3v2.size(), output.stream(), frames);
    place(output, queue);
}

// The bytes between the frames nearest to the times (already clamped to
// the stream), for a source whose bit rate varies; the end of the stream
// for an end at its length. Never empty.
CutBytes frameRange(const FrameCuts& frames, int64_t startMs, int64_t endMs, int64_t lengthMs) {
    const std::size_t first = std::min(frames.NearestBoundary(startMs), frames.FrameCount() - 1);
    const int64_t start = frames.BoundaryByte(first);
    const int64_t end =
        endMs >= lengthMs ? frames.AudioEnd() : frames.BoundaryByte(std::max(frames.NearestBoundary(endMs), first + 1));
    return {start, end - start};
}

// CutRange once the times are known and moved by the offset. With frames
// of a source whose bit rate varies, the times are found among its frames
// instead of by the byte rule.
bool byteCut(FileStream& input, const std::string& outputPath, int64_t startMs, int64_t endMs, bool overwrite,
             const DescribeSource& describe, const PieceTags& tags, PieceTagsWritten& written,
             CommitQueue* queue = nullptr, const FrameCuts* frames = nullptr) {
    written = {};
    const std::optional<SourceFacts> facts = describe(input);
    if (!facts)
        return false;
    std::optional<CutBytes> range = CutByteRange(startMs, endMs, *facts);
    // Writing onto the source itself would delete it before it is read.
    if (!range || isTheSource(input, outputPath))
        return false;
    // Frames walked only up to the end of the cut tell nothing of the rate
    // behind it, which the description may have averaged in. (A free
    // format rate is the description's own, worked out from its frames.)
    const int64_t walkedRate = frames ? frames->FirstBitRateKbps() : 0;
    const bool byFrames = frames && (frames->VariableBitRate() ||
                                     (!frames->Whole() && walkedRate > 0 && walkedRate != facts->bitRateKbps));
    if (byFrames)
        range = frameRange(*frames, std::max<int64_t>(startMs, 0), std::min(endMs, facts->lengthMs), facts->lengthMs);

    if (!overwrite && FileExists(outputPath))
        return false;
    if (range->count == 0)
        *range = CutBytes{0, input.size()};
    if (range->start + range->count <= input.size()) {
        writeRange(input, outputPath, *range, tags, written, queue, frames);
        return true;
    }
    AtomicFile output = createPiece(outputPath, queue);
    try {
        input.seek(range->start);
        output.stream().copyFrom(input, range->count, kCutBlockBytes);
    } catch (const StreamReadError&) {
        // A range the source does not hold keeps the whole blocks it did,
        // and no tags: it is not the piece that was asked for.
        place(output, queue);
        throw;
    }
    place(output, queue);
    return true;
}

// The exact piece [firstSample, endSample) of an already walked source.
bool exactCut(FileStream& input, const TFrameWalk& walk, const std::string& outputPath, int64_t firstSample,
              int64_t endSample, const PieceTags& tags, PieceTagsWritten& written, CommitQueue* queue = nullptr) {
    written = {};
    if (firstSample >= std::min(endSample, walk.ValidSamples()))
        return false;
    AtomicFile output = createPiece(outputPath, queue);
    // A tag without frames (the source had none) is left out: decoders
    // warn about a tag of size 0, and it says nothing.
    if (tags.id3v2.size() > TID3v2::kHeaderSize)
        output.stream().writeAll(tags.id3v2.data(), tags.id3v2.size());
    WriteExactPiece(input, walk, firstSample, endSample, output.stream());
    if (tags.id3v1)
        output.stream().writeAll(tags.id3v1->data(), tags.id3v1->size());
    written = {tags.id3v1.has_value(), !tags.id3v2.empty() || tags.id3v2.size() == TID3v2::kHeaderSize};
    place(output, queue);
    return true;
}

// The exact piece [start, end) of a source, walked only as far as a piece
// ending at end needs. A source without MPEG audio is refused even when
// the range is empty.
bool exactCutAt(FileStream& input, const std::string& output, int64_t start, int64_t end, int64_t unitsPerSecond,
                const PieceTags& tags, PieceTagsWritten& written) {
    written = {};
    const TFrameWalk walk = WalkSource(input, TStreamTime{end, unitsPerSecond});
    if (start >= end)
        return false;
    const uint32_t rate = walk.SampleRate();
    return exactCut(input, walk, output, TStreamTime{start, unitsPerSecond}.SampleAt(rate),
                    TStreamTime{end, unitsPerSecond}.SampleAt(rate), tags, written);
}

// The MPEG analysis finds valid audio in the file.
bool holdsMPEGAudio(const FileStream& source) {
    TMPEGaudio analysis;
    analysis.Analyze(source);
    return analysis.IsValid();
}

// The source opened once for everything a cut reads of it, so that every
// read (the analysis, the tags, the frames, the bytes) is of the one file
// that was checked, whatever its name holds meanwhile; nothing when there
// is no file to read there.
std::optional<FileStream> openSource(const std::string& path) {
    if (!FileExists(path))
        return std::nullopt;
    try {
        return FileStream::openRead(path);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

bool cutRange(FileStream& input, const std::string& outputPath, const std::string& startText, int64_t offsetMs,
              bool overwrite, const std::string& endText, const DescribeSource& describe, const PieceTags& tags,
              PieceTagsWritten& written, CommitQueue* queue, const FrameCuts* frames) {
    written = {};
    offsetMs = std::clamp(offsetMs, -kCutOffsetLimitMs, kCutOffsetLimitMs);
    const int64_t startMs = ParseTimeMs(startText) + offsetMs;
    const int64_t endMs = ParseTimeMs(endText) + offsetMs;
    return byteCut(input, outputPath, startMs, endMs, overwrite, describe, tags, written, queue, frames);
}

} // namespace

bool CutRange(const std::string& inputPath, const std::string& outputPath, const std::string& startText,
              int64_t offsetMs, bool overwrite, const std::string& endText, const DescribeSource& describe,
              const PieceTags& tags, PieceTagsWritten& written) {
    written = {};
    std::optional<FileStream> input = openSource(inputPath);
    return input && cutRange(*input, outputPath, startText, offsetMs, overwrite, endText, describe, tags, written,
                             nullptr, nullptr);
}

bool CutPiece(const std::string& source, const std::string& output, int64_t startMs, int64_t endMs, SplitMode mode,
              const DescribeSource& describe, const PieceTags& tags, PieceTagsWritten& written) {
    written = {};
    std::optional<FileStream> input = openSource(source);
    if (!input || SameFile(source, output))
        return false;
    if (mode == SplitMode::Bytes) {
        if (!holdsMPEGAudio(*input))
            throw std::runtime_error(NoMPEGAudioMessage(source));
        const FrameCuts frames(*input);
        return byteCut(*input, output, startMs + kCutOffsetMs, endMs + kCutOffsetMs, true, describe, tags, written,
                       nullptr, &frames);
    }
    return exactCutAt(*input, output, startMs, endMs, 1000, tags, written);
}

bool CutBytesWithTags(FileStream& input, const std::string& output, const CutBytes& range, const PieceTags& tags,
                      PieceTagsWritten& written, CommitQueue* queue) {
    written = {};
    if (isTheSource(input, output) || range.count <= 0 || range.start < 0 || range.start + range.count > input.size())
        return false;
    if (queue && mayLeadToAnotherPiece(output))
        queue->Wait();
    writeRange(input, output, range, tags, written, queue, nullptr);
    return true;
}

bool CutPieceExact(FileStream& input, const TFrameWalk& walk, const std::string& output, int64_t start, int64_t end,
                   int64_t unitsPerSecond, const PieceTags& tags, PieceTagsWritten& written, CommitQueue* queue) {
    written = {};
    if (isTheSource(input, output) || unitsPerSecond <= 0 || start >= end)
        return false;
    if (queue && mayLeadToAnotherPiece(output))
        queue->Wait();
    const uint32_t rate = walk.SampleRate();
    return exactCut(input, walk, output, TStreamTime{start, unitsPerSecond}.SampleAt(rate),
                    TStreamTime{end, unitsPerSecond}.SampleAt(rate), tags, written, queue);
}

bool CutPieceExact(const std::string& source, const std::string& output, int64_t start, int64_t end,
                   int64_t unitsPerSecond, const PieceTags& tags, PieceTagsWritten& written) {
    written = {};
    std::optional<FileStream> input = openSource(source);
    if (!input || SameFile(source, output) || unitsPerSecond <= 0)
        return false;
    return exactCutAt(*input, output, start, end, unitsPerSecond, tags, written);
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
bool cutPiece(const std::string& piece, SplitOutcome& outcome, const std::function<bool(PieceTagsWritten&)>& cut) {
    PieceTagsWritten written;
    if (!cut(written))
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

std::string SplitOutcomeText(const SplitOutcome& outcome) {
    return outcome.reason.empty() ? outcome.message : outcome.message + "\n" + outcome.reason;
}

PieceTags SourcePieceTags(const FileStream& source) {
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
                           const std::string& endText, const DescribeSource& describe, SplitMode mode) {
    SplitOutcome outcome;
    // Another spelling of the source (a link, "..", a relative path) is the
    // source all the same.
    if (SameFile(output, source))
        return {SplitResult::Failed, "Output file can not be the same as the input file.", {}, {}, {}, 0, {}};
    // A byte copy of a file that holds no MPEG audio would be an ".mp3"
    // that nothing plays.
    std::optional<FileStream> input = openSource(source);
    if (!input || !holdsMPEGAudio(*input))
        return {SplitResult::Failed, NoMPEGAudioMessage(source), {}, {}, {}, 0, {}};
    const PieceTags tags = SourcePieceTags(*input);
    // One cut needs the frames up to its end only (its times are moved
    // earlier, never later); an end that is no time is refused below.
    std::optional<TStreamTime> end;
    try {
        end = TStreamTime{ParseTimeMs(endText), 1000};
    } catch (const std::runtime_error&) {
    }
    const std::optional<FrameCuts> frames = mode == SplitMode::Bytes ? walkForBytes(*input, end) : std::nullopt;
    // A refused cut writes nothing, so a file of that name keeps its own
    // bytes and tags.
    const bool cut = cutPiece(output, outcome, [&](PieceTagsWritten& written) {
        if (mode == SplitMode::Bytes)
            return cutRange(*input, output, startText, kCutOffsetMs, true, endText, describe, tags, written, nullptr,
                            frames ? &*frames : nullptr);
        return exactCutAt(*input, output, ParseTimeMs(startText), ParseTimeMs(endText), 1000, tags, written);
    });
    if (!cut)
        return {
            SplitResult::Failed, kSplitFailed, {}, {}, {}, 0, rangeFailure(source, startText, endText, describe, mode)};
    outcome.message = kSplitCompleted;
    outcome.partsDone = 1;
    AppendSplitProblems(outcome, {});
    return outcome;
}

SplitOutcome RunSplitParts(const std::string& source, const std::string& folder, int n, int64_t lengthMs,
                           const DescribeSource& describe, SplitObserver& observer, SplitMode mode) {
    SplitOutcome outcome;
    std::optional<FileStream> input = openSource(source);
    if (!input || !holdsMPEGAudio(*input))
        return {SplitResult::Failed, NoMPEGAudioMessage(source), {}, {}, {}, 0, {}};
    const PieceTags tags = SourcePieceTags(*input);
    const std::string stem = SourceStem(source);
    // The player describes the source once for all its parts: describing it
    // scans the whole file, and a split into thousands of parts would scan
    // it thousands of times.
    std::optional<std::optional<SourceFacts>> facts;
    const DescribeSource describeOnce(
        [&](const std::string& path) {
            if (path != source)
                return describe(path);
            if (!facts)
                facts = describe(path);
            return *facts;
        },
        [&](const FileStream& file) {
            if (&file != &*input)
                return describe(file);
            if (!facts)
                facts = describe(file);
            return *facts;
        });
    // Either mode walks the source once for all its parts.
    TFrameWalk walk;
    std::optional<FrameCuts> frames;
    if (mode == SplitMode::Exact) {
        walk = WalkSource(*input);
        lengthMs = walk.ValidSamples() * 1000 / std::max<uint32_t>(walk.SampleRate(), 1);
    } else {
        frames = walkForBytes(*input);
    }
    if (lengthMs < 0) {
        const std::optional<SourceFacts> described = describeOnce(*input);
        if (!described)
            return {SplitResult::Failed, kSplitFailed, {}, {}, {}, 0, {}};
        lengthMs = described->lengthMs;
    }
    if (int64_t(n) > lengthMs)
        return {SplitResult::Failed,      "Please specify a proper quantity of parts.", {}, {}, {}, 0,
                tooManyParts(n, lengthMs)};
    std::vector<std::string> refusedNames;
    // Each piece is flushed and named while the next one is written, and
    // the folder flushed once: the split waits for the disk about once
    // instead of twice a piece.
    CommitQueue commits;
    for (int i = 0; i < n; ++i) {
        observer.letEventsRun();
        if (observer.stopRequested()) {
            commits.Finish();
            outcome.result = SplitResult::Stopped;
            return outcome;
        }
        const std::string piece = PartOutputPath(folder, stem, i + 1);
        if (mayLeadToAnotherPiece(piece))
            commits.Wait();
        const bool cut = cutPiece(piece, outcome, [&](PieceTagsWritten& written) {
            if (mode == SplitMode::Exact) {
                const int64_t samples = walk.ValidSamples();
                return !isTheSource(*input, piece) &&
                       exactCut(*input, walk, piece, samples * i / n, samples * (i + 1) / n, tags, written, &commits);
            }
            const PartTimes t = PartRange(i, n, lengthMs);
            return cutRange(*input, piece, FormatTimeText(t.startMs / 1000.0), kCutOffsetMs, true,
                            FormatTimeText(t.endMs / 1000.0), describeOnce, tags, written, &commits,
                            frames ? &*frames : nullptr);
        });
        if (!cut) {
            outcome.refusedParts.push_back(i + 1);
            refusedNames.push_back(std::to_string(i + 1));
        }
        outcome.partsDone = i + 1;
        observer.partDone(i + 1, n, PartProgress(i, n));
    }
    commits.Finish();
    outcome.message = kSplitCompleted;
    AppendSplitProblems(outcome, refusedNames);
    return outcome;
}

} // namespace tindrel
