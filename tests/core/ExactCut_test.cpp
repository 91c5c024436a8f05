// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/ExactCut.h"
#include "core/Join.h"
#include "core/Split.h"

#include "mpeg/MPEGaudio.h"
#include "platform/FileStream.h"
#include "tests/mpeg/Ffprobe.h"
#include "tests/support/Command.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace tindrel {
namespace {

using test::TempDir;
using Samples = std::vector<int16_t>;

// Sources are made by lame from one sox tone at test time, a few seconds
// long, and decoded by mpg123 with its gapless handling.
struct Source {
    const char* name;
    const char* lameOptions;
    uint32_t rate;
    int channels;
};
constexpr Source kSources[] = {
    {"cbr", "-b 128", 44100, 2},
    {"vbr", "-V 4", 44100, 2},
    {"vbr-without-xing", "-V 4 -t", 44100, 2},
    {"abr", "--abr 96 --resample 44.1", 44100, 2},
    {"mono", "-m m -b 64", 44100, 1},
    {"32k", "--resample 32 -V 3", 32000, 2},
    {"48k", "--resample 48 -b 192", 48000, 2},
    {"mpeg2-22k", "--resample 22.05 -b 48", 22050, 2},
    {"mpeg25-8k", "--resample 8 -b 16", 8000, 2},
    {"mpeg25-11k-mono", "--resample 11.025 -m m -V 6", 11025, 1},
};

bool haveTools() {
    return std::system("sox --version >/dev/null 2>&1 && lame --version >/dev/null 2>&1 && "
                       "mpg123 --version >/dev/null 2>&1") == 0;
}

std::string make(const TempDir& dir, const Source& source) {
    const std::string wav = dir.file("tone.wav");
    const std::string mp3 = dir.file(std::string(source.name) + ".mp3");
    test::CommandOutput("[ -f '" + wav + "' ] || sox -D -n -r 44100 -c 2 -b 16 '" + wav +
                        "' synth 3 sine 300-3000 sine 660 tremolo 5 60 gain -6");
    test::CommandOutput("lame --quiet " + std::string(source.lameOptions) + " '" + wav + "' '" + mp3 + "'");
    return mp3;
}

// mpg123's gapless output; its messages go to warnings.
Samples decode(const std::string& mp3, std::string* warnings = nullptr) {
    const std::string raw = mp3 + ".raw";
    const std::string messages =
        test::CommandOutput("mpg123 -s '" + mp3 + "' 2>&1 >'" + raw + "' | grep -i -e warn -e frankenstein -e error");
    if (warnings)
        *warnings = messages;
    return test::ReadPcm16(raw);
}

// ffmpeg's output, which honours the same delay and padding fields.
Samples decodeWithFfmpeg(const std::string& mp3) {
    const std::string raw = mp3 + ".ffmpeg.raw";
    test::CommandOutput("ffmpeg -v error -y -i '" + mp3 + "' -f s16le '" + raw + "'");
    return test::ReadPcm16(raw);
}

bool haveFfmpeg() {
    return std::system("ffmpeg -version >/dev/null 2>&1") == 0;
}

int largestDifference(const Samples& a, const Samples& b) {
    int largest = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
}

const DescribeSource kNoPlayer = [](const std::string&) { return std::optional<SourceFacts>(); };

class NullJoinObserver final : public JoinObserver {
public:
    void letEventsRun() override {}
    bool stopRequested() override { return false; }
    void setStatus(std::size_t, JoinStatus) override {}
};

// Every piece decodes to the source's samples over [start, end): the same
// number, the same values, and no warning from the decoder.
TEST(ExactCut, PiecesDecodeToTheSourcesSamplesOverTheirRange) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame or mpg123 is not installed";
    // ffmpeg cannot cut both ends of one decoded frame (its pending start
    // skip is lost when the end's trim arrives with the same frame), so it
    // is asked only about pieces that span frames.
    const struct {
        int64_t startMs, endMs;
        bool spansFrames;
    } cuts[] = {
        {0, 1000, true},     // from the first sample
        {1011, 2222, true},  // both ends inside frames
        {2950, 9999, true},  // into the last frame, the end past the end
        {2000, 2013, false}, // shorter than a frame
    };
    const TempDir dir;
    const bool ffmpeg = haveFfmpeg();
    int largest = 0, largestByFfmpeg = 0;
    for (const Source& source : kSources) {
        const std::string mp3 = make(dir, source);
        const Samples whole = decode(mp3);
        const Samples wholeByFfmpeg = ffmpeg ? decodeWithFfmpeg(mp3) : Samples();
        const std::size_t frames = whole.size() / std::size_t(source.channels);
        for (const auto& cut : cuts) {
            const std::string what =
                std::string(source.name) + " " + std::to_string(cut.startMs) + "-" + std::to_string(cut.endMs) + " ms";
            const std::string piece = dir.file("piece.mp3");
            PieceTagsWritten written;
            ASSERT_TRUE(CutPiece(mp3, piece, cut.startMs, cut.endMs, SplitMode::Exact, kNoPlayer, {}, written)) << what;
            const std::size_t first = std::size_t(cut.startMs) * source.rate / 1000;
            const std::size_t end = std::min(frames, std::size_t(cut.endMs) * source.rate / 1000);
            const auto c = std::size_t(source.channels);
            ASSERT_LT(first, end) << what;
            const Samples expected(whole.begin() + long(first * c), whole.begin() + long(end * c));
            std::string warnings;
            const Samples got = decode(piece, &warnings);
            EXPECT_EQ(got.size(), expected.size()) << what;
            // 0 is the aim, and what all but a few MPEG 2.5 cuts give; the
            // largest is reported.
            const int difference = largestDifference(got, expected);
            EXPECT_LE(difference, 1) << what;
            largest = std::max(largest, difference);
            EXPECT_EQ(warnings, "") << what;
            if (ffmpeg && cut.spansFrames) {
                // The other widespread decoder gives the asked length too,
                // and the values it gives for the whole source.
                const Samples byFfmpeg = decodeWithFfmpeg(piece);
                EXPECT_EQ(byFfmpeg.size(), expected.size()) << what << " (ffmpeg)";
                const Samples fromWhole(wholeByFfmpeg.begin() + long(std::min(wholeByFfmpeg.size(), first * c)),
                                        wholeByFfmpeg.begin() + long(std::min(wholeByFfmpeg.size(), end * c)));
                const int differenceByFfmpeg = largestDifference(byFfmpeg, fromWhole);
                EXPECT_LE(differenceByFfmpeg, 1) << what << " (ffmpeg)";
                largestByFfmpeg = std::max(largestByFfmpeg, differenceByFfmpeg);
            }
        }
        PieceTagsWritten written;
        EXPECT_FALSE(CutPiece(mp3, dir.file("never.mp3"), 3500, 4000, SplitMode::Exact, kNoPlayer, {}, written))
            << source.name << ": a start past the end";
    }
    RecordProperty("largest_sample_difference", largest);
    std::printf("largest sample difference: %d (mpg123), %d (ffmpeg)\n", largest, largestByFfmpeg);
}

