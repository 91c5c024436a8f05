// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/UserStream.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace tindrel::engine {
namespace {

// Gives `bytes` from a script, claiming `claimed` bytes and maybe the end.
struct Script {
    std::vector<uint8_t> bytes;
    DWORD claimed;
    bool end;
    DWORD asked = 0;

    static DWORD Fill(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Script*>(user);
        self->asked = length;
        std::memcpy(buffer, self->bytes.data(), std::min<std::size_t>(length, self->bytes.size()));
        return self->claimed | (self->end ? BASS_STREAMPROC_END : 0);
    }
};

TEST(UserStream, EightBitSamplesAreWidenedAroundTheMidpoint) {
    Script script{{0, 128, 255, 64}, 4, false};
    UserStream stream(1, 8000, BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO, &Script::Fill, &script);
    EXPECT_EQ(stream.channels(), 1);
    std::vector<int16_t> out(4);
    ASSERT_EQ(stream.read(out.data(), 4), 4u);
    EXPECT_EQ(script.asked, 4u) << "one byte per mono 8-bit frame";
    EXPECT_EQ(out, (std::vector<int16_t>{-32768, 0, 32512, -16384}));
    EXPECT_FALSE(stream.finished());
}

TEST(UserStream, ResultsAreTakenAsWholeFramesWithinTheRequest) {
    struct Case {
        DWORD flags;
        std::size_t frames; // asked for
        DWORD claimed;      // bytes the callback says it gave
        bool end;
        std::size_t expected; // frames taken
    };
    const Case cases[] = {
        {0, 4, 16, false, 4},                // 16-bit stereo: 4 bytes a frame
        {0, 4, 10, false, 2},                // a partial frame waits for the rest
        {0, 4, 1000, false, 4},              // more than asked is cut to the request
        {BASS_SAMPLE_MONO, 4, 6, true, 3},   // the end with the last data
        {BASS_SAMPLE_8BITS, 4, 0, false, 0}, // nothing yet: a stall, not the end
    };
    for (const Case& c : cases) {
        Script script{std::vector<uint8_t>(64, 0x11), c.claimed, c.end};
        UserStream stream(1, 44100, c.flags, &Script::Fill, &script);
        std::vector<int16_t> out(c.frames * 2);
        EXPECT_EQ(stream.read(out.data(), c.frames), c.expected) << c.claimed;
        EXPECT_EQ(stream.finished(), c.end) << c.claimed;
    }
}

// Hands out a byte ramp in deliveries of `chunk` bytes, whatever was asked.
struct Dribble {
    std::size_t chunk;
    uint8_t next = 0;
    static DWORD Fill(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<Dribble*>(user);
        const std::size_t n = std::min<std::size_t>(length, self->chunk);
        for (std::size_t i = 0; i < n; ++i)
            static_cast<uint8_t*>(buffer)[i] = self->next++;
        return static_cast<DWORD>(n);
    }
};

TEST(UserStream, DeliveriesThatSplitFramesLoseAndShiftNothing) {
    for (const std::size_t chunk : {1, 3, 5, 7}) {
        Dribble dribble{chunk};
        UserStream stream(1, 44100, 0, &Dribble::Fill, &dribble);
        std::vector<int16_t> samples;
        for (int call = 0; call < 40; ++call) {
            int16_t frame[2 * 2];
            const std::size_t got = stream.read(frame, 2);
            samples.insert(samples.end(), frame, frame + 2 * got);
        }
        ASSERT_GE(samples.size(), 8u) << chunk;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            uint8_t bytes[2];
            std::memcpy(bytes, &samples[i], 2);
            ASSERT_EQ(bytes[0], uint8_t(2 * i)) << "chunk " << chunk << " sample " << i;
            ASSERT_EQ(bytes[1], uint8_t(2 * i + 1)) << "chunk " << chunk << " sample " << i;
        }
    }
}

} // namespace
} // namespace tindrel::engine
