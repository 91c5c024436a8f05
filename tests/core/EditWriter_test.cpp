// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/EditWriter.h"

#include "tests/support/Command.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tindrel {
namespace {

using test::TempDir;
using Samples = std::vector<int16_t>;

// Sources made by lame from one sox sweep at test time. A lame stream with
// its info frame starts 576 + 529 samples into its decoder output; one
// without (-t) at once.
struct Source {
    const char* name;
    const char* lameOptions;
    int64_t rate;
    int channels;
    int64_t samplesPerFrame;
    int64_t startOfAudio;
};
constexpr Source kSources[] = {
    {"cbr", "-b 128", 44100, 2, 1152, 1105},
    {"vbr", "-V 4", 44100, 2, 1152, 1105},
    {"crc-protected without info frame", "-b 160 -p -t", 44100, 2, 1152, 0},
    {"mpeg2", "--resample 22.05 -b 64", 22050, 2, 576, 1105},
    {"mono", "-m m -b 64", 44100, 1, 1152, 1105},
};

bool haveTools() {
    return std::system("sox --version >/dev/null 2>&1 && lame --version >/dev/null 2>&1 && "
                       "mpg123 --version >/dev/null 2>&1 && ffmpeg -version >/dev/null 2>&1") == 0;
}

std::string make(const TempDir& dir, const Source& source) {
    const std::string wav = dir.file("sweep.wav");
    const std::string mp3 = dir.file(std::string(source.name) + ".mp3");
    test::CommandOutput("[ -f '" + wav + "' ] || sox -D -n -r 44100 -c 2 -b 16 '" + wav +
                        "' synth 6 sine 200-4000 sine 550 tremolo 3 40 gain -8");
    test::CommandOutput("lame --quiet " + std::string(source.lameOptions) + " '" + wav + "' '" + mp3 + "'");
    return mp3;
}

// A decoder's gapless output and whatever it said about the stream.
struct Decoded {
    Samples samples;
    std::string messages;
};
Decoded decode(const std::string& mp3, bool ffmpeg) {
    const std::string raw = mp3 + ".raw";
    const std::string messages =
        ffmpeg ? test::CommandOutput("ffmpeg -v warning -y -i '" + mp3 + "' -f s16le '" + raw + "' 2>&1")
               : test::CommandOutput("mpg123 -s '" + mp3 + "' 2>&1 >'" + raw +
                                     "' | grep -i -e warn -e frankenstein -e error -e problem");
    return {test::ReadPcm16(raw), messages};
}

class QuietObserver final : public EditObserver {};

// The source's samples without the removed ranges, given as [from, to) in
// samples a channel.
Samples without(const Samples& source, int channels, const std::vector<SampleRange>& removed) {
    Samples out;
    int64_t at = 0;
    for (const SampleRange& r : removed) {
        out.insert(out.end(), source.begin() + at * channels, source.begin() + r.Begin * channels);
        at = r.End;
    }
    out.insert(out.end(), source.begin() + at * channels, source.end());
    return out;
}

double snrDb(const Samples& want, const Samples& got, int64_t from, int64_t to) {
    double signal = 0, noise = 0;
    for (int64_t i = std::max<int64_t>(0, from); i < std::min<int64_t>(to, int64_t(want.size())); ++i) {
        signal += double(want[i]) * want[i];
        noise += double(want[i] - got[i]) * (want[i] - got[i]);
    }
    return 10 * std::log10(signal / std::max(noise, 1.0));
}

// Three ranges deleted from each kind of source, in both modes, decoded
// by mpg123 and by ffmpeg: the output is the source without the ranges
// (without --exact moved to the nearest frame boundaries; with it, each
// starting where asked and a whole number of frames long), sample for
// sample (to 1) away from the seams, and within the frames encoded anew at
// least 30 dB above the difference.
TEST(EditWriter, DeletedRangesLeaveTheSourcesSamplesAroundCleanSeams) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg is not installed";
    const EditRange deleted[] = {{1'000, 1'600}, {2'500, 3'123}, {4'200, 4'900}};
    EditList edits;
    for (const EditRange& r : deleted)
        edits.Apply({EditKind::Delete, {r}, 0});
    const TempDir dir;
    for (const Source& source : kSources)
        for (const EditMode mode : {EditMode::Frames, EditMode::Exact})
            for (const bool ffmpeg : {false, true}) {
                const bool exact = mode == EditMode::Exact;
                const std::string what =
                    std::string(source.name) + (exact ? " exact" : " frames") + (ffmpeg ? " by ffmpeg" : " by mpg123");
                // Each source is made and edited once, and decoded by both.
                const std::string mp3 = dir.file(std::string(source.name) + ".mp3");
                const std::string out = dir.file(std::string(source.name) + (exact ? "-exact" : "-frames") + ".mp3");
                if (!ffmpeg) {
                    if (mode == EditMode::Frames)
                        make(dir, source);
                    QuietObserver observer;
                    ASSERT_EQ(RunEdit(mp3, out, edits, mode, observer), EditResult::Completed) << what;
                }
                const int64_t spf = source.samplesPerFrame;
                std::vector<SampleRange> removed;
                std::vector<int64_t> seams; // in the output
                int64_t gone = 0;
                for (const EditRange& r : deleted) {
                    int64_t a = r.StartMs * source.rate / 1000;
                    int64_t b = r.EndMs * source.rate / 1000;
                    if (exact) {
                        b = a + std::max<int64_t>(1, std::llround(double(b - a) / double(spf))) * spf;
                    } else {
                        a = std::llround(double(a + source.startOfAudio) / double(spf)) * spf - source.startOfAudio;
                        b = std::llround(double(b + source.startOfAudio) / double(spf)) * spf - source.startOfAudio;
                    }
                    removed.push_back({a, b});
                    seams.push_back(a - gone);
                    gone += b - a;
                }
                const Decoded whole = decode(mp3, ffmpeg);
                const Decoded edited = decode(out, ffmpeg);
                EXPECT_EQ(edited.messages, "") << what;
                const Samples want = without(whole.samples, source.channels, removed);
                ASSERT_EQ(edited.samples.size(), want.size()) << what;
                // The first granule after a seam is heard with the tail of
                // another granule before it, and the decoder's synthesis
                // keeps some 512 samples of it: within 1,152 samples. With
                // --exact, the frames encoded anew (three MPEG 1 frames, five
                // of the half-long MPEG 2 ones) reach two MPEG 1 frames
                // either way of the seam, and one granule and the synthesis
                // after them.
                const int64_t reach = exact ? 2 * 1152 + 1152 : 1152;
                int64_t largest = 0;
                double worst = 1000;
                std::size_t seam = 0;
                for (int64_t i = 0; i < int64_t(want.size()) / source.channels; ++i) {
                    if (seam < seams.size() && i >= seams[seam] + reach)
                        ++seam;
                    if (seam < seams.size() && i >= seams[seam] - reach)
                        continue;
                    for (int c = 0; c < source.channels; ++c)
                        largest =
                            std::max<int64_t>(largest, std::abs(want[std::size_t(i * source.channels + c)] -
                                                                edited.samples[std::size_t(i * source.channels + c)]));
                }
                for (const int64_t s : seams)
                    worst = std::min(worst, snrDb(want, edited.samples, (s - reach) * source.channels,
                                                  (s + reach) * source.channels));
                EXPECT_LE(largest, 1) << what;
                if (exact) {
                    EXPECT_GE(worst, 30.0) << what;
                }
            }
}

} // namespace
} // namespace tindrel

