// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/BassApi.h"
#include "engine/EngineError.h"
#include "engine/FileDecoder.h"
#include "engine/WmaDecoder.h"
#include "tests/engine/TinyModule.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace tindrel::engine {
namespace {

std::string Sample(const std::string& name) {
    return std::string(TINDREL_ENGINE_DATA) + "/" + name;
}

// Which library opens a file: the core's decoders or the WMA add-on's.
enum class Library { Core, Wma };

int OpenError(const std::string& path, Library library) {
    try {
        if (library == Library::Core)
            OpenFileDecoder(path);
        else
            OpenWmaDecoder(path);
    } catch (const EngineError& e) {
        return e.code();
    }
    return BASS_OK;
}

TEST(FileDecoder, EachLibraryOpensOnlyItsOwnFormats) {
    test::TempDir dir;
    const std::string text = dir.write("notes.mp3", test::Bytes(4000, 'a'));
    const std::string module = dir.write("tiny.mod", test::TinyModule());
    struct Case {
        std::string path;
        Library library;
        int error;
    };
    const Case cases[] = {
        {Sample("tone1k.mp3"), Library::Core, BASS_OK},
        {Sample("tone1k.ogg"), Library::Core, BASS_OK},
        {Sample("tone1k_mono22k.wav"), Library::Core, BASS_OK},
        {Sample("tone1k.wma"), Library::Core, BASS_ERROR_FILEFORM},
        {Sample("tone1k.wma"), Library::Wma, BASS_OK},
        {Sample("tone1k.mp3"), Library::Wma, BASS_ERROR_FILEFORM},
        {text, Library::Core, BASS_ERROR_FILEFORM},
        {module, Library::Core, BASS_ERROR_FILEFORM},
        {dir.file("missing.mp3"), Library::Core, BASS_ERROR_FILEOPEN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OpenError(c.path, c.library), c.error) << c.path << " library " << static_cast<int>(c.library);
}

// The samples are a quiet tone up to 1.5 s (peak about 3300) and a loud one
// after it (about 26000): MP3 at 24 kHz for the core, WMA at 44.1 kHz for
// the add-on. One decoder seeks forth and back.
TEST(FileDecoder, SeekLandsOnTheFrameAndStartsAtFullLevel) {
    struct Case {
        const char* file;
        Library library;
        int rate;
    };
    for (const Case& c :
         {Case{"step_at_1500ms.mp3", Library::Core, 24000}, Case{"step_at_1500ms.wma", Library::Wma, 44100}}) {
        auto decoder = c.library == Library::Core ? OpenFileDecoder(Sample(c.file)) : OpenWmaDecoder(Sample(c.file));
        const int rate = decoder->rate();
        ASSERT_EQ(rate, c.rate) << c.file;
        for (double target : {1.45, 0.5, 1.3, 1.0}) {
            ASSERT_TRUE(decoder->seek(static_cast<int64_t>(target * rate)));
            std::vector<int16_t> frames(static_cast<std::size_t>(rate) * 2 * decoder->channels());
            const std::size_t got = decoder->read(frames.data(), static_cast<std::size_t>(rate));
            ASSERT_GT(got, 0u);
            // No fade-in: the first 10 ms already carry the quiet tone's level.
            int firstPeak = 0;
            for (int i = 0; i < rate / 100; ++i)
                firstPeak = std::max(firstPeak, std::abs(static_cast<int>(frames[i * decoder->channels()])));
            EXPECT_GT(firstPeak, 2800) << c.file << " " << target;
            std::size_t step = 0;
            while (step < got && std::abs(frames[step * decoder->channels()]) < 15000)
                ++step;
            EXPECT_NEAR(static_cast<double>(step) / rate, 1.5 - target, 0.003) << c.file << " " << target;
        }
    }
}

std::vector<int16_t> ReadToTheEnd(Decoder& decoder) {
    std::vector<int16_t> all;
    std::vector<int16_t> buffer(4096 * 2);
    while (std::size_t got = decoder.read(buffer.data(), 4096))
        all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got * decoder.channels()));
    return all;
}

