// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace tindrel {

// A cut copies at most this many bytes per block.
inline constexpr std::size_t kCutBlockBytes = 61'440;
// Both ends of a cut are moved this much earlier, and an offset never goes
// beyond kCutOffsetLimitMs either way.
inline constexpr int64_t kCutOffsetMs = -150;
inline constexpr int64_t kCutOffsetLimitMs = 5'000;

// What the player reports of a source: its play length and its one bit rate.
struct SourceFacts {
    int64_t lengthMs = 0;
    int64_t bitRateKbps = 0;
};
class FileStream;

// Describes a source, or gives nothing when the player cannot be used: by
// its name, or, where the describer can read an open file, from the source
// a cut already holds open, so that the figures are those of the file that
// is cut, and the file is not opened again by a name that may by then hold
// another.
class DescribeSource {
public:
    using ByName = std::function<std::optional<SourceFacts>(const std::string& path)>;
    using ByOpenFile = std::function<std::optional<SourceFacts>(const FileStream& source)>;

    DescribeSource() = default;
    // Any callable that describes by name (a lambda of the window or of a
    // test), the describer itself aside.
    template <class F,
              class = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<F>, DescribeSource> &&
                                       std::is_invocable_r_v<std::optional<SourceFacts>, F, const std::string&>>>
    DescribeSource(F byName) : m_byName(std::move(byName)) {}
    DescribeSource(ByName byName, ByOpenFile byOpenFile)
        : m_byName(std::move(byName)), m_byOpenFile(std::move(byOpenFile)) {}

    std::optional<SourceFacts> operator()(const std::string& path) const {
        return m_byName ? m_byName(path) : std::nullopt;
    }
    // By the open file where the describer reads one, else by its name.
    std::optional<SourceFacts> operator()(const FileStream& source) const;

private:
    ByName m_byName;
    ByOpenFile m_byOpenFile;
};

// The byte range a cut copies: count 0 means "the whole input".
struct CutBytes {
    int64_t start = 0;
    int64_t count = 0;
};

// Works out the byte range for the given times (already moved by the
// offset); nothing when the cut is refused (start at or past the length, not
// before the end, or the whole selection before the start of the file). A
// bit rate of 0 gives a count of 0.
std::optional<CutBytes> CutByteRange(int64_t startMs, int64_t endMs, const SourceFacts& facts);

// Copies the range of the input between the two time texts into output,
// positioned by the source's bit rate: bytes = kbit/s x ms / 8 from the
// first byte of the file. Returns false when the cut is refused (missing
// input, player not usable, an empty or reversed range, output is the input
// itself, or output exists and overwrite is false); nothing is written then.
// Throws "'x' is not a valid integer value" for a bad time text, "Cannot
// open file ..." / "Cannot create file ..." and "Stream read error" (the
// output then holds the whole blocks copied before the failing one).
bool CutRange(const std::string& inputPath, const std::string& outputPath, const std::string& startText,
              int64_t offsetMs, bool overwrite, const std::string& endText, const DescribeSource& describe);

// The tags a piece gets, as the bytes the tag objects' saves would write:
// an empty ID3v2 tag or no ID3v1 block means that tag is not written.
struct PieceTags {
    std::string id3v2;
    std::optional<std::array<uint8_t, 128>> id3v1;
};
class FileStream;
class TID3v1;
class TID3v2;
// The two tags' bytes for a piece; an ID3v2 tag too large for its header
// is left out.
PieceTags BuildPieceTags(const TID3v1& v1, const TID3v2& v2);
// The source's own two tags, as every piece of a split gets them.
PieceTags SourcePieceTags(const std::string& source);
// The same from the source already open.
PieceTags SourcePieceTags(const FileStream& source);

// Which of the tags went into the piece: an ID3v1 block needs a piece of at
// least 128 bytes, as the ID3v1 save needs a file that long.
struct PieceTagsWritten {
    bool id3v1 = false;
    bool id3v2 = false;
};

// CutRange with the tags written into the piece before it takes its name,
// so that no moment exists at which the piece is in place without them: the
// bytes are those of the plain cut followed by an ID3v1 save and an ID3v2
// save on it. A range the source does not hold is cut as CutRange cuts it,
// without tags.
bool CutRange(const std::string& inputPath, const std::string& outputPath, const std::string& startText,
              int64_t offsetMs, bool overwrite, const std::string& endText, const DescribeSource& describe,
              const PieceTags& tags, PieceTagsWritten& written);

// How a piece is cut. Bytes: the byte range that the bit rate gives for
// the times, moved by the offset (a copied Xing/Info or VBRI frame gets the
// piece's counts); in a source whose frames' bit rates differ, the times
// are found among its frames instead, as the average rate would put them
// seconds away. Exact: whole frames found by walking them, with a fresh
// Xing/Info frame whose encoder delay and padding make a gapless decoder
// give exactly the samples from the start time to the end time.
enum class SplitMode { Bytes, Exact };

// Cuts the range [startMs, endMs) of source into output (replacing a file
// of that name) with the tags written into it, in either mode; the clean
// way in for any workflow that cuts pieces by time. Bytes mode moves both
// times by kCutOffsetMs and asks describe for length and bit rate, as the
// split page's cuts do; exact mode uses the times as they are. False when
// the cut is refused (as CutRange refuses it, or, exact, a range that holds
// no sample); nothing is written then. Throws std::runtime_error naming the
// source when it holds no MPEG audio, and as CutRange throws.
bool CutPiece(const std::string& source, const std::string& output, int64_t startMs, int64_t endMs, SplitMode mode,
              const DescribeSource& describe, const PieceTags& tags, PieceTagsWritten& written);