namespace tindrel {
namespace {

// A steady tone, so that a stretch's level is the gain it was given.
std::string makeTone(const TempDir& dir) {
    const std::string wav = dir.file("tone.wav");
    const std::string mp3 = dir.file("tone.mp3");
    test::CommandOutput("sox -D -n -r 44100 -c 2 -b 16 '" + wav + "' synth 5 sine 1000 gain -6");
    test::CommandOutput("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'");
    return mp3;
}

double levelDb(const Samples& s, int64_t from, int64_t to) {
    double sum = 0;
    for (int64_t i = from * 2; i < to * 2; ++i)
        sum += double(s[std::size_t(i)]) * s[std::size_t(i)];
    return 10 * std::log10(sum / double((to - from) * 2));
}

TEST(EditWriter, AGainLowersItsRangeByWholeStepsAndLeavesTheRestAsItWas) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg is not installed";
    const TempDir dir;
    const std::string mp3 = makeTone(dir);
    const std::string out = dir.file("quieter.mp3");
    EditList edits;
    edits.Apply({EditKind::Gain, {{2'000, 4'000}}, GainStepsOf(-6.0)});
    QuietObserver observer;
    ASSERT_EQ(RunEdit(mp3, out, edits, EditMode::Frames, observer), EditResult::Completed);
    for (const bool ffmpeg : {false, true}) {
        const Samples source = decode(mp3, ffmpeg).samples;
        const Decoded edited = decode(out, ffmpeg);
        EXPECT_EQ(edited.messages, "");
        ASSERT_EQ(edited.samples.size(), source.size());
        EXPECT_NEAR(levelDb(edited.samples, 92'610, 172'000) - levelDb(source, 92'610, 172'000), -6.0, 0.1);
        // A granule's sound overlaps the next one's: 576 samples either way
        // of the range take part of both gains.
        for (int64_t i = 0; i < int64_t(source.size()) / 2; ++i) {
            if (i < 88'200 - 1152 || i >= 176'400 + 1152) {
                ASSERT_EQ(edited.samples[std::size_t(2 * i)], source[std::size_t(2 * i)]) << "sample " << i;
            }
        }
    }
}

// Fades step the level granule by granule: every 576 samples the level is
// at least that of the granule before (fading in) or at most (fading out),
// by no more than a 1.5 dB step, from 60 dB down to the level or back.
TEST(EditWriter, FadesMoveTheLevelOneStepAtATime) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg is not installed";
    const TempDir dir;
    const std::string mp3 = makeTone(dir);
    const Samples source = decode(mp3, false).samples;
    for (const EditKind kind : {EditKind::FadeIn, EditKind::FadeOut}) {
        EditList edits;
        edits.Apply({kind, {{1'000, 3'000}}, 0});
        QuietObserver observer;
        const std::string out = dir.file("faded.mp3");
        ASSERT_EQ(RunEdit(mp3, out, edits, EditMode::Frames, observer), EditResult::Completed);
        const Samples edited = decode(out, false).samples;
        ASSERT_EQ(edited.size(), source.size());
        const double sign = kind == EditKind::FadeIn ? 1 : -1;
        // Granules of the decoder output start 1105 samples before the
        // audio's first sample; the first wholly in the range is heard with
        // the tail of the one before, outside it.
        std::vector<double> gains;
        for (int64_t g = (44'100 + 1105 + 575) / 576 + 1; g * 576 - 529 <= 132'300; ++g)
            gains.push_back(levelDb(edited, g * 576 - 1105, g * 576 - 529) -
                            levelDb(source, g * 576 - 1105, g * 576 - 529));
        EXPECT_NEAR(kind == EditKind::FadeIn ? gains.back() : gains.front(), 0.0, 1.6);
        EXPECT_LT(kind == EditKind::FadeIn ? gains.front() : gains.back(), -55.0);
        for (std::size_t i = 1; i < gains.size(); ++i) {
            EXPECT_GE(sign * (gains[i] - gains[i - 1]), -0.2) << "granule " << i;
            EXPECT_LE(sign * (gains[i] - gains[i - 1]), 1.5 + 0.2) << "granule " << i;
        }
    }
}

} // namespace
} // namespace tindrel

