// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Waveform.h"

#include "engine/FileDecoder.h"
#include "platform/FileStream.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace tindrel {
namespace {

constexpr int64_t kRate = 44100;

// An MP3 of `toneSeconds` of a loud sine followed by `silenceSeconds` of
// digital silence, made by sox and lame.
std::string toneThenSilence(const test::TempDir& dir, const std::string& name, int toneSeconds, int silenceSeconds) {
    const std::string wav = dir.file(name + ".wav");
    const std::string mp3 = dir.file(name + ".mp3");
    const std::string command = "sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth " + std::to_string(toneSeconds) +
                                " sine 440 vol 0.8 pad 0 " + std::to_string(silenceSeconds) +
                                " && lame --quiet -b 128 '" + wav + "' '" + mp3 + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return mp3;
}

// A loader whose reports wake the test, which then looks again.
class WatchedLoader {
public:
    WatchedLoader()
        : loader([this] {
              std::lock_guard lock(mutex);
              ++reports;
              changed.notify_all();
          }) {}
    // Waits for reports until `done` holds; false if none came for 20 s.
    bool waitUntil(const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        while (!done()) {
            const int seen = reports;
            if (!changed.wait_for(lock, std::chrono::seconds(20), [&] { return reports != seen; }))
                return done();
        }
        return true;
    }

