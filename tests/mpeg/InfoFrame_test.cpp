// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/FrameWalk.h"
#include "mpeg/InfoFrame.h"

#include "platform/FileStream.h"
#include "tests/support/Command.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tindrel {
namespace {

using test::Bytes;
using test::TempDir;

// An info frame the encoder wrote, rewritten for the frames it already
// stands before, keeps the encoder's bytes: the counts and the music CRC
// are worked out as the encoder works them out, its CRCs check with the
// encoder's, and the table of contents is within 1/256 of the encoder's
// (which weighs frames by bit rate rather than by bytes).
TEST(InfoFrame, RewritingForTheSameFramesKeepsTheEncodersBytes) {
    if (std::system("sox --version >/dev/null 2>&1 && lame --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sox or lame is not installed";
    const TempDir dir;
    const std::string wav = dir.file("tone.wav");
    test::CommandOutput("sox -D -n -r 44100 -c 2 -b 16 '" + wav + "' synth 2 sine 300-3000 gain -6");
    for (const char* options : {"-b 128", "-V 2", "--resample 22.05 -b 64", "-m m --resample 8 -b 24"}) {
        const std::string mp3 = dir.file("source.mp3");
        test::CommandOutput("lame --quiet " + std::string(options) + " '" + wav + "' '" + mp3 + "'");
        const FileStream file = FileStream::openRead(mp3);
        const TFrameWalk walk = WalkFrames(file, 0, file.size());
        ASSERT_TRUE(walk.Info.Found && walk.Info.HasExtension) << options;
        const Bytes bytes = test::ReadFileBytes(mp3);
        const Bytes encoders(bytes.begin() + walk.InfoOffset, bytes.begin() + walk.InfoOffset + walk.InfoLength);
        std::vector<uint32_t> lengths;
        for (const TFrameSpan& frame : walk.Frames)
            lengths.push_back(frame.Length);
        const auto audio = std::span(bytes).subspan(std::size_t(walk.InfoOffset + walk.InfoLength));
        const std::size_t crcAt = walk.Info.ExtensionOffset + 34;
        const auto storedCrc = [&](const Bytes& frame, std::size_t at) {
            return uint16_t(frame[at] << 8 | frame[at + 1]);
        };
        EXPECT_EQ(InfoCrc16(std::span(encoders).first(crcAt)), storedCrc(encoders, crcAt)) << options;
        EXPECT_EQ(InfoCrc16(audio), storedCrc(encoders, crcAt - 2)) << options;

        Bytes rewritten = encoders;
        rewritten[crcAt] ^= 0xFF;
        ASSERT_TRUE(RewriteInfoFrame(rewritten, walk.Info, {lengths, int64_t(bytes.size()), InfoCrc16(audio)}, true));
        EXPECT_EQ(InfoCrc16(std::span(rewritten).first(crcAt)), storedCrc(rewritten, crcAt)) << options;
        const std::size_t toc = walk.Info.TocOffset;
        for (std::size_t i = toc; i < toc + 100; ++i) {
            EXPECT_NEAR(rewritten[i], encoders[i], 1) << options << ", entry " << i - toc;
            rewritten[i] = encoders[i];
        }
        rewritten[crcAt] = encoders[crcAt];
        rewritten[crcAt + 1] = encoders[crcAt + 1];
        EXPECT_EQ(rewritten, encoders) << options;
        EXPECT_EQ(walk.Info.FrameCount, int64_t(walk.Frames.size())) << options << ": the info frame is not counted";
    }
}

// The CRC is the bitwise one for runs of every length around the blocks
// long runs are taken in, and carries over a run cut anywhere.
TEST(InfoFrame, Crc16OfARunIsTheBitwiseOneAndCarriesOverAnyCut) {
    const Bytes bytes = test::PatternBytes(4096, 7);
    const auto bitwise = [](std::span<const uint8_t> run) {
        uint16_t crc = 0;
        for (const uint8_t b : run) {
            crc ^= b;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? uint16_t(crc >> 1 ^ 0xA001) : uint16_t(crc >> 1);
        }
        return crc;
    };
    const auto run = std::span(bytes);
    for (const std::size_t n : {0, 1, 15, 16, 17, 63, 64, 65, 79, 80, 127, 128, 191, 1000, 4095, 4096})
        EXPECT_EQ(InfoCrc16(run.first(n)), bitwise(run.first(n))) << n << " bytes";
    const uint16_t whole = bitwise(run);
    for (std::size_t cut = 0; cut <= 130; ++cut)
        EXPECT_EQ(InfoCrc16(run.subspan(cut), InfoCrc16(run.first(cut))), whole) << "cut after " << cut;
}

// A VBRI table keeps its entries and their width, and spans the new frames.
TEST(InfoFrame, AVbriFrameGetsCountsAndATableForItsFrames) {
    TMPEGFrame format;
    const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x00}; // MPEG 1 Layer III, 128 kbit/s, 44.1 kHz
    DecodeFrameHeader(header, format);
    Bytes frame(417, 0);
    std::copy(std::begin(header), std::end(header), frame.begin());
    const Bytes vbri = {'V', 'B',
                        'R', 'I',
                        0,   1,
                        0,   0,
                        0,   75,
                        0,   1,
                        0,   0,
                        0,   0,
                        0,   100,
                        0,   4 /* entries */,
                        0,   1 /* scale */,
                        0,   2 /* bytes each */,
                        0,   25 /* frames each */};
    std::copy(vbri.begin(), vbri.end(), frame.begin() + 36);
    const TInfoFrame info = ReadInfoFrame(frame, format);
    ASSERT_TRUE(info.Found && info.IsVBRI && info.HasToc);
    EXPECT_EQ(info.FrameCount, 100);

    const std::vector<uint32_t> lengths(10, 400); // 4,000 bytes in 10 frames
    ASSERT_TRUE(RewriteInfoFrame(frame, info, {lengths, 4417, 0}, false));
    const TInfoFrame read = ReadInfoFrame(frame, format);
    EXPECT_EQ(read.FrameCount, 10);
    EXPECT_EQ(read.ByteCount, 4417);
    EXPECT_EQ(read.VbriEntries, 4);
    EXPECT_EQ(read.VbriFramesPerEntry, 3); // 3 + 3 + 3 + 1 frames
    const Bytes table(frame.begin() + 36 + 26, frame.begin() + 36 + 26 + 8);
    EXPECT_EQ(table, (Bytes{0x04, 0xB0, 0x04, 0xB0, 0x04, 0xB0, 0x01, 0x90}));
}

} // namespace
} // namespace tindrel
