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
        {0, 4, 10, false, 2},                // a partial frame is dropped
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

} // namespace
} // namespace tindrel::engine
