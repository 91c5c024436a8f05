// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Join.h"
#include "core/Split.h"
#include "core/TimeText.h"

#include "engine/FileDecoder.h"
#include "mpeg/MPEGaudio.h"
#include "tests/support/Command.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tindrel {
namespace {

using test::TempDir;
using Samples = std::vector<int16_t>;

// Sources one step aside from the usual encoder settings, made by
// tests/data/frames/make.sh. audioFrom: where the audio starts, for the
// decoders' reference (they cannot all find audio behind junk).
struct Kind {
    const char* file;
    uint32_t rate;
    int channels;
    int64_t audioFrom;
    bool ffmpegDecodes; // ffmpeg does not take lame's free format
    // The last frame is cut short: ffmpeg decodes what is left of it, the
    // pieces hold only whole frames, as mpg123 plays them.
    bool lastFrameCut = false;
    // Byte pieces are placed by the bit rate of the first frame, which a
    // variable bit rate without a Xing header does not give.
    bool bytesPlacedByRate = true;
};
constexpr Kind kKinds[] = {
    {"crc_cbr.mp3", 44100, 2, 0, true},
    {"crc_vbr.mp3", 44100, 2, 0, true},
    {"free_format.mp3", 44100, 2, 0, false},
    {"junk_false_syncs.mp3", 44100, 2, 2000, true},
    {"vbr_no_xing.mp3", 44100, 2, 0, true, false, false},
    {"truncated_last_frame.mp3", 44100, 2, 0, true, true},
    {"truncated_promise.mp3", 44100, 2, 0, true, true},
    {"mpeg25_8k_vbr.mp3", 8000, 2, 0, true},
};

bool haveDecoders() {
    return std::system("mpg123 --version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1") == 0;
}

std::string source(const char* file) {
    return test::TestDataDir() + "/frames/" + file;
}

Samples decodeRaw(const std::string& command, const std::string& raw) {
    test::CommandOutput(command + " 2>/dev/null");
    return test::ReadPcm16(raw);
}

// The decoder's gapless output of the file from byte `from` on.
Samples decode(const std::string& mp3, bool ffmpeg, int64_t from = 0) {
    std::string input = mp3;
    if (from > 0) {
        input = mp3 + ".audio";
        test::CommandOutput("tail -c +" + std::to_string(from + 1) + " '" + mp3 + "' >'" + input + "'");
    }
    const std::string raw = input + (ffmpeg ? ".ffmpeg.raw" : ".raw");
    if (ffmpeg)
        return decodeRaw("ffmpeg -v error -y -i '" + input + "' -f s16le '" + raw + "'", raw);
    return decodeRaw("mpg123 -q -s '" + input + "' >'" + raw + "'", raw);
}

int largestDifference(const Samples& a, const Samples& b) {
    int largest = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

class QuietSplit final : public SplitObserver {};
class QuietJoin final : public JoinObserver {
public:
    void letEventsRun() override {}
    bool stopRequested() override { return false; }
    void setStatus(std::size_t, JoinStatus) override {}
};

// The length the player states: the engine's decoder's, in samples.
int64_t statedSamples(const std::string& path) {
    return engine::OpenFileDecoder(path)->lengthFrames();
}

// What the player tells the byte mode: its length, and the analysis's bit
// rate.
std::optional<SourceFacts> describeByPlayer(const std::string& path) {
    TMPEGaudio audio;
    audio.Analyze(path);
    if (!audio.IsValid())
        return std::nullopt;
    return SourceFacts{statedSamples(path) * 1000 / audio.SampleRate(), audio.BitRate()};
}

constexpr int kParts = 3;

std::vector<std::string> pieces(const TempDir& dir, const char* file) {
    std::vector<std::string> names;
    const std::string stem = SourceStem(file);
    for (int k = 1; k <= kParts; ++k)
        names.push_back(PartOutputPath(dir.path(), stem, k));
    return names;
}

// Exact parts, decoded one after another by either decoder, give the
// source's samples; joined back exactly, they decode to them too.
TEST(SourceKinds, ExactPartsHoldTheSourcesSamplesAndJoinBack) {
    if (!haveDecoders())
        GTEST_SKIP() << "mpg123 or ffmpeg is not installed";
    for (const Kind& kind : kKinds) {
        const TempDir dir;
        QuietSplit observer;
        const SplitOutcome outcome =
            RunSplitParts(source(kind.file), dir.path(), kParts, 0, describeByPlayer, observer, SplitMode::Exact);
        ASSERT_EQ(outcome.result, SplitResult::Completed) << kind.file << ": " << outcome.message;
        ASSERT_TRUE(outcome.refusedParts.empty()) << kind.file << ": " << outcome.message;
        const std::string joined = dir.file("joined.mp3");
        QuietJoin joinObserver;
        RunJoin(pieces(dir, kind.file), joined, joinObserver, JoinMode::Exact);
        for (const bool ffmpeg : {false, true}) {
            if (ffmpeg && !kind.ffmpegDecodes)
                continue;
            const std::string what = std::string(kind.file) + (ffmpeg ? " (ffmpeg)" : " (mpg123)");
            const Samples byMpg123 = decode(source(kind.file), false, kind.audioFrom);
            Samples whole = ffmpeg ? decode(source(kind.file), true, kind.audioFrom) : byMpg123;
            if (kind.lastFrameCut)
                whole.resize(std::min(whole.size(), byMpg123.size()));
            Samples parts;
            for (const std::string& piece : pieces(dir, kind.file)) {
                const Samples part = decode(piece, ffmpeg);
                EXPECT_FALSE(part.empty()) << what << " " << piece;
                parts.insert(parts.end(), part.begin(), part.end());
            }
            EXPECT_EQ(parts.size(), whole.size()) << what;
            EXPECT_LE(largestDifference(parts, whole), 1) << what;
            const Samples back = decode(joined, ffmpeg);
            EXPECT_EQ(back.size(), whole.size()) << what << " joined";
            EXPECT_LE(largestDifference(back, whole), 1) << what << " joined";
        }
    }
}

// Byte pieces state (the player's length, from their Info frame or their
// frames) the length they decode to, within one frame.
TEST(SourceKinds, BytePiecesStateTheLengthTheyDecodeTo) {
    if (!haveDecoders())
        GTEST_SKIP() << "mpg123 or ffmpeg is not installed";
    for (const Kind& kind : kKinds) {
        if (!kind.bytesPlacedByRate)
            continue;
        const TempDir dir;
        const std::optional<SourceFacts> facts = describeByPlayer(source(kind.file));
        ASSERT_TRUE(facts) << kind.file;
        QuietSplit observer;
        const SplitOutcome outcome = RunSplitParts(source(kind.file), dir.path(), kParts, facts->lengthMs,
                                                   describeByPlayer, observer, SplitMode::Bytes);
        ASSERT_EQ(outcome.result, SplitResult::Completed) << kind.file << ": " << outcome.message;
        ASSERT_TRUE(outcome.refusedParts.empty()) << kind.file << ": " << outcome.message;
        const int64_t frameSamples = kind.rate <= 24000 ? 576 : 1152;
        int64_t junk = kind.audioFrom; // in the first piece only
        for (const std::string& piece : pieces(dir, kind.file)) {
            // Behind the piece's ID3v2 tag.
            const test::Bytes head = test::ReadFileBytes(piece);
            const int64_t tag = head.size() >= 10 && std::memcmp(head.data(), "ID3", 3) == 0
                                    ? 10 + (head[6] << 21 | head[7] << 14 | head[8] << 7 | head[9])
                                    : 0;
            const int64_t from = junk > 0 ? tag + junk : 0;
            // ffmpeg steps over what it cannot decode, where mpg123 gives up.
            const auto decoded = int64_t(decode(piece, kind.ffmpegDecodes, from).size()) / kind.channels;
            EXPECT_NEAR(statedSamples(piece), decoded, frameSamples) << kind.file << " " << piece;
            junk = 0;
        }
    }
}

// A time-range cut walks the source's frames only up to its end, and cuts
// the bytes the walk of the whole source gives (a part of the split), for
// ends early, midway and past the end. One more source starts with frames
// of one rate, silence at the least rate its VBR allows, before its Xing
// average.
TEST(SourceKinds, ARangeCutWalkedToItsEndCutsAsTheWholeWalkDoes) {
    const TempDir made;
    std::vector<std::string> sources;
    for (const Kind& kind : kKinds)
        sources.push_back(source(kind.file));
    sources.push_back(
        test::MakeMp3(made.path(), "quiet_start.mp3", {{test::Sound::Zero, 4.0}, {test::Sound::Speech, 4.0}}, "-V 2"));
    ASSERT_FALSE(sources.back().empty());
    for (const std::string& file : sources) {
        const std::optional<SourceFacts> facts = describeByPlayer(file);
        ASSERT_TRUE(facts) << file;
        const TempDir dir;
        const PieceTags tags = SourcePieceTags(file);
        for (const auto& [startMs, endMs] : {std::pair<int64_t, int64_t>{0, facts->lengthMs / 4},
                                             {facts->lengthMs / 3, facts->lengthMs * 2 / 3},
                                             {facts->lengthMs / 2, facts->lengthMs + 1'000}}) {
            const std::string what = file + " " + std::to_string(endMs);
            const std::string byRange = dir.file("range.mp3"), byWholeWalk = dir.file("whole.mp3");
            ASSERT_EQ(RunSplitRange(file, byRange, FormatTimeText(startMs / 1000.0), FormatTimeText(endMs / 1000.0),
                                    describeByPlayer)
                          .message,
                      kSplitCompleted)
                << what;
            PieceTagsWritten written;
            ASSERT_TRUE(CutPiece(file, byWholeWalk, startMs, endMs, SplitMode::Bytes, describeByPlayer, tags, written))
                << what;
            EXPECT_EQ(test::ReadFileBytes(byRange), test::ReadFileBytes(byWholeWalk)) << what;
        }
    }
}

// A piece of a single frame is still taken for MP3 by ffmpeg's format
// probe, which a file of two frames does not satisfy.
TEST(SourceKinds, APieceOfOneFrameIsTakenForMP3) {
    if (!haveDecoders())
        GTEST_SKIP() << "mpg123 or ffmpeg is not installed";
    const TempDir dir;
    for (const char* file : {"cbr128.mp3", "mpeg2_22k.mp3"}) {
        const std::string piece = dir.file(std::string("one-") + file);
        PieceTagsWritten written;
        ASSERT_TRUE(CutPiece(test::TestDataDir() + "/mpeg/" + file, piece, 0, 1, SplitMode::Exact, describeByPlayer, {},
                             written))
            << file;
        EXPECT_FALSE(decode(piece, true).empty()) << file;
        EXPECT_FALSE(decode(piece, false).empty()) << file;
    }
}

// Layer II is cut by bytes but refused by the exact mode, which cuts only
// Layer III frames, with a message that says so.
TEST(SourceKinds, TheExactModeRefusesLayerII) {
    const TempDir dir;
    QuietSplit observer;
    const std::string mp2 = test::TestDataDir() + "/mpeg/layer2.mp2";
    try {
        RunSplitParts(mp2, dir.path(), kParts, 0, describeByPlayer, observer, SplitMode::Exact);
        ADD_FAILURE() << "an exact split of Layer II was not refused";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("is not MPEG Layer III audio"), std::string::npos) << e.what();
    }
    const std::optional<SourceFacts> facts = describeByPlayer(mp2);
    ASSERT_TRUE(facts);
    EXPECT_EQ(
        RunSplitParts(mp2, dir.path(), kParts, facts->lengthMs, describeByPlayer, observer, SplitMode::Bytes).result,
        SplitResult::Completed);
}

} // namespace
} // namespace tindrel
