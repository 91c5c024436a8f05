// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/GlobalGain.h"

#include "mpeg/FrameWalk.h"
#include "platform/FileStream.h"
#include "tests/mpeg/FrameBytes.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tindrel {
namespace {

using test::Bytes;

struct GainFile {
    const char* name;
    bool crc;
    // Bit positions of the global gains from the frame's first byte, in
    // granule-then-channel order.
    std::vector<std::size_t> gainBits;
};

const GainFile kGainFiles[] = {
    {"cbr128.mp3", false, {73, 132, 191, 250}},    // MPEG 1 stereo
    {"mono_cbr64.mp3", false, {71, 130}},          // MPEG 1 mono
    {"crc_stereo.mp3", true, {89, 148, 207, 266}}, // MPEG 1 stereo, CRC
    {"mpeg2_22k.mp3", false, {63, 126}},           // MPEG 2 stereo
    {"mpeg25_11k.mp3", false, {63, 126}},          // MPEG 2.5 stereo
    {"mpeg2_mono_crc.mp3", true, {78}},            // MPEG 2 mono, CRC
};

unsigned gainAt(const Bytes& frame, std::size_t bit) {
    unsigned value = 0;
    for (std::size_t i = bit; i < bit + 8; ++i)
        value = value << 1 | (frame[i / 8] >> (7 - i % 8) & 1);
    return value;
}

uint16_t storedCrc(const Bytes& frame) {
    return uint16_t(frame[4] << 8 | frame[5]);
}

std::vector<Bytes> audioFrames(const std::string& name) {
    const std::string path = test::TestDataDir() + "/mpeg/" + name;
    const FileStream file = FileStream::openRead(path);
    const TFrameWalk walk = WalkFrames(file, 0, file.size());
    const Bytes bytes = test::ReadFileBytes(path);
    std::vector<Bytes> frames;
    for (const TFrameSpan& span : walk.Frames)
        frames.emplace_back(bytes.begin() + span.Offset, bytes.begin() + span.End());
    return frames;
}

// Every frame of files from the encoder, in each version and channel layout,
// gets each granule's own step count in exactly its gain field; the CRC that
// the encoder wrote checks before and the rewritten one after; the opposite
// steps give the encoder's bytes back.
TEST(GlobalGain, StepsLandInTheGainFieldsOnlyAndKeepCrcsSound) {
    const TGainSteps steps{{{3, -2}, {-5, 7}}};
    for (const GainFile& file : kGainFiles) {
        const std::vector<Bytes> frames = audioFrames(file.name);
        ASSERT_GT(frames.size(), 20u) << file.name;
        for (const Bytes& source : frames) {
            const int channels = source[3] >> 6 == 3 ? 1 : 2;
            Bytes frame = source;
            const uint16_t sideInfo = file.crc ? uint16_t(GainFieldsSize(frame) - 6) : 0;
            if (file.crc) {
                ASSERT_EQ(FrameCrc16(frame, sideInfo), storedCrc(frame)) << file.name;
            }
            const TGainChange change = AddGlobalGain(frame, steps);
            ASSERT_TRUE(change.Applied && !change.Clamped) << file.name;

            Bytes untouched = source;
            unsigned lowest = 255, highest = 0;
            for (std::size_t i = 0; i < file.gainBits.size(); ++i) {
                const std::size_t bit = file.gainBits[i];
                const int step = steps[i / std::size_t(channels)][i % std::size_t(channels)];
                ASSERT_EQ(int(gainAt(frame, bit)), int(gainAt(source, bit)) + step) << file.name << " gain " << i;
                lowest = std::min(lowest, gainAt(frame, bit));
                highest = std::max(highest, gainAt(frame, bit));
                for (std::size_t b = bit; b < bit + 8; ++b) {
                    const unsigned mask = 0x80u >> b % 8;
                    untouched[b / 8] = uint8_t((untouched[b / 8] & ~mask) | (frame[b / 8] & mask));
                }
            }
            if (file.crc) {
                EXPECT_EQ(FrameCrc16(frame, sideInfo), storedCrc(frame)) << file.name;
                untouched[4] = frame[4];
                untouched[5] = frame[5];
            }
            ASSERT_EQ(untouched, frame) << file.name << ": a bit outside the gains changed";
            const auto range = GlobalGainRange(frame);
            ASSERT_TRUE(range.has_value());
            EXPECT_EQ(range->Min, lowest);
            EXPECT_EQ(range->Max, highest);

            TGainSteps back{};
            for (std::size_t g = 0; g < 2; ++g)
                for (std::size_t c = 0; c < 2; ++c)
                    back[g][c] = -steps[g][c];
            AddGlobalGain(frame, back);
            ASSERT_EQ(frame, source) << file.name;
        }
    }
}

// Gains are held at 0 and 255 and the hold is reported; a frame whose CRC
// was already wrong keeps the same error, so undoing gives its bytes back.
TEST(GlobalGain, HoldsAtTheBoundsAndKeepsADamagedCrcDamaged) {
    const Bytes source = audioFrames("crc_stereo.mp3").at(10);
    Bytes frame = source;
    frame[5] ^= 0x34;
    const uint16_t error = storedCrc(frame) ^ FrameCrc16(frame, 32);
    const Bytes damaged = frame;
    const struct {
        int steps;
        uint8_t gain;
    } holds[] = {{300, 255}, {-300, 0}};
    for (const auto& hold : holds) {
        frame = damaged;
        const TGainChange change = AddGlobalGain(frame, hold.steps);
        EXPECT_TRUE(change.Applied && change.Clamped);
        const auto range = GlobalGainRange(frame);
        EXPECT_EQ(range->Min, hold.gain);
        EXPECT_EQ(range->Max, hold.gain);
        EXPECT_EQ(storedCrc(frame) ^ FrameCrc16(frame, 32), error);
    }
    frame = damaged;
    EXPECT_FALSE(AddGlobalGain(frame, 4).Clamped);
    AddGlobalGain(frame, -4);
    EXPECT_EQ(frame, damaged);
}

// Bytes that are no Layer III frame, or too few to hold its side
// information, are left alone.
TEST(GlobalGain, LeavesBytesThatAreNoWholeLayerIIISideInfoAlone) {
    const Bytes real = audioFrames("cbr128.mp3").at(5);
    Bytes layer2 = real;
    test::PutHeader(layer2, 0, {3, 2, 9, 0});
    Bytes reserved = real;
    reserved[1] = uint8_t((reserved[1] & ~0x18) | 0x08);
    Bytes noSync = real;
    noSync[1] &= 0x7F;
    const Bytes cases[] = {layer2, reserved, noSync, Bytes(real.begin(), real.begin() + 35),
                           Bytes(real.begin(), real.begin() + 2)};
    for (const Bytes& bytes : cases) {
        Bytes frame = bytes;
        EXPECT_FALSE(AddGlobalGain(frame, 5).Applied);
        EXPECT_EQ(frame, bytes);
        EXPECT_FALSE(GlobalGainRange(frame).has_value());
    }
    EXPECT_EQ(GainFieldsSize(real), 36u);
}

} // namespace
} // namespace tindrel