namespace tindrel {
namespace {

// The preview of the cuts is the edited file around each of them, sample
// for sample, in both modes: the same seams, the same bridges, the same
// reservoir; half a second either way of each of two cuts here.
TEST(EditWriter, TheCutPreviewHoldsTheEditedFileAroundEachCut) {
    if (!haveTools())
        GTEST_SKIP() << "sox, lame, mpg123 or ffmpeg is not installed";
    const TempDir dir;
    const std::string mp3 = make(dir, kSources[0]);
    EditList edits;
    edits.Apply({EditKind::Delete, {{1'000, 1'600}}, 0});
    edits.Apply({EditKind::Delete, {{3'000, 3'500}}, 0});
    edits.Apply({EditKind::Gain, {{800, 1'800}}, -2});
    for (const EditMode mode : {EditMode::Frames, EditMode::Exact}) {
        QuietObserver observer;
        EditLayout whole;
        EditLayout heard;
        const std::string edited = dir.file("edited.mp3");
        const std::string preview = dir.file("preview.mp3");
        ASSERT_EQ(RunEdit(mp3, edited, edits, mode, observer, &whole), EditResult::Completed);
        ASSERT_EQ(RunCutPreview(mp3, preview, edits, mode, observer, 500, &heard), EditResult::Completed);
        // Four half seconds, with the cut between the two inside the kept
        // 1.6 s to 3 s moved by up to a frame.
        EXPECT_NEAR(double(heard.OutputSamples), 4 * 22'050, 1'152);
        ASSERT_EQ(heard.Seams.size(), 3u);
        const Samples want = decode(edited, false).samples;
        const Samples got = decode(preview, false).samples;
        ASSERT_EQ(int64_t(got.size()), heard.OutputSamples * 2);
        for (std::size_t s = 0; s < 2; ++s) {
            const EditSeam& cut = whole.Seams[s];
            const EditSeam& played = heard.Seams[s * 2];
            ASSERT_EQ(played.SourceEnd, cut.SourceEnd);
            ASSERT_EQ(played.SourceResume, cut.SourceResume);
            int64_t largest = 0;
            for (int64_t i = -11'000; i < 11'000; ++i)
                for (int64_t c = 0; c < 2; ++c)
                    largest = std::max<int64_t>(largest, std::abs(want[std::size_t((cut.OutputSample + i) * 2 + c)] -
                                                                  got[std::size_t((played.OutputSample + i) * 2 + c)]));
            EXPECT_LE(largest, 1) << (mode == EditMode::Exact ? "exact" : "frames") << " cut " << s;
        }
    }
}

} // namespace
} // namespace tindrel