    std::mutex mutex;
    std::condition_variable changed;
    int reports = 0;
    WaveformLoader loader;
};

bool loud(const Peak& p) {
    return p.high > 20000 && p.low < -20000;
}
bool silent(const Peak& p) {
    return p.high < 64 && p.low > -64;
}

// Every column wholly before 1.95 s must be loud and every one wholly after
// 2.05 s silent, whatever way its peaks were found.
void expectToneStopsAtTwoSeconds(const std::vector<Peak>& peaks, int64_t first, int64_t count, const char* how) {
    const auto columns = static_cast<int64_t>(peaks.size());
    int checked = 0;
    for (int64_t c = 0; c < columns; ++c) {
        const int64_t from = first + count * c / columns;
        const int64_t to = first + count * (c + 1) / columns;
        if (to < kRate * 195 / 100) {
            EXPECT_TRUE(loud(peaks[size_t(c)])) << how << " column " << c << ": " << peaks[size_t(c)].high;
            ++checked;
        } else if (from > kRate * 205 / 100) {
            EXPECT_TRUE(silent(peaks[size_t(c)])) << how << " column " << c << ": " << peaks[size_t(c)].high;
            ++checked;
        }
    }
    EXPECT_GT(checked, columns / 3) << how;
}

TEST(Waveform, AToneThatStopsAtTwoSecondsShowsSilenceAfterIt) {
    test::TempDir dir;
    const std::string mp3 = toneThenSilence(dir, "tone", 2, 2);
    const std::atomic<bool> keepGoing{false};

    auto decoder = engine::OpenFileDecoder(mp3);
    ASSERT_EQ(decoder->lengthFrames(), 4 * kRate);
    expectToneStopsAtTwoSeconds(SketchPeaks(*decoder, 200, keepGoing), 0, 4 * kRate, "sketch");

    WatchedLoader watched;
    WaveformLoader& loader = watched.loader;
    loader.open(mp3);
    ASSERT_TRUE(watched.waitUntil([&] { return loader.state().complete(); }));
    ASSERT_FALSE(loader.state().failed);
    EXPECT_EQ(loader.state().lengthFrames, 4 * kRate);

    // The whole file from the exact blocks; a close-up of the last tenth of
    // a second of the tone and the first of the silence, 110 frames a
    // column, from its own decoding.
    struct View {
        int64_t first, count;
        int columns;
        const char* how;
    };
    const View views[] = {{0, 4 * kRate, 300, "blocks"}, {kRate * 19 / 10, kRate / 5, 80, "close-up"}};
    for (const View& v : views) {
        loader.setView(v.first, v.count, v.columns);
        std::vector<Peak> peaks;
        ASSERT_TRUE(watched.waitUntil([&] {
            peaks = loader.peaks(v.first, v.count, v.columns);
            return loud(peaks.front()) && silent(peaks.back());
        })) << v.how;
        expectToneStopsAtTwoSeconds(peaks, v.first, v.count, v.how);
    }
}

TEST(Waveform, OpeningAnotherFileDropsTheFirstAndAnUnreadableOneFails) {
    test::TempDir dir;
    const std::string longer = toneThenSilence(dir, "long", 30, 1);
    const std::string shorter = toneThenSilence(dir, "short", 1, 1);
    WatchedLoader watched;
    WaveformLoader& loader = watched.loader;
    loader.open(longer);
    loader.open(shorter);
    ASSERT_TRUE(watched.waitUntil([&] { return loader.state().complete(); }));
    EXPECT_EQ(loader.state().lengthFrames, 2 * kRate);
    // Only the second file's blocks are known: nothing lies beyond its end.
    EXPECT_TRUE(silent(loader.peaks(3 * kRate, kRate, 10).front()));

    const std::string junk = dir.write("junk.mp3", test::Bytes(5000, 0x41));
    loader.open(junk);
    ASSERT_TRUE(watched.waitUntil([&] { return loader.state().failed; }));
}

// Three seconds of a tone near full scale, then three of the same 30 dB
// quieter, behind an ID3v2 tag and before an ID3v1 tag.
std::string loudThenQuiet(const test::TempDir& dir) {
    const std::string mp3 = dir.file("halves.mp3");
    const std::string command = "cd '" + dir.path() +
                                "' && sox -n -r 44100 -c 2 -b 16 loud.wav synth 3 sine 440 vol 0.9"
                                " && sox -n -r 44100 -c 2 -b 16 quiet.wav synth 3 sine 440 vol 0.028"
                                " && sox loud.wav quiet.wav both.wav"
                                " && lame --quiet -b 128 --tt Halves --add-id3v2 both.wav halves.mp3";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return mp3;
}

TEST(Waveform, TheOutlineFromTheFramesShowsALoudAndAQuietHalf) {
    test::TempDir dir;
    const std::string mp3 = loudThenQuiet(dir);
    const std::optional<WaveformOverview> overview = ReadWaveformOverview(FileStream::openRead(mp3));
    ASSERT_TRUE(overview);
    EXPECT_EQ(overview->lengthFrames, engine::OpenFileDecoder(mp3)->lengthFrames());
    // A tenth of a second a column, leaving out the ones at the change. The
    // outline is an estimate: 30 dB show as a quarter of the height or less.
    int16_t quietest = 32767, loudest = 0;
    for (int64_t c = 1; c < 60; ++c) {
        if (c >= 28 && c < 32)
            continue;
        const Peak peak = overview->over(c * kRate / 10, (c + 1) * kRate / 10);
        EXPECT_EQ(peak.low, -peak.high) << "column " << c;
        if (c < 30)
            quietest = std::min(quietest, peak.high);
        else
            loudest = std::max(loudest, peak.high);
    }
    EXPECT_GT(quietest, 16000) << "of the loud half";
    EXPECT_LT(loudest, quietest / 4) << "of the quiet half";
}

TEST(Waveform, TheExactPeaksFromTwoHalvesAreASingleDecodersPeaks) {
    test::TempDir dir;
    const std::string mp3 = loudThenQuiet(dir);
    WatchedLoader watched;
    WaveformLoader& loader = watched.loader;
    loader.open(mp3);
    ASSERT_TRUE(watched.waitUntil([&] { return loader.state().complete(); }));
    const int64_t length = loader.state().lengthFrames;
    ASSERT_EQ(length, 6 * kRate);
    // One column a block: the seam between the halves falls on a column's edge.
    const int64_t blocks = (length + kWaveformBlockFrames - 1) / kWaveformBlockFrames;
    const std::atomic<bool> keepGoing{false};
    auto single = engine::OpenFileDecoder(mp3);
    const std::vector<Peak> expected =
        DecodePeaks(*single, 0, blocks * kWaveformBlockFrames, static_cast<int>(blocks), keepGoing);
    const std::vector<Peak> got = loader.peaks(0, blocks * kWaveformBlockFrames, static_cast<int>(blocks));
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t b = 0; b < got.size(); ++b) {
        EXPECT_EQ(got[b].low, expected[b].low) << "block " << b;
        EXPECT_EQ(got[b].high, expected[b].high) << "block " << b;
    }
}

} // namespace
} // namespace tindrel