// WMA's decoder gives nothing for a file's first packets, so time stamps
// cannot place a seek to 0: that seek starts over and gives what playing
// from the start gives, to the sample and to the length found at the end.
TEST(FileDecoder, WmaSeekToZeroPlaysAsFromTheStart) {
    auto fresh = OpenWmaDecoder(Sample("step_at_1500ms.wma"));
    const std::vector<int16_t> expected = ReadToTheEnd(*fresh);
    auto decoder = OpenWmaDecoder(Sample("step_at_1500ms.wma"));
    ASSERT_TRUE(decoder->seek(decoder->rate()));
    std::vector<int16_t> some(4096 * 2);
    ASSERT_GT(decoder->read(some.data(), 4096), 0u);
    ASSERT_TRUE(decoder->seek(0));
    EXPECT_EQ(ReadToTheEnd(*decoder), expected);
    EXPECT_EQ(decoder->lengthFrames(), fresh->lengthFrames());
}

TEST(FileDecoder, LengthIsExactOnceDecodedThrough) {
    struct Case {
        const char* file;
        int64_t frames;
    };
    for (const Case& c : {Case{"tone1k_mono22k.wav", 11025}, Case{"tone1k.mp3", 32000}}) {
        auto decoder = OpenFileDecoder(Sample(c.file));
        std::vector<int16_t> buffer(4096 * 2);
        int64_t total = 0;
        while (std::size_t got = decoder->read(buffer.data(), 4096))
            total += static_cast<int64_t>(got);
        EXPECT_TRUE(decoder->finished());
        EXPECT_EQ(total, c.frames) << c.file;
        EXPECT_EQ(decoder->lengthFrames(), total) << c.file;
    }
}

TEST(FileDecoder, Mp3LengthsAreExactBeforePlaying) {
    // Samples made by an encoder that notes its delay and padding, and
    // samples without that note: the same audio under tags of any size, and
    // a join of 44.1 kHz and 22.05 kHz frames played at 44.1 kHz. The stated
    // length is what the decoder will give, to the sample.
    const std::string data = std::string(TINDREL_ENGINE_DATA) + "/..";
    struct Case {
        const char* file;
        int64_t frames;
    };
    for (const Case& c :
         {Case{"/app/ten-seconds.mp3", 441000}, Case{"/app/vbr-untagged.mp3", 176400},
          Case{"/mpeg/cbr128_tags.mp3", 132300}, Case{"/mpeg/mpeg25_11k.mp3", 33075},
          Case{"/mpeg/ffmpeg_32k.mp3", 96000}, Case{"/engine/tone1k.mp3", 32000}, Case{"/tags/plain.mp3", 8064},
          Case{"/tags/mid3v2-v24.mp3", 8064}, Case{"/tags/id3v2-tool.mp3", 8064}}) {
        auto decoder = OpenFileDecoder(data + c.file);
        EXPECT_EQ(decoder->lengthFrames(), c.frames) << c.file;
        std::vector<int16_t> buffer(4096 * 2);
        int64_t total = 0;
        while (std::size_t got = decoder->read(buffer.data(), 4096))
            total += static_cast<int64_t>(got);
        EXPECT_EQ(total, c.frames) << c.file;
    }
}

