// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/MPEGFrame.h"

#include "tests/mpeg/FrameBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tindrel {
namespace {

using test::FrameFields;
using test::PutFrames;
using test::PutHeader;
using test::PutText;

struct LengthCase {
    FrameFields fields;
    uint16_t length;
};

TEST(MPEGFrame, FrameLengthTruncatesAndAddsThePadding) {
    const LengthCase cases[] = {
        {{kMPEG1, kLayerIII, 9, 0}, 417},        // 128 kbit/s, 44100 Hz
        {{kMPEG1, kLayerIII, 9, 0, true}, 418},  // the same, padded
        {{kMPEG1, kLayerII, 14, 2, true}, 1729}, // the longest MPEG 1 frame
        {{kMPEG1, kLayerI, 1, 0, true}, 36},     // 8 whole 4-byte slots + 1 of padding
        {{kMPEG2, kLayerIII, 8, 0}, 208},        // 64 kbit/s, 22050 Hz
        {{kMPEG2, kLayerI, 14, 1}, 512},         // 256 kbit/s, 24000 Hz: 384 samples too
        {{kMPEG25, kLayerIII, 4, 0, true}, 209}, // 32 kbit/s, 11025 Hz
        {{kMPEG25, kLayerII, 14, 2}, 2880},      // longer than half a window
    };
    for (const auto& c : cases) {
        TMPEGFrame frame;
        DecodeFrameHeader(c.fields.bytes().data(), frame);
        EXPECT_EQ(FrameLength(frame), c.length) << c.fields.describe();
    }
}

TEST(MPEGFrame, LooksLikeFrameHeaderRejectsEveryReservedCode) {
    const auto good = FrameFields{kMPEG1, kLayerIII, 9, 0}.bytes();
    EXPECT_TRUE(LooksLikeFrameHeader(good.data()));
    struct Broken {
        const char* what;
        int index;
        uint8_t andMask, orMask;
    };
    const Broken cases[] = {
        {"first byte not 0xFF", 0, 0xFE, 0x00},  {"sync bits of byte 1 missing", 1, 0xDF, 0x00},
        {"reserved version", 1, 0xE7, 0x08},     {"reserved layer", 1, 0xF9, 0x00},
        {"free format", 2, 0x0F, 0x00},          {"forbidden bit rate", 2, 0x0F, 0xF0},
        {"reserved sample rate", 2, 0xF3, 0x0C}, {"reserved emphasis", 3, 0xFC, 0x02},
    };
    for (const auto& c : cases) {
        auto bytes = good;
        bytes[c.index] = uint8_t((bytes[c.index] & c.andMask) | c.orMask);
        EXPECT_FALSE(LooksLikeFrameHeader(bytes.data())) << c.what;
    }
    auto emphasis = good;
    emphasis[3] |= 0x03; // CCIT J.17 emphasis is allowed
    EXPECT_TRUE(LooksLikeFrameHeader(emphasis.data()));
}

TEST(MPEGFrame, DecodeFrameHeaderTakesEveryField) {
    const uint8_t raw[4] = {0xFF, 0xF2, 0xA7, 0x6D}; // MPEG 2 Layer III, no CRC
    TMPEGFrame frame;
    DecodeFrameHeader(raw, frame);
    EXPECT_EQ(std::memcmp(frame.RawHeader.data(), raw, 4), 0);
    EXPECT_EQ(frame.VersionCode, kMPEG2);
    EXPECT_EQ(frame.LayerCode, kLayerIII);
    EXPECT_TRUE(frame.Protected);
    EXPECT_EQ(frame.BitRateIndex, 10);
    EXPECT_EQ(frame.SampleRateIndex, 1);
    EXPECT_TRUE(frame.Padded);
    EXPECT_TRUE(frame.PrivateBit);
    EXPECT_EQ(frame.ModeCode, 1);
    EXPECT_EQ(frame.ModeExtension, 2);
    EXPECT_TRUE(frame.Copyright);
    EXPECT_TRUE(frame.Original);
    EXPECT_EQ(frame.EmphasisCode, 1);
    EXPECT_STREQ(ChannelModeName(frame.ModeCode), "Joint Stereo");
    EXPECT_EQ(TableBitRate(frame), 96);
    EXPECT_EQ(TableSampleRate(frame), 24000);
}

TEST(MPEGFrame, TablesFollowTheVersionAndLayer) {
    struct Case {
        FrameFields fields;
        uint16_t bitRate, sampleRate, coefficient, vbrOffset;
    };
    const Case cases[] = {
        {{kMPEG1, kLayerI, 14, 0}, 448, 44100, 48, 36},
        {{kMPEG1, kLayerII, 14, 1}, 384, 48000, 144, 36},
        {{kMPEG1, kLayerIII, 14, 2, false, kModeMono}, 320, 32000, 144, 21},
        {{kMPEG2, kLayerI, 14, 2}, 256, 16000, 48, 21},
        {{kMPEG2, kLayerII, 1, 0}, 8, 22050, 144, 21},
        {{kMPEG2, kLayerIII, 14, 0, false, kModeMono}, 160, 22050, 72, 13},
        {{kMPEG25, kLayerIII, 14, 1}, 160, 12000, 72, 21},
        {{kMPEG25, kLayerI, 1, 2, false, kModeMono}, 32, 8000, 48, 13},
    };
    for (const auto& c : cases) {
        TMPEGFrame frame;
        DecodeFrameHeader(c.fields.bytes().data(), frame);
        EXPECT_EQ(TableBitRate(frame), c.bitRate) << c.fields.describe();
        EXPECT_EQ(TableSampleRate(frame), c.sampleRate) << c.fields.describe();
        EXPECT_EQ(SizeCoefficient(frame), c.coefficient) << c.fields.describe();
        EXPECT_EQ(VBRHeaderOffset(frame), c.vbrOffset) << c.fields.describe();
    }
    const TMPEGFrame cleared;
    EXPECT_EQ(TableBitRate(cleared), 0);
    EXPECT_EQ(TableSampleRate(cleared), 0);
    EXPECT_STREQ(ChannelModeName(cleared.ModeCode), "Unknown");
    EXPECT_STREQ(ChannelModeName(200), "Unknown");
}

TEST(FindFirstFrame, NeedsAPlausibleSuccessorAndResumesOneByteLater) {
    std::vector<uint8_t> window(kMPEGWindowSize, 0x55);
    const FrameFields fields{kMPEG1, kLayerIII, 9, 0};
    // A lone header at 5: its successor at 5 + 417 is noise.
    PutHeader(window, 5, fields);
    // Real frames start two bytes later, inside the rejected frame's span.
    PutFrames(window, 7, fields, 3);
    TVBRHeader vbr;
    const TMPEGFrame frame = FindFirstFrame(window, vbr);
    ASSERT_TRUE(frame.Found);
    EXPECT_EQ(frame.Offset, 7);
    EXPECT_EQ(frame.Length, 417);
    EXPECT_FALSE(vbr.Found);
}

TEST(FindFirstFrame, TheSuccessorNeedNotMatchTheFirstHeader) {
    std::vector<uint8_t> window(kMPEGWindowSize, 0);
    PutHeader(window, 0, {kMPEG1, kLayerIII, 9, 0});
    PutHeader(window, 417, {kMPEG2, kLayerI, 3, 1});
    TVBRHeader vbr;
    const TMPEGFrame frame = FindFirstFrame(window, vbr);
    EXPECT_TRUE(frame.Found);
    EXPECT_EQ(frame.Offset, 0);
    EXPECT_TRUE(frame.XingZeros);
}

TEST(FindFirstFrame, CandidatesEndAtPosition1729) {
    const FrameFields fields{kMPEG1, kLayerIII, 9, 0};
    for (std::size_t start : {std::size_t(1728), std::size_t(1729), std::size_t(1730)}) {
        std::vector<uint8_t> window(kMPEGWindowSize, 0);
        PutFrames(window, start, fields, 2);
        TVBRHeader vbr;
        const TMPEGFrame frame = FindFirstFrame(window, vbr);
        EXPECT_EQ(frame.Found, start <= kLastFrameCandidate) << start;
        if (frame.Found) {
            EXPECT_EQ(frame.Offset, int32_t(start));
        }
    }
}

TEST(FindFirstFrame, ASuccessorOutsideTheWindowFailsTheCheck) {
    // MPEG 2.5 Layer II frames are 2880 bytes long: from 1000 the successor
    // would lie past the window's end.
    const FrameFields longFrame{kMPEG25, kLayerII, 14, 2};
    std::vector<uint8_t> window(kMPEGWindowSize, 0xFF);
    PutHeader(window, 1000, longFrame);
    TVBRHeader vbr;
    EXPECT_FALSE(FindFirstFrame(std::span(window.data(), 1000 + 1720), vbr).Found);
    // From 0 it fits, and is found.
    std::vector<uint8_t> early(kMPEGWindowSize, 0);
    PutFrames(early, 0, longFrame, 2);
    EXPECT_TRUE(FindFirstFrame(early, vbr).Found);
}

TEST(FindFirstFrame, AShortReadLimitsTheSearchToTheBytesRead) {
    std::vector<uint8_t> window(kMPEGWindowSize, 0);
    const FrameFields fields{kMPEG1, kLayerIII, 9, 0};
    PutFrames(window, 100, fields, 2); // successor at 517
    TVBRHeader vbr;
    EXPECT_TRUE(FindFirstFrame(std::span(window.data(), 521), vbr).Found);
    EXPECT_FALSE(FindFirstFrame(std::span(window.data(), 520), vbr).Found);
    EXPECT_FALSE(FindFirstFrame(std::span(window.data(), 3), vbr).Found);
}

TEST(FindFirstFrame, FindsTheVBRHeaderAtTheOffsetOfItsVersionAndMode) {
    struct Case {
        FrameFields fields;
        std::size_t at;
        const char* signature;
        bool found;
    };
    const Case cases[] = {
        {{kMPEG1, kLayerIII, 9, 0}, 36, "Xing", true},
        {{kMPEG1, kLayerIII, 9, 0, false, kModeMono}, 21, "Xing", true},
        // VBRI stands 32 bytes behind the header in every mode.
        {{kMPEG1, kLayerIII, 9, 0, false, kModeMono}, 36, "VBRI", true},
        {{kMPEG1, kLayerIII, 9, 0}, 21, "Xing", false},
        {{kMPEG2, kLayerIII, 8, 0}, 21, "VBRI", false},
        {{kMPEG2, kLayerIII, 8, 0}, 36, "VBRI", true},
        {{kMPEG25, kLayerIII, 8, 0, false, kModeMono}, 13, "Xing", true},
        {{kMPEG1, kLayerIII, 9, 0}, 36, "xing", false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> window(kMPEGWindowSize, 0);
        PutFrames(window, 50, c.fields, 2);
        PutText(window, 50 + c.at, c.signature);
        TVBRHeader vbr;
        ASSERT_TRUE(FindFirstFrame(window, vbr).Found) << c.fields.describe();
        EXPECT_EQ(vbr.Found, c.found) << c.fields.describe() << " " << c.signature << " at " << c.at;
        if (c.found) {
            EXPECT_EQ(vbr.Signature, c.signature);
        }
    }
}

TEST(ReadVBRHeader, TakesTheFieldsItsFlagsAnnounce) {
    std::vector<uint8_t> window(400, 0);
    PutText(window, 10, "Xing");
    window[14 + 3] = 0x0F; // frames, bytes, table, quality
    test::PutBigEndian32(window, 18, 10'000);
    test::PutBigEndian32(window, 22, 4'000'000);
    window[10 + 119] = 57;
    PutText(window, 10 + 120, "LAME3.10");
    const TVBRHeader xing = ReadVBRHeader(window, 10);
    EXPECT_TRUE(xing.Found);
    EXPECT_EQ(xing.FrameCount, 10'000);
    EXPECT_EQ(xing.ByteCount, 4'000'000);
    EXPECT_EQ(xing.Quality, 57);
    EXPECT_EQ(xing.EncoderText, "LAME3.10");

    std::vector<uint8_t> vbri(64, 0);
    PutText(vbri, 0, "VBRI");
    vbri[9] = 75;
    test::PutBigEndian32(vbri, 10, 123'456);
    test::PutBigEndian32(vbri, 14, 789);
    const TVBRHeader fraunhofer = ReadVBRHeader(vbri, 0);
    EXPECT_TRUE(fraunhofer.Found);
    EXPECT_EQ(fraunhofer.Signature, "VBRI");
    EXPECT_EQ(fraunhofer.Quality, 75);
    EXPECT_EQ(fraunhofer.ByteCount, 123'456);
    EXPECT_EQ(fraunhofer.FrameCount, 789);
    EXPECT_TRUE(fraunhofer.EncoderText.empty());

    // A header cut off by the window's end is not trusted.
    EXPECT_FALSE(ReadVBRHeader(std::span(window.data(), 22), 10).Found);
    // Without the frames flag the byte count comes first, and is no count
    // of frames.
    window[14 + 3] = 0x02;
    const TVBRHeader bytesOnly = ReadVBRHeader(window, 10);
    EXPECT_EQ(bytesOnly.FrameCount, 0);
    EXPECT_EQ(bytesOnly.ByteCount, 10'000);
}

TEST(FindEncoderID, SearchesBackFromTheWindowEndWithinFiveFrames) {
    struct Mark {
        std::size_t at;
        const char* text;
    };
    struct Case {
        const char* what;
        std::vector<Mark> marks;
        uint16_t frameLength;
        std::string expected;
    };
    const std::size_t end = kMPEGWindowSize - 8; // 3450, the first place looked at
    const std::vector<Case> cases = {
        {"LAME with its version", {{end - 100, "LAME3.99r"}}, 417, "LAME3.99"},
        {"GOGO", {{end - 5, "GOGO-no"}}, 417, "GOGO"},
        {"nearest the end wins", {{end - 300, "LAME3.98"}, {end - 10, "GOGO"}}, 417, "GOGO"},
        {"nearest the end wins again", {{end - 300, "GOGO"}, {end - 10, "LAME3.97"}}, 417, "LAME3.97"},
        {"last position within the limit", {{end - 500, "GOGO"}}, 100, "GOGO"},
        {"just beyond the limit", {{end - 501, "GOGO"}}, 100, ""},
        {"the last 8 bytes are not searched", {{end + 1, "LAME"}}, 417, ""},
        {"a limit past the window start searches it all", {{0, "LAME1234"}}, 1000, "LAME1234"},
        {"case matters", {{end - 20, "lame3.99"}}, 417, ""},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> window(kMPEGWindowSize, 0x20);
        for (const auto& mark : c.marks)
            PutText(window, mark.at, mark.text);
        EXPECT_EQ(FindEncoderID(window, c.frameLength), c.expected) << c.what;
    }
}

} // namespace
} // namespace tindrel
