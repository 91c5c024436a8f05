// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/MPEGaudio.h"

#include "tests/mpeg/FrameBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tindrel {
namespace {

using test::Bytes;
using test::FrameFields;
using test::PutBigEndian32;
using test::PutFrames;
using test::PutText;
using test::TempDir;

const FrameFields kStereo128{kMPEG1, kLayerIII, 9, 0}; // 417-byte frames at 44100 Hz
const FrameFields kMono128{kMPEG1, kLayerIII, 9, 0, false, kModeMono};

// A file of size bytes: frames with the given header from at on, zeros after them.
Bytes Mp3Image(std::size_t size, const FrameFields& fields, std::size_t at = 0, std::size_t frames = 4) {
    Bytes bytes(size, 0);
    PutFrames(bytes, at, fields, frames);
    return bytes;
}

Bytes ID3v2Tag(uint32_t bodySize) {
    Bytes tag{'I',
              'D',
              '3',
              3,
              0,
              0,
              uint8_t(bodySize >> 21 & 0x7F),
              uint8_t(bodySize >> 14 & 0x7F),
              uint8_t(bodySize >> 7 & 0x7F),
              uint8_t(bodySize & 0x7F)};
    tag.resize(10 + bodySize, 0);
    return tag;
}

Bytes ID3v1Tag() {
    Bytes tag(128, 0);
    PutText(tag, 0, "TAGTitle");
    return tag;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void PutXing(Bytes& bytes, std::size_t at, int32_t frames, int32_t byteCount) {
    PutText(bytes, at, "Xing");
    bytes[at + 7] = 0x03; // frames and bytes
    PutBigEndian32(bytes, at + 8, uint32_t(frames));
    PutBigEndian32(bytes, at + 12, uint32_t(byteCount));
}

// Analyses a temporary copy; the object stays usable for the checks.
bool AnalyzeBytes(TMPEGaudio& audio, const Bytes& bytes) {
    TempDir dir;
    return audio.Analyze(dir.write("test.mp3", bytes));
}

TEST(MPEGaudio, DescribesTheEncoderSamples) {
    struct Case {
        const char* name;
        uint16_t sampleRate;
        const char* mode;
        uint16_t cbrBitRate; // 0: variable, with a Xing header
        bool id3v2, id3v1;
        const char* encoder;
    };
    const Case cases[] = {
        {"cbr128.mp3", 44100, "Joint Stereo", 128, false, false, "LAME3.10"},
        {"cbr128_tags.mp3", 44100, "Joint Stereo", 128, true, true, "LAME3.10"},
        {"vbr_xing.mp3", 44100, "Joint Stereo", 0, false, false, ""},
        {"mono_vbr.mp3", 44100, "Mono", 0, false, false, ""},
        {"mono_cbr64.mp3", 44100, "Mono", 64, false, false, "LAME3.10"},
        {"mpeg2_22k.mp3", 22050, "Joint Stereo", 64, false, false, "LAME3.10"},
        {"mpeg25_11k.mp3", 11025, "Joint Stereo", 32, false, false, "LAME3.10"},
        {"mpeg2_16k_vbr.mp3", 16000, "Joint Stereo", 0, false, false, ""},
        {"layer2.mp2", 48000, "Stereo", 192, false, false, ""},
        {"ffmpeg_32k.mp3", 32000, "Stereo", 96, true, false, "LAME3.10"},
    };
    TMPEGaudio audio;
    for (const auto& c : cases) {
        const std::string path = test::TestDataDir() + "/mpeg/" + c.name;
        ASSERT_TRUE(audio.Analyze(path)) << c.name;
        EXPECT_TRUE(audio.IsValid()) << c.name;
        EXPECT_EQ(audio.FileSize(), int64_t(std::filesystem::file_size(path))) << c.name;
        EXPECT_EQ(audio.SampleRate(), c.sampleRate) << c.name;
        EXPECT_STREQ(audio.ChannelModeName(), c.mode) << c.name;
        EXPECT_EQ(audio.VBRHeader().Found, c.cbrBitRate == 0) << c.name;
        if (c.cbrBitRate != 0) {
            EXPECT_EQ(audio.BitRate(), c.cbrBitRate) << c.name;
        }
        EXPECT_EQ(audio.V2Tag().Exists(), c.id3v2) << c.name;
        EXPECT_EQ(audio.V1Tag().Exists(), c.id3v1) << c.name;
        EXPECT_EQ(audio.EncoderID(), c.encoder) << c.name;
        // Every sample holds 3 s of signal; encoders add up to a few frames.
        EXPECT_NEAR(audio.Duration(), 3.0, 0.2) << c.name;
        EXPECT_LE(audio.WindowBytesRead(), 3 * kMPEGWindowSize) << c.name;
    }
}

TEST(MPEGaudio, ConstantBitRateLengthComesFromTheFileSize) {
    TMPEGaudio audio;
    // 4,000,000 bytes at 128 kbit/s, no tags, first frame at 0.
    ASSERT_TRUE(AnalyzeBytes(audio, Mp3Image(4'000'000, kStereo128)));
    EXPECT_DOUBLE_EQ(audio.Duration(), 250.0);
    EXPECT_EQ(audio.BitRate(), 128);
    EXPECT_EQ(audio.FirstFrame().Length, 417);

    // Tags at both ends are left out of the audio size.
    const Bytes tagged = Concat(Concat(ID3v2Tag(990), Mp3Image(4'000'000, kStereo128)), ID3v1Tag());
    ASSERT_TRUE(AnalyzeBytes(audio, tagged));
    EXPECT_EQ(audio.V2Tag().TagSize(), 1000);
    EXPECT_TRUE(audio.V1Tag().Exists());
    EXPECT_EQ(audio.FirstFrame().Offset, 0);
    EXPECT_DOUBLE_EQ(audio.Duration(), 250.0);

    // A frame further into the window: its offset is not audio.
    ASSERT_TRUE(AnalyzeBytes(audio, Mp3Image(4'000'000 + 1000, kStereo128, 1000)));
    EXPECT_EQ(audio.FirstFrame().Offset, 1000);
    EXPECT_DOUBLE_EQ(audio.Duration(), 250.0);
}

TEST(MPEGaudio, AXingHeaderGivesTheAverageRateAndTheFrameCountLength) {
    TMPEGaudio audio;
    Bytes bytes = Mp3Image(50'000, kStereo128);
    PutXing(bytes, 36, 10'000, 4'000'000);
    ASSERT_TRUE(AnalyzeBytes(audio, bytes));
    EXPECT_EQ(audio.VBRHeader().Signature, "Xing");
    EXPECT_NEAR(audio.Duration(), 261.2244898, 1e-6);
    EXPECT_EQ(audio.BitRate(), 122); // exactly 122.5: the even neighbour
    EXPECT_TRUE(audio.IsValid());
    EXPECT_EQ(audio.EncoderID(), ""); // no end window with a VBR header
    EXPECT_EQ(audio.WindowBytesRead(), kMPEGWindowSize);

    // At 48000 Hz, 370.5 bytes per frame are exactly 123.5 kbit/s, which
    // goes up to the even 124.
    Bytes at48k = Mp3Image(50'000, {kMPEG1, kLayerIII, 9, 1});
    PutXing(at48k, 36, 2, 741);
    ASSERT_TRUE(AnalyzeBytes(audio, at48k));
    EXPECT_EQ(audio.BitRate(), 124);

    // A frame count of 0: both values fall back to the constant-rate formulas.
    PutXing(bytes, 36, 0, 4'000'000);
    ASSERT_TRUE(AnalyzeBytes(audio, bytes));
    EXPECT_TRUE(audio.VBRHeader().Found);
    EXPECT_EQ(audio.BitRate(), 128);
    EXPECT_DOUBLE_EQ(audio.Duration(), 50'000 / 128.0 / 1000 * 8);
}

TEST(MPEGaudio, AVBRIHeaderCountsLikeXing) {
    TMPEGaudio audio;
    Bytes bytes = Mp3Image(50'000, kStereo128);
    PutText(bytes, 36, "VBRI");
    PutBigEndian32(bytes, 36 + 10, 4'000'000);
    PutBigEndian32(bytes, 36 + 14, 10'000);
    ASSERT_TRUE(AnalyzeBytes(audio, bytes));
    EXPECT_EQ(audio.VBRHeader().Signature, "VBRI");
    EXPECT_EQ(audio.BitRate(), 122);
    EXPECT_NEAR(audio.Duration(), 261.2244898, 1e-6);

    // A VBRI header stands 36 bytes in whatever the mode, where a mono
    // MPEG 1 frame's Xing header stands 21 bytes in.
    Bytes mono = Mp3Image(50'000, kMono128);
    PutText(mono, 36, "VBRI");
    ASSERT_TRUE(AnalyzeBytes(audio, mono));
    EXPECT_TRUE(audio.VBRHeader().Found);
    PutXing(mono, 21, 100, 41'700);
    ASSERT_TRUE(AnalyzeBytes(audio, mono));
    EXPECT_EQ(audio.VBRHeader().FrameCount, 100);
    EXPECT_STREQ(audio.ChannelModeName(), "Mono");
}

TEST(MPEGaudio, ACorruptByteCountDoesNotWrapIntoAPlausibleRate) {
    // -212,571 bytes per frame is about -65,100 kbit/s, which in 16 bits
    // would read as 436.
    TMPEGaudio audio;
    Bytes bytes = Mp3Image(50'000, kStereo128);
    PutXing(bytes, 36, 1, -212'571);
    ASSERT_TRUE(AnalyzeBytes(audio, bytes));
    EXPECT_EQ(audio.BitRate(), 0);
    EXPECT_FALSE(audio.IsValid());
}

TEST(MPEGaudio, FramesOnlyInTheMiddleWindowAreFound) {
    TMPEGaudio audio;
    const std::size_t size = 100'000;
    const Bytes tag = ID3v2Tag(490);
    // The middle window starts at (size - tag) / 2 as an absolute position.
    const std::size_t middle = (size - tag.size()) / 2;
    Bytes bytes = Concat(tag, Bytes(size - tag.size(), 0x11));
    PutFrames(bytes, middle + 300, kStereo128, 3);
    ASSERT_TRUE(AnalyzeBytes(audio, bytes));
    ASSERT_TRUE(audio.FirstFrame().Found);
    EXPECT_EQ(audio.FirstFrame().Offset, 300);
    // The offset is subtracted as it stands, counted from the window start.
    EXPECT_DOUBLE_EQ(audio.Duration(), (size - 500.0 - 300) / 128 / 1000 * 8);
    EXPECT_EQ(audio.WindowBytesRead(), 3 * kMPEGWindowSize);
    // One byte beyond the last candidate of the middle window: nothing.
    Bytes late = Concat(tag, Bytes(size - tag.size(), 0x11));
    PutFrames(late, middle + kLastFrameCandidate + 1, kStereo128, 3);
    ASSERT_TRUE(AnalyzeBytes(audio, late));
    EXPECT_FALSE(audio.FirstFrame().Found);
}

TEST(MPEGaudio, TheEncoderMarkIsSoughtBeforeTheID3v1Tag) {
    TMPEGaudio audio;
    Bytes body = Mp3Image(20'000, kStereo128);
    PutText(body, body.size() - 100, "LAME3.99");
    Bytes v1 = ID3v1Tag();
    PutText(v1, 100, "GOGO"); // inside the tag: must not be seen
    ASSERT_TRUE(AnalyzeBytes(audio, Concat(body, v1)));
    EXPECT_EQ(audio.EncoderID(), "LAME3.99");
    // Without the tag the same bytes are audio, and the nearer mark wins.
    ASSERT_TRUE(AnalyzeBytes(audio, Concat(body, Bytes(v1.begin() + 3, v1.end()))));
    EXPECT_EQ(audio.EncoderID(), "GOGO");
}

TEST(MPEGaudio, NoFrameLeavesEverythingCleared) {
    TMPEGaudio audio;
    ASSERT_TRUE(audio.Analyze(test::TestDataDir() + "/mpeg/cbr128_tags.mp3"));
    ASSERT_TRUE(audio.IsValid());
    // A plausible header without a successor is no frame.
    Bytes bytes(20'000, 0);
    test::PutHeader(bytes, 10, kStereo128);
    EXPECT_TRUE(AnalyzeBytes(audio, Concat(bytes, ID3v1Tag())));
    EXPECT_FALSE(audio.FirstFrame().Found);
    EXPECT_FALSE(audio.IsValid());
    EXPECT_STREQ(audio.ChannelModeName(), "Unknown");
    EXPECT_EQ(audio.SampleRate(), 0);
    EXPECT_EQ(audio.BitRate(), 0);
    EXPECT_EQ(audio.Duration(), 0.0);
    EXPECT_EQ(audio.FileSize(), 0);
    EXPECT_FALSE(audio.V1Tag().Exists());
    EXPECT_EQ(audio.FirstFrame().VersionCode, 1);
    EXPECT_EQ(audio.FirstFrame().ModeExtension, 4);
    EXPECT_EQ(audio.FirstFrame().EmphasisCode, 2);
}

TEST(MPEGaudio, FailuresAfterTheFrameSearchKeepTheFrame) {
    TMPEGaudio audio;
    // Shorter than the end window and without a VBR header: the end read
    // fails, but the frame stays and the file may still be valid.
    EXPECT_FALSE(AnalyzeBytes(audio, Mp3Image(2000, kStereo128)));
    EXPECT_TRUE(audio.FirstFrame().Found);
    EXPECT_EQ(audio.FileSize(), 2000);
    EXPECT_TRUE(audio.IsValid()); // 2000 bytes at 128 kbit/s: 0.125 s
    EXPECT_EQ(audio.EncoderID(), "");

    // Too short for the ID3v1 reader, or missing: nothing is read.
    EXPECT_FALSE(AnalyzeBytes(audio, Mp3Image(127, kMono128, 0, 1)));
    EXPECT_FALSE(audio.FirstFrame().Found);
    EXPECT_EQ(audio.FileSize(), 0);
    EXPECT_FALSE(audio.Analyze("/nonexistent/folder/x.mp3"));
    EXPECT_FALSE(audio.IsValid());
}

TEST(MPEGaudio, ValidityNeedsAPlausibleRateAndATenthOfASecond) {
    struct Case {
        const char* what;
        std::size_t size;
        int32_t frames, bytes; // a Xing header when frames != 0
        bool valid;
    };
    const Case cases[] = {
        {"0.1 s at 128 kbit/s", 1600, 0, 0, true},
        {"less than 0.1 s", 1599, 0, 0, false},
        {"Xing average 8 kbit/s", 8000, 100, 2612, true}, // 7.9997 rounds to 8
        {"Xing average 7 kbit/s", 8000, 100, 2286, false},
        {"Xing average 448 kbit/s", 8000, 100, 146'286, true},
        {"Xing average 449 kbit/s", 8000, 100, 146'613, false},
    };
    for (const auto& c : cases) {
        TMPEGaudio audio;
        Bytes bytes = Mp3Image(c.size, kStereo128, 0, 3);
        if (c.frames != 0)
            PutXing(bytes, 36, c.frames, c.bytes);
        AnalyzeBytes(audio, bytes);
        ASSERT_TRUE(audio.FirstFrame().Found) << c.what;
        EXPECT_EQ(audio.IsValid(), c.valid) << c.what << ": " << audio.BitRate() << " kbit/s, " << audio.Duration();
    }
}

} // namespace
} // namespace tindrel