// A single cut walks the source only as far as its end needs. What it
// writes must be what the whole walk gives, byte for byte, also for an end
// in the last frames or past them, and when the encoder's end padding,
// which moves the valid end the cut is clamped to, is 0 or far too large.
TEST(ExactCut, ACutWalkedToItsEndIsTheCutOfTheWholeWalk) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame or mpg123 is not installed";
    const TempDir dir;
    for (const Source& source : {kSources[0], kSources[7]}) { // 1152 and 576 samples a frame
        const std::string encoded = make(dir, source);
        for (const int padding : {-1, 0, 4095}) { // -1: as encoded
            std::string mp3 = encoded;
            if (padding >= 0) {
                const TFrameWalk walk = WalkSource(FileStream::openRead(encoded));
                test::Bytes bytes = test::ReadFileBytes(encoded);
                const std::size_t field = std::size_t(walk.InfoOffset) + walk.Info.ExtensionOffset + 22;
                bytes[field] = uint8_t((bytes[field] & 0xF0) | padding >> 8);
                bytes[field + 1] = uint8_t(padding & 0xFF);
                mp3 = dir.write(std::string(source.name) + "-" + std::to_string(padding) + ".mp3", bytes);
            }
            FileStream input = FileStream::openRead(mp3);
            const TFrameWalk whole = WalkSource(input);
            const int64_t valid = whole.ValidSamples();
            const int64_t frame = whole.SamplesPerFrame();
            EXPECT_FALSE(WalkSource(input, TStreamTime{valid / 2, source.rate}).Whole) << mp3;
            for (const int64_t end : {valid / 2, valid - frame - 1, valid - 1, valid, valid + 1, valid + 3 * frame}) {
                const std::string what = mp3 + " up to sample " + std::to_string(end);
                const std::string piece = dir.file("piece.mp3");
                const std::string expected = dir.file("expected.mp3");
                PieceTagsWritten written;
                ASSERT_TRUE(CutPieceExact(mp3, piece, valid / 4, end, source.rate, {}, written)) << what;
                FileStream out = FileStream::create(expected);
                ASSERT_TRUE(WriteExactPiece(input, whole, valid / 4, end, out)) << what;
                out.close();
                EXPECT_EQ(test::ReadFileBytes(piece), test::ReadFileBytes(expected)) << what;
            }
        }
    }
}