class FileStream;
class CommitQueue;
struct TFrameWalk;
// Copies the bytes [range.start, range.start + range.count) of the open
// source into output (replacing a file of that name) with the tags written
// into it, as a byte cut writes its piece (a copied Xing/Info or VBRI frame
// gets the piece's counts); through queue, when given, which puts it in
// place while the next piece is written. False, with nothing written, when
// output is the source or the range is empty or not inside the file.
bool CutBytesWithTags(FileStream& input, const std::string& output, const CutBytes& range, const PieceTags& tags,
                      PieceTagsWritten& written, CommitQueue* queue = nullptr);
// The exact CutPieceExact below on a source already open and walked whole
// (WalkSource), so that a split of many pieces walks it once.
bool CutPieceExact(FileStream& input, const TFrameWalk& walk, const std::string& output, int64_t start, int64_t end,
                   int64_t unitsPerSecond, const PieceTags& tags, PieceTagsWritten& written,
                   CommitQueue* queue = nullptr);

// The exact CutPiece with the range [start, end) in units of
// 1/unitsPerSecond s (1000 for ms, 75 for a CUE sheet's frames), turned into
// samples at the source's rate without first being rounded to whole ms.
bool CutPieceExact(const std::string& source, const std::string& output, int64_t start, int64_t end,
                   int64_t unitsPerSecond, const PieceTags& tags, PieceTagsWritten& written);

// The file name of path with its last four characters dropped, whatever
// they are: "song.mp3" gives "song", "song.mpeg" gives "song.".
std::string SourceStem(const std::string& path);

// folder (a separator is added when missing) + stem + "_chunk_" + k + ".mp3".
std::string PartOutputPath(const std::string& folder, const std::string& stem, int k);

// The times of part i (from 0) of n over a length: equal parts of
// length / n, the last one running to the end.
struct PartTimes {
    int64_t startMs;
    int64_t endMs;
};
PartTimes PartRange(int i, int n, int64_t lengthMs);

// The gauge after part i (from 0) of n: i / (n - 1) x 100 with halves to
// even, worked out exactly; a single part fills the gauge.
int PartProgress(int i, int n);

// ---- The split as the page and the tool run it -------------------------------

inline constexpr const char* kSplitCompleted = "Splitting MP3 is completed.";
inline constexpr const char* kSplitFailed = "Splitting MP3 is failed.";

enum class SplitResult { Completed, Failed, Stopped };

// What a split did. message is what the user is told (empty when stopped):
// the design's completion or failure line, followed by a line naming the
// parts that could not be cut and one for each tag naming the pieces it
// could not be written into (a piece shorter than an ID3v1 block, say), when
// there are such.
struct SplitOutcome {
    SplitResult result = SplitResult::Completed;
    std::string message;
    std::vector<int> refusedParts;         // parts (from 1) that were not written
    std::vector<std::string> withoutID3v1; // pieces whose ID3v1 tag could not be written
    std::vector<std::string> withoutID3v2; // ... and whose ID3v2 tag could not
    int partsDone = 0;                     // parts handled before the end or a stop
    // Why a split was refused, when the failure line alone does not say
    // and the user can mend it (a start at or past the end, say).
    std::string reason;
};

// The outcome's message, and its reason (when it has one) on the next line:
// what the user is shown.
std::string SplitOutcomeText(const SplitOutcome& outcome);

// What a parts split needs from its caller while it runs.
class SplitObserver {
public:
    virtual ~SplitObserver() = default;
    // Called before each part: lets queued window events run (the Stop
    // button is seen here).
    virtual void letEventsRun() {}
    virtual bool stopRequested() { return false; }
    // Called after each part, with the gauge's percentage.
    virtual void partDone(int part, int count, int percent) { (void)part, (void)count, (void)percent; }
};

// Adds to the outcome's message a line naming the pieces that could not be
// cut (refusedNames), and one for each tag naming the pieces it could not
// be written into.
void AppendSplitProblems(SplitOutcome& outcome, const std::vector<std::string>& refusedNames);

// Why a time-range split is refused before anything is asked of the user:
// the texts, not the times they stand for, are compared.
std::optional<std::string> SplitRangeRefusal(const std::string& startText, const std::string& endText);
// Why a parts split is refused: a count that is not a whole number above 0
// (n is set otherwise), or a folder that does not exist.
std::optional<std::string> PartsCountRefusal(const std::string& countText, int32_t& n);
std::optional<std::string> PartsFolderRefusal(const std::string& folder);

// Cuts the range between the two time texts of source into output and
// writes the source's two tags into the piece. Refused (Failed, nothing
// written) when output is the source however spelt, or the cut is refused.
// Throws as CutRange does. A refusal names its reason in the outcome's
// reason where the user can mend it (a start at or past the end, say).
// In both modes a source in which the MPEG analysis finds no audio is
// refused (Failed) with a message that names it.
SplitOutcome RunSplitRange(const std::string& source, const std::string& output, const std::string& startText,
                           const std::string& endText, const DescribeSource& describe,
                           SplitMode mode = SplitMode::Bytes);
// Cuts source into n equal parts of lengthMs into folder, named by
// PartOutputPath, each with the source's two tags. A part whose cut is
// refused is left out and named in the message; a part whose tags cannot be
// written is kept and named. A count above the length in ms (parts shorter
// than 1 ms) is refused (Failed). Throws as CutRange does. Exact mode divides
// the source's exact length in samples instead of lengthMs, into parts that
// meet without a gap or an overlap. A lengthMs below 0 asks describe for
// the length of the source as opened for the split (Failed when it tells
// none), so that a caller without the player's figures at hand need not
// open the source by name for them.
SplitOutcome RunSplitParts(const std::string& source, const std::string& folder, int n, int64_t lengthMs,
                           const DescribeSource& describe, SplitObserver& observer, SplitMode mode = SplitMode::Bytes);

} // namespace tindrel