namespace tindrel {
namespace {

// In files from the encoder, each frame's main data fits between the start
// of its own (main_data_begin bytes before its data area) and that of the
// next frame, and fills most of it: the encoder leaves few bits unused.
TEST(GlobalGain, MainDataFitsBeforeTheNextFramesOwn) {
    for (const GainFile& file : kGainFiles) {
        const std::vector<Bytes> frames = audioFrames(file.name);
        ASSERT_GT(frames.size(), 2u) << file.name;
        std::size_t used = 0;
        std::size_t available = 0;
        for (std::size_t k = 0; k + 1 < frames.size(); ++k) {
            TMPEGFrame format;
            DecodeFrameHeader(frames[k].data(), format);
            TMPEGFrame next;
            DecodeFrameHeader(frames[k + 1].data(), next);
            const std::size_t area = frames[k].size() - DataAreaOffset(format);
            const std::size_t room =
                MainDataBegin(format, frames[k].data()) + area - MainDataBegin(next, frames[k + 1].data());
            const std::optional<std::size_t> size = MainDataSize(frames[k]);
            ASSERT_TRUE(size) << file.name;
            EXPECT_LE(*size, room) << file.name << " frame " << k;
            used += *size;
            available += room;
        }
        EXPECT_GE(double(used), 0.6 * double(available)) << file.name;
    }
    EXPECT_FALSE(MainDataSize(Bytes{0xFF, 0xFD, 0x90, 0x00})) << "a Layer I header";
}

} // namespace
} // namespace tindrel