// The byte cut keeps a copied Xing/Info frame, rewritten for the
// piece: readers give the piece's own length, not the source's.
TEST(ExactCut, AByteCutsFirstPieceReportsItsOwnLength) {
    if (!haveTools() || !test::HaveFfprobe())
        GTEST_SKIP() << "sox, lame, mpg123 or ffprobe is not installed";
    const DescribeSource analysis = [](const std::string& path) {
        TMPEGaudio mpeg;
        mpeg.Analyze(path);
        return std::optional<SourceFacts>(SourceFacts{int64_t(mpeg.Duration() * 1000), mpeg.BitRate()});
    };
    const TempDir dir;
    for (const Source& source : {kSources[0], kSources[1], kSources[7]}) {
        const std::string mp3 = make(dir, source);
        const TempDir parts;
        SplitObserver observer;
        RunSplitParts(mp3, parts.path(), 2, analysis(mp3)->lengthMs, analysis, observer);
        const std::string first = PartOutputPath(parts.path(), source.name, 1);
        const double decoded = double(decode(first).size()) / source.channels / source.rate;
        const double frame = (source.rate >= 32000 ? 1152.0 : 576.0) / source.rate;
        EXPECT_NEAR(test::Ffprobe(first)->duration, decoded, frame) << source.name;
        EXPECT_LT(decoded, 2.0) << source.name; // about half of the 3 s
    }
}

// Ten exact parts joined exactly give back the source's samples.
TEST(ExactCut, TenPartsJoinBackIntoTheSource) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame or mpg123 is not installed";
    const TempDir dir;
    for (const Source& source : {kSources[1], kSources[4], kSources[7]}) {
        const std::string mp3 = make(dir, source);
        const TempDir parts;
        SplitObserver splitObserver;
        const SplitOutcome outcome =
            RunSplitParts(mp3, parts.path(), 10, 0, kNoPlayer, splitObserver, SplitMode::Exact);
        ASSERT_EQ(outcome.message, kSplitCompleted) << source.name;
        std::vector<std::string> pieces;
        for (int k = 1; k <= 10; ++k)
            pieces.push_back(PartOutputPath(parts.path(), source.name, k));
        NullJoinObserver joinObserver;
        const std::string joined = dir.file("joined.mp3");
        ASSERT_EQ(RunJoin(pieces, joined, joinObserver, JoinMode::Exact), JoinResult::Completed);
        std::string warnings;
        EXPECT_EQ(decode(joined, &warnings), decode(mp3)) << source.name;
        EXPECT_EQ(warnings, "") << source.name;
    }
}

// What an exact join refuses, before it writes anything.
TEST(ExactCut, AJoinRefusesStreamsItCannotJoinAndNamesThem) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame or mpg123 is not installed";
    const TempDir dir;
    const std::string cbr = make(dir, kSources[0]);
    const std::string mpeg2 = make(dir, kSources[7]);
    const std::string mono = make(dir, kSources[4]);
    const std::string text = dir.write("notes.mp3", test::Bytes(4000, 'x'));
    const struct {
        std::vector<std::string> inputs;
        std::string message;
    } cases[] = {
        {{cbr, mpeg2, mono},
         "These files differ from \"" + cbr + "\" (44100 Hz, stereo, MPEG 1) in sample rate, channels or MPEG " +
             "version and cannot be joined exactly: \"" + mpeg2 + "\" (22050 Hz, stereo, MPEG 2), \"" + mono +
             "\" (44100 Hz, mono, MPEG 1)."},
        {{cbr, text}, "\"" + text + "\" holds no MPEG audio; only MP3 files can be cut or joined."},
    };
    for (const auto& c : cases) {
        NullJoinObserver observer;
        const std::string out = dir.file("out.mp3");
        try {
            RunJoin(c.inputs, out, observer, JoinMode::Exact);
            ADD_FAILURE() << "joined: " << c.message;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), c.message);
        }
        EXPECT_EQ(test::FileSizeOf(out), 0) << c.message;
    }
}

} // namespace
} // namespace tindrel
