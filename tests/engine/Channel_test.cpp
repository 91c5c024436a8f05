// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Channel.h"
#include "engine/EngineError.h"
#include "tests/engine/SyntheticDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace tindrel::engine::test {
namespace {

constexpr int kOut = 44100;

struct Mixed {
    std::vector<float> stereo;
    bool ended = false;
};

Mixed MixBlocks(Channel& channel, std::size_t frames, std::size_t block = 441, float gain = 1.0f) {
    Mixed result;
    result.stereo.assign(frames * 2, 0.0f);
    for (std::size_t done = 0; done < frames && !result.ended; done += block)
        result.ended = channel.mix(result.stereo.data() + done * 2, std::min(block, frames - done), kOut, gain);
    return result;
}

Channel MakeSine(int rate, int channels, int64_t length, SineDecoder** decoder = nullptr) {
    auto source = std::make_unique<SineDecoder>(rate, channels, 1000.0, length);
    if (decoder)
        *decoder = source.get();
    return Channel(ChannelKind::Stream, std::move(source), 0, 2);
}

TEST(Channel, SameRatePassesSamplesThroughUnchanged) {
    SineDecoder* source = nullptr;
    Channel channel = MakeSine(kOut, 2, 10000, &source);
    channel.play(false);
    const Mixed mixed = MixBlocks(channel, 2000);
    for (std::size_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(mixed.stereo[2 * i], source->sample(static_cast<int64_t>(i), 0)) << i;
        ASSERT_EQ(mixed.stereo[2 * i + 1], source->sample(static_cast<int64_t>(i), 1)) << i;
    }
    EXPECT_EQ(channel.positionFrames(), 2000);
    // Recent frames are the last ones mixed, oldest first.
    std::vector<int16_t> recent(512 * 2);
    channel.recentFrames(recent.data(), 512);
    for (std::size_t i = 0; i < 512; ++i)
        ASSERT_EQ(recent[2 * i], source->sample(static_cast<int64_t>(1488 + i), 0)) << i;
}

TEST(Channel, ResamplesToTheOutputRateAndCountsSourceFrames) {
    struct Case {
        int rate;
        int channels;
    };
    for (const Case& c : {Case{22050, 1}, Case{48000, 2}, Case{11025, 2}, Case{96000, 1}}) {
        Channel channel = MakeSine(c.rate, c.channels, c.rate); // one second
        channel.play(false);
        const Mixed mixed = MixBlocks(channel, kOut / 2);
        // Half a second of output consumes half a second of the source.
        EXPECT_NEAR(channel.positionFrames(), c.rate / 2, 2) << c.rate;
        // 1 kHz stays 1 kHz: 500 cycles in half a second, counted by rising zero crossings.
        int crossings = 0;
        for (std::size_t i = 1; i < mixed.stereo.size() / 2; ++i)
            crossings += mixed.stereo[2 * (i - 1)] < 0 && mixed.stereo[2 * i] >= 0;
        EXPECT_NEAR(crossings, 500, 1) << c.rate;
        // Mono goes to both sides alike; stereo keeps its own right channel.
        const float left = mixed.stereo[2 * 1000];
        ASSERT_GT(std::abs(left), 1000.0f) << "a sample away from a zero crossing";
        EXPECT_NEAR(mixed.stereo[2 * 1000 + 1], c.channels == 1 ? left : -left, 1.0f) << c.rate;
    }
}

TEST(Channel, EndsOnceAtTheLastFrameAndRestartsFromTheBeginning) {
    Channel channel = MakeSine(kOut, 2, 1000);
    channel.play(false);
    Mixed mixed = MixBlocks(channel, 4410);
    EXPECT_TRUE(mixed.ended);
    EXPECT_EQ(channel.positionFrames(), 1000);
    EXPECT_EQ(channel.activity(), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(mixed.stereo[2 * 1000], 0.0f) << "silence after the end";
    EXPECT_FALSE(channel.mix(mixed.stereo.data(), 441, kOut, 1.0f)) << "the end is reported only once";

    channel.play(false);
    EXPECT_EQ(channel.positionFrames(), 0);
    EXPECT_EQ(channel.activity(), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(MixBlocks(channel, 4410).ended);
}

TEST(Channel, VolumePanAndGainScaleTheSides) {
    struct Case {
        int volume;
        int pan;
        float gain;
        float left;
        float right;
    };
    for (const Case& c :
         {Case{100, 0, 1.0f, 1.0f, 1.0f}, Case{50, 0, 1.0f, 0.5f, 0.5f}, Case{100, 0, 0.5f, 0.5f, 0.5f},
          Case{100, -100, 1.0f, 1.0f, 0.0f}, Case{100, 50, 1.0f, 0.5f, 1.0f}, Case{80, -50, 0.5f, 0.4f, 0.2f}}) {
        SineDecoder* source = nullptr;
        Channel channel = MakeSine(kOut, 2, 10000, &source);
        channel.setAttributes(BASS_ATTRIB_KEEP, c.volume, c.pan);
        channel.play(false);
        const Mixed mixed = MixBlocks(channel, 100, 100, c.gain);
        EXPECT_NEAR(mixed.stereo[2 * 10], source->sample(10, 0) * c.left, 0.5f) << c.volume << "/" << c.pan;
        EXPECT_NEAR(mixed.stereo[2 * 10 + 1], source->sample(10, 1) * c.right, 0.5f) << c.volume << "/" << c.pan;
    }
}

TEST(Channel, AttributesKeepAndRefuse) {
    Channel channel = MakeSine(22050, 2, 10000);
    channel.setAttributes(30000, 40, -20);
    channel.setAttributes(BASS_ATTRIB_KEEP, BASS_ATTRIB_KEEP, BASS_PAN_KEEP);
    DWORD freq = 0, volume = 0;
    int pan = 0;
    channel.attributes(&freq, &volume, &pan);
    EXPECT_EQ(freq, 30000u);
    EXPECT_EQ(volume, 40u);
    EXPECT_EQ(pan, -20);
    channel.setAttributes(0, BASS_ATTRIB_KEEP, -1); // -1 is a real pan value
    channel.attributes(&freq, nullptr, &pan);
    EXPECT_EQ(freq, 22050u) << "0 is the channel's own rate";
    EXPECT_EQ(pan, -1);
    for (auto [f, v, p] : {std::tuple{50, -1, 0}, std::tuple{-1, 101, 0}, std::tuple{-1, -1, 101}}) {
        try {
            channel.setAttributes(f, v, p);
            ADD_FAILURE() << f << " " << v << " " << p << " accepted";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.code(), BASS_ERROR_ILLPARAM);
        }
    }
}

TEST(Channel, PauseResumeAndSeekRules) {
    Channel channel = MakeSine(kOut, 2, 10000);
    auto code = [](auto&& f) {
        try {
            f();
        } catch (const EngineError& e) {
            return e.code();
        }
        return int{BASS_OK};
    };
    EXPECT_EQ(code([&] { channel.pause(); }), BASS_ERROR_NOPLAY);
    EXPECT_EQ(code([&] { channel.resume(); }), BASS_ERROR_NOPAUSE);
    channel.play(false);
    EXPECT_EQ(code([&] { channel.pause(); }), BASS_OK);
    EXPECT_EQ(code([&] { channel.pause(); }), BASS_ERROR_ALREADY);
    std::vector<float> out(882, 0.0f);
    channel.mix(out.data(), 441, kOut, 1.0f);
    EXPECT_EQ(channel.positionFrames(), 0) << "a paused channel does not advance";
    EXPECT_EQ(code([&] { channel.resume(); }), BASS_OK);
    EXPECT_EQ(code([&] { channel.seek(10001); }), BASS_ERROR_POSITION);
    EXPECT_EQ(code([&] { channel.seek(-1); }), BASS_ERROR_POSITION);
    EXPECT_EQ(code([&] { channel.seek(10000); }), BASS_OK);
    EXPECT_TRUE(channel.mix(out.data(), 441, kOut, 1.0f)) << "a channel moved to its end ends at once";
}

// A user source whose read waits until the test lets it go, as a plug-in's
// callback may wait for data.
class GatedSource final : public Decoder {
public:
    int rate() const override { return kOut; }
    int channels() const override { return 2; }
    std::size_t read(int16_t*, std::size_t) override {
        reading.set_value();
        release.get_future().wait();
        return 0;
    }
    bool finished() const override { return false; }
    bool seek(int64_t) override { return false; }
    int64_t lengthFrames() const override { return -1; }

    std::promise<void> reading, release;
};

TEST(Channel, EveryCallAnswersAtOnceWhileAUserSourceReads) {
    auto owned = std::make_unique<GatedSource>();
    GatedSource& source = *owned;
    std::future<void> reading = source.reading.get_future();
    Channel channel(ChannelKind::Stream, std::move(owned), 0, 2, SourceCode::User);
    channel.play(false);
    std::thread mixer([&] {
        std::vector<float> out(882, 0.0f);
        channel.mix(out.data(), 441, kOut, 1.0f);
    });
    ASSERT_EQ(reading.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const struct {
        const char* name;
        std::function<void()> call;
    } calls[] = {
        {"recentFrames",
         [&] {
             std::vector<int16_t> frames(2 * 512);
             channel.recentFrames(frames.data(), 512);
         }},
        {"play with flush", [&] { channel.play(true); }},
        {"lengthFrames", [&] { EXPECT_EQ(channel.lengthFrames(), -1); }},
        {"seek", [&] { EXPECT_THROW(channel.seek(0), EngineError); }},
        {"pause", [&] { channel.pause(); }},
        {"stop", [&] { channel.stop(); }},
    };
    std::vector<std::future<void>> answers;
    for (const auto& c : calls) {
        answers.push_back(std::async(std::launch::async, c.call));
        EXPECT_EQ(answers.back().wait_for(std::chrono::milliseconds(100)), std::future_status::ready) << c.name;
    }
    source.release.set_value();
    mixer.join();
    for (auto& answer : answers)
        answer.get();
}

// Gives a block of a constant value at its first read and holds its second
// read until the test lets it go, as a decoder that is slow for a moment.
class HeldSecondRead final : public Decoder {
public:
    int rate() const override { return kOut; }
    int channels() const override { return 2; }
    std::size_t read(int16_t* out, std::size_t frames) override {
        if (++m_reads == 2) {
            reading.set_value();
            release.get_future().wait();
        }
        frames = std::min<std::size_t>(frames, 100);
        std::fill_n(out, frames * 2, int16_t{1000});
        return frames;
    }
    bool finished() const override { return false; }
    bool seek(int64_t) override { return false; }
    int64_t lengthFrames() const override { return -1; }

    std::promise<void> reading, release;

private:
    int m_reads = 0;
};

// A pause or stop that comes while a mix waits for its source: the mix
// ends there, so the position read when the call returned stays, and what
// was heard is exactly what the position counts.
TEST(Channel, APauseOrStopDuringAMixHoldsThePositionFromTheMomentItReturns) {
    const struct {
        const char* name;
        std::function<void(Channel&)> call;
        DWORD state;
    } cases[] = {
        {"pause", [](Channel& c) { c.pause(); }, BASS_ACTIVE_PAUSED},
        {"stop", [](Channel& c) { c.stop(); }, BASS_ACTIVE_STOPPED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto owned = std::make_unique<HeldSecondRead>();
        HeldSecondRead& source = *owned;
        std::future<void> reading = source.reading.get_future();
        Channel channel(ChannelKind::Stream, std::move(owned), 0, 2);
        channel.play(false);
        std::vector<float> out(882, 0.0f);
        std::thread mixer([&] { channel.mix(out.data(), 441, kOut, 1.0f); });
        ASSERT_EQ(reading.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        c.call(channel);
        const int64_t held = channel.positionFrames();
        source.release.set_value();
        mixer.join();
        EXPECT_EQ(channel.positionFrames(), held);
        EXPECT_EQ(channel.activity(), c.state);
        EXPECT_EQ(std::count(out.begin(), out.end(), 1000.0f), 2 * held) << "heard after the call returned";
    }
}

} // namespace
} // namespace tindrel::engine::test