// Each coding of WAV the core reads gives the same known tone: 1 kHz at
// 8 kHz is the sine of n x 45 degrees, here at half scale, in every output
// channel; the tolerance is each coding's own rounding.
TEST(FileDecoder, EveryWavCodingGivesTheSameTone) {
    struct Case {
        const char* file;
        int channels;
        int tolerance;
    };
    const Case cases[] = {
        {"wav_u8.wav", 1, 130},   {"wav_s24.wav", 1, 1},     {"wav_f32.wav", 1, 1},
        {"wav_alaw.wav", 1, 520}, {"wav_mulaw.wav", 1, 520}, {"wav_msadpcm_stereo.wav", 2, 600},
        {"wav_6ch.wav", 2, 1},
    };
    const auto expected = [](int n) { return 16384.0 * std::sin(n * std::numbers::pi / 4); };
    for (const Case& c : cases) {
        auto decoder = OpenFileDecoder(Sample(c.file));
        EXPECT_EQ(decoder->rate(), 8000) << c.file;
        ASSERT_EQ(decoder->channels(), c.channels) << c.file;
        EXPECT_EQ(decoder->lengthFrames(), 800) << c.file;
        std::vector<int16_t> pcm(1000 * static_cast<std::size_t>(c.channels));
        ASSERT_EQ(decoder->read(pcm.data(), 1000), 800u) << c.file;
        EXPECT_TRUE(decoder->finished()) << c.file;
        double worst = 0;
        for (int n = 0; n < 800; ++n)
            for (int ch = 0; ch < c.channels; ++ch)
                worst = std::max(worst, std::abs(pcm[static_cast<std::size_t>(n * c.channels + ch)] - expected(n)));
        EXPECT_LE(worst, c.tolerance) << c.file;
        // A seek lands on its sample, inside an ADPCM block too.
        ASSERT_TRUE(decoder->seek(403)) << c.file;
        ASSERT_EQ(decoder->read(pcm.data(), 8), 8u) << c.file;
        for (int n = 0; n < 8; ++n)
            EXPECT_NEAR(pcm[static_cast<std::size_t>(n * c.channels)], expected(403 + n), c.tolerance) << c.file;
    }
}

// The length an MP3 stream states before it is played is the number of
// frames it then gives, for the sources one step aside from the usual
// encoder settings too (a CRC after each header, free format, junk before
// the audio, a file cut short of what its Info frame promises).
TEST(FileDecoder, AnMp3sStatedLengthIsWhatItDecodesTo) {
    const char* const files[] = {"crc_cbr.mp3",           "crc_vbr.mp3",      "free_format.mp3",
                                 "junk_false_syncs.mp3",  "vbr_no_xing.mp3",  "truncated_last_frame.mp3",
                                 "truncated_promise.mp3", "mpeg25_8k_vbr.mp3"};
    for (const char* file : files) {
        auto decoder = OpenFileDecoder(std::string(TINDREL_FRAMES_DATA) + "/" + file);
        const int64_t stated = decoder->lengthFrames();
        std::vector<int16_t> pcm(4096 * static_cast<std::size_t>(decoder->channels()));
        int64_t decoded = 0;
        while (!decoder->finished())
            decoded += static_cast<int64_t>(decoder->read(pcm.data(), 4096));
        EXPECT_EQ(stated, decoded) << file;
    }
}

// The decoder reads a file in blocks larger than the small samples: seeks
// forth and back across them give the samples a straight decode gives at
// the same place.
TEST(FileDecoder, Mp3SeeksAcrossReadBlocksGiveWhatPlayingThroughGives) {
    const std::string file = std::string(TINDREL_ENGINE_DATA) + "/../app/ten-seconds.mp3";
    auto straight = OpenFileDecoder(file);
    const std::vector<int16_t> all = ReadToTheEnd(*straight);
    auto decoder = OpenFileDecoder(file);
    const auto channels = static_cast<std::size_t>(decoder->channels());
    std::vector<int16_t> pcm(4096 * channels);
    for (int64_t at : {352800, 44100, 220500, 436000, 1152, 300000}) {
        ASSERT_TRUE(decoder->seek(at)) << at;
        const std::size_t got = decoder->read(pcm.data(), 4096);
        ASSERT_EQ(got, std::min<std::size_t>(4096, all.size() / channels - static_cast<std::size_t>(at))) << at;
        const auto from = all.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(at) * channels);
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(got * channels), from)) << at;
    }
}

} // namespace
} // namespace tindrel::engine
