// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/binding/EngineSession.h"
#include "tests/binding/MixClock.h"
#include "tests/engine/TinyModule.h"

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

namespace tindrel::test {
namespace {

using namespace std::chrono_literals;

// Quiet enough to tell silence from the -6 dB test tones.
constexpr int kSilence = 300;
constexpr int kRate = EngineSession::kRate;

double Seconds(const BassLibrary& bass, DWORD handle, QWORD bytes) {
    return bass.BASS_ChannelBytes2Seconds(handle, bytes);
}

std::unique_ptr<MixClock> Clock(EngineSession& session) {
    return std::make_unique<MixClock>(MixClockCalls{session.bass.BASS_StreamCreate, session.bass.BASS_StreamPlay,
                                                    session.bass.BASS_StreamFree, session.bass.BASS_ChannelSetSync});
}

struct FileCase {
    const char* file;
    bool addOn;         // only the WMA add-on plays it
    double seconds;     // the encoder's input
    double statedError; // how far the length stated before playing may be off
    double heardError;  // how far the decoded length may be off
};

void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.file;
}

class FilePlayback : public ::testing::TestWithParam<FileCase> {};

// Each format plays in full: the stated and the heard length agree with
// the file, and what is heard is the 1 kHz tone.
TEST_P(FilePlayback, PlaysTheWholeToneAtItsPitch) {
    const FileCase& c = GetParam();
    EngineSession session(Device::DiskCapture);
    const std::string path = EngineSample(c.file);
    HSTREAM stream = session.bass.BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    if (c.addOn) {
        EXPECT_EQ(stream, 0u) << "the core library alone must refuse WMA";
        EXPECT_EQ(session.bass.BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
        stream = session.wma.BASS_WMA_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    }
    ASSERT_NE(stream, 0u) << session.bass.BASS_ErrorGetCode();
    EXPECT_NEAR(Seconds(session.bass, stream, session.bass.BASS_StreamGetLength(stream)), c.seconds, c.statedError);
    ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
    ASSERT_TRUE(session.WaitUntilStopped(stream));
    // Once played through, the length is exact.
    EXPECT_EQ(session.bass.BASS_ChannelGetPosition(stream), session.bass.BASS_StreamGetLength(stream));
    const double heard = Seconds(session.bass, stream, session.bass.BASS_ChannelGetPosition(stream));
    EXPECT_NEAR(heard, c.seconds, c.heardError);

    const Capture capture = session.FinishCapture();
    const std::vector<Burst> bursts = FindBursts(capture, kSilence, kRate / 100);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_NEAR(bursts[0].seconds(kRate), heard, 0.002);
    EXPECT_NEAR(PeakFrequency(capture, bursts[0].first + kRate / 10), 1000.0, 10.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, FilePlayback,
                         ::testing::Values(FileCase{"tone1k.mp3", false, 1.0, 0.03, 0.001},
                                           // Vorbis's first packet gives no samples.
                                           FileCase{"tone1k.ogg", false, 0.5, 0.001, 0.005},
                                           FileCase{"tone1k_mono22k.wav", false, 0.5, 0.001, 0.001},
                                           // FFmpeg's WMA encoder leaves out the last 2048 frames
                                           // but states the input's length.
                                           FileCase{"tone1k.wma", true, 0.5, 0.02, 0.04}),
                         [](const auto& param) {
                             std::string name = param.param.file;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(Playback, GlobalStreamVolumeOfFiftyHalvesTheAmplitude) {
    EngineSession session(Device::DiskCapture);
    const std::string path = EngineSample("tone1k.mp3");
    HSTREAM stream = session.bass.BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    for (int volume : {100, 50}) {
        ASSERT_TRUE(session.bass.BASS_SetGlobalVolumes(-1, -1, volume));
        ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0)); // an ended stream starts again
        ASSERT_TRUE(session.WaitUntilStopped(stream));
    }
    DWORD music = 0, sample = 0, streams = 0;
    session.bass.BASS_GetGlobalVolumes(&music, &sample, &streams);
    EXPECT_EQ(music, 100u) << "-1 leaves a volume unchanged";
    EXPECT_EQ(streams, 50u);

    const Capture capture = session.FinishCapture();
    const std::vector<Burst> bursts = FindBursts(capture, kSilence, kRate / 100);
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_NEAR(static_cast<double>(PeakAbs(capture, bursts[1])) / PeakAbs(capture, bursts[0]), 0.5, 0.02);
}

class SeekAccuracy : public ::testing::TestWithParam<const char*> {};

// The file is quiet up to 1.5 s and loud after it: heard from 1.3 s on,
// the step comes 200 ms after the start, in every format.
TEST_P(SeekAccuracy, LandsWithinFiveMillisecondsOfTheTarget) {
    const std::string file = GetParam();
    EngineSession session(Device::DiskCapture);
    const std::string path = EngineSample(file);
    const bool addOn = file.ends_with(".wma");
    HSTREAM stream = addOn ? session.wma.BASS_WMA_StreamCreateFile(0, path.c_str(), 0, 0, 0)
                           : session.bass.BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    DWORD rate = 0;
    ASSERT_TRUE(session.bass.BASS_ChannelGetAttributes(stream, &rate, nullptr, nullptr));
    const QWORD frameBytes = (session.bass.BASS_ChannelGetFlags(stream) & BASS_SAMPLE_MONO) ? 2 : 4;
    const QWORD target = session.bass.BASS_ChannelSeconds2Bytes(stream, 1.3f);
    EXPECT_EQ(target, QWORD{13} * rate / 10 * frameBytes);
    ASSERT_TRUE(session.bass.BASS_ChannelSetPosition(stream, target));
    EXPECT_EQ(session.bass.BASS_ChannelGetPosition(stream), target);
    ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
    ASSERT_TRUE(session.WaitUntilStopped(stream));

    const Capture capture = session.FinishCapture();
    const std::size_t start = FirstAbove(capture, 0, kSilence);
    const std::size_t step = FirstAbove(capture, start, 15000);
    ASSERT_LT(step, capture.frames());
    EXPECT_NEAR(static_cast<double>(step - start) / kRate, 0.200, 0.005);
}

INSTANTIATE_TEST_SUITE_P(Formats, SeekAccuracy,
                         ::testing::Values("step_at_1500ms.mp3", "step_at_1500ms.ogg", "step_at_1500ms.wav",
                                           "step_at_1500ms.wma"));

TEST(Playback, SeekOutsideTheStreamIsRefused) {
    EngineSession session(Device::NoSound);
    const std::string path = EngineSample("tone1k.ogg");
    HSTREAM stream = session.bass.BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    const QWORD length = session.bass.BASS_StreamGetLength(stream);
    EXPECT_TRUE(session.bass.BASS_ChannelSetPosition(stream, length)) << "the very end is a valid position";
    EXPECT_FALSE(session.bass.BASS_ChannelSetPosition(stream, length + 4));
    EXPECT_EQ(session.bass.BASS_ErrorGetCode(), BASS_ERROR_POSITION);
    EXPECT_EQ(session.bass.BASS_ChannelGetPosition(stream), length);
}

// Position on device 0 follows the wall clock, never ahead of it; pause
// holds it from the moment the call returns, resume goes on.
TEST(Playback, PositionFollowsTheClockHoldsWhilePausedAndGoesOnAfterResume) {
    EngineSession session(Device::NoSound);
    const auto mixes = Clock(session);
    const std::string path = EngineSample("tone1k.mp3");
    HSTREAM stream = session.bass.BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    const auto position = [&] { return session.bass.BASS_ChannelGetPosition(stream); };
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
    ASSERT_TRUE(mixes->Until([&] { return Seconds(session.bass, stream, position()) >= 0.3; }));
    const double played = Seconds(session.bass, stream, position());
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The silent device mixes one 10 ms tick ahead; a busy machine only
    // makes it later.
    EXPECT_LE(played, elapsed + 0.02);
    EXPECT_EQ(session.bass.BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);

    ASSERT_TRUE(session.bass.BASS_ChannelPause(stream));
    EXPECT_EQ(session.bass.BASS_ChannelIsActive(stream), BASS_ACTIVE_PAUSED);
    const QWORD held = position();
    ASSERT_TRUE(mixes->Wait(2));
    EXPECT_EQ(position(), held);
    EXPECT_FALSE(session.bass.BASS_ChannelPause(stream));
    EXPECT_EQ(session.bass.BASS_ErrorGetCode(), BASS_ERROR_ALREADY);

    ASSERT_TRUE(session.bass.BASS_ChannelResume(stream));
    EXPECT_TRUE(mixes->Until([&] { return position() > held; }));
    ASSERT_TRUE(session.bass.BASS_ChannelStop(stream));
    EXPECT_EQ(session.bass.BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    EXPECT_FALSE(session.bass.BASS_ChannelResume(stream));
    EXPECT_EQ(session.bass.BASS_ErrorGetCode(), BASS_ERROR_NOPAUSE);
}

struct SyncLog {
    std::mutex mutex;
    std::vector<std::thread::id> threads;
    std::vector<DWORD> channels;
    static void Callback(HSYNC, DWORD channel, DWORD, void* user) {
        auto* log = static_cast<SyncLog*>(user);
        std::lock_guard lock(log->mutex);
        log->threads.push_back(std::this_thread::get_id());
        log->channels.push_back(channel);
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return threads.size();
    }
};

TEST(Playback, EndSyncFiresOncePerEndingFromAnotherThread) {
    EngineSession session(Device::NoSound);
    const std::string path = EngineSample("tone1k_mono22k.wav");
    HSTREAM stream = session.bass.BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    const auto mixes = Clock(session);
    SyncLog log;
    EXPECT_NE(session.bass.BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &SyncLog::Callback, &log), 0u);
    const QWORD length = session.bass.BASS_StreamGetLength(stream);
    for (std::size_t ending = 1; ending <= 2; ++ending) {
        // Start 50 ms before the end to keep the test short.
        ASSERT_TRUE(session.bass.BASS_ChannelSetPosition(
            stream, length - session.bass.BASS_ChannelSeconds2Bytes(stream, 0.05f)));
        ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
        ASSERT_TRUE(session.WaitUntilStopped(stream, 2s));
        // A second, wrong, call would come from a mix after the end.
        ASSERT_TRUE(mixes->Wait(2) && mixes->EndNoticesDelivered());
        EXPECT_EQ(log.count(), ending);
        EXPECT_EQ(session.bass.BASS_ChannelGetPosition(stream), length);
    }
    std::lock_guard lock(log.mutex);
    for (std::size_t i = 0; i < log.threads.size(); ++i) {
        EXPECT_NE(log.threads[i], std::this_thread::get_id());
        EXPECT_EQ(log.channels[i], stream);
    }
}

// A user stream that ends at once; its end notice can be held up.
struct Ending {
    static DWORD Fill(HSTREAM, void*, DWORD, void*) { return BASS_STREAMPROC_END; }
    static void Ended(HSYNC, DWORD, DWORD, void* user) {
        auto* self = static_cast<Ending*>(user);
        self->delivered.set_value();
        self->hold.wait();
    }
    std::promise<void> delivered;
    std::shared_future<void> hold;
};

// A notice still queued when its stream is freed must not reach whoever
// plays the next one.
TEST(Playback, AFreedStreamsQueuedEndNoticeIsDropped) {
    // Declared before the session, so that its end (which waits for the
    // delivery thread) comes first.
    std::promise<void> release;
    Ending first{{}, release.get_future().share()}, freed{{}, first.hold}, last{{}, first.hold};
    EngineSession session(Device::NoSound);
    auto start = [&](Ending& e) {
        const HSTREAM stream = session.bass.BASS_StreamCreate(kRate, 0, &Ending::Fill, &e);
        EXPECT_NE(session.bass.BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &Ending::Ended, &e), 0u);
        EXPECT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
        EXPECT_TRUE(session.WaitUntilStopped(stream));
        return stream;
    };
    start(first);
    ASSERT_EQ(first.delivered.get_future().wait_for(10s), std::future_status::ready);
    // The delivery thread is held in the first notice: the next one queues.
    const HSTREAM stream = start(freed);
    ASSERT_TRUE(session.bass.BASS_StreamFree(stream));
    start(last);
    release.set_value();
    // Notices are delivered in order: once the last one came, the freed
    // stream's would have come before it.
    ASSERT_EQ(last.delivered.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_EQ(freed.delivered.get_future().wait_for(0s), std::future_status::timeout);
}

// Holds the mixing thread inside its callback while the program exits.
struct ExitRace {
    static inline std::atomic<bool> exiting{false};
    static inline std::promise<void> inside;
    static DWORD Fill(HSTREAM, void* buffer, DWORD length, void*) {
        std::memset(buffer, 0, length);
        if (exiting.exchange(false)) {
            inside.set_value();
            std::this_thread::sleep_for(100ms); // the engine's teardown runs meanwhile
        }
        return length;
    }
    static void AtExit() {
        exiting = true;
        inside.get_future().wait();
    }
};

// A program may end without BASS_Free, its streams still playing: the
// engine stops its output before it drops the channels being mixed.
TEST(PlaybackDeathTest, ExitingWithoutFreeWhileAStreamPlaysEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            BassLibrary bass;
            if (!bass.Load(ProgramFolder(), "libbass.so") || !bass.BASS_Init(0, kRate, 0, nullptr) ||
                !bass.BASS_Start())
                std::_Exit(2);
            bass.BASS_StreamPlay(bass.BASS_StreamCreate(kRate, 0, &ExitRace::Fill, nullptr), 0, 0);
            // Registered after the engine started, so it runs before the
            // engine's own teardown.
            std::atexit(&ExitRace::AtExit);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Playback, SpectrumOfTheToneAndRecentSamples) {
    EngineSession session(Device::NoSound);
    const std::string path = EngineSample("tone1k.mp3");
    HSTREAM stream = session.bass.BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    const auto mixes = Clock(session);
    ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
    const QWORD enough = session.bass.BASS_ChannelSeconds2Bytes(stream, 0.15f);
    ASSERT_TRUE(mixes->Until([&] { return session.bass.BASS_ChannelGetPosition(stream) >= enough; }));

    // The spectrum is of the channel's own samples, at its own rate.
    DWORD rate = 0;
    ASSERT_TRUE(session.bass.BASS_ChannelGetAttributes(stream, &rate, nullptr, nullptr));
    struct Case {
        DWORD request;
        std::size_t bins;
    };
    for (const Case& c : {Case{BASS_DATA_FFT512, 256}, Case{BASS_DATA_FFT2048, 1024}}) {
        std::vector<float> magnitudes(c.bins + 1, -1.0f);
        EXPECT_EQ(session.bass.BASS_ChannelGetData(stream, magnitudes.data(), c.request), c.bins * sizeof(float));
        EXPECT_EQ(magnitudes[c.bins], -1.0f) << "wrote past the magnitudes";
        std::size_t peak = 1;
        for (std::size_t k = 1; k < c.bins; ++k)
            if (magnitudes[k] > magnitudes[peak])
                peak = k;
        const double expectedBin = 1000.0 * 2 * c.bins / rate;
        EXPECT_LE(std::abs(static_cast<double>(peak) - expectedBin), 1.0) << c.bins;
        EXPECT_NEAR(magnitudes[peak], 0.5, 0.15) << "a -6 dB sine";
    }

    std::vector<int16_t> samples(576 * 2);
    ASSERT_EQ(session.bass.BASS_ChannelGetData(stream, samples.data(), 2304), 2304u);
    int peak = 0;
    for (int16_t s : samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_NEAR(peak, 16384, 1200);

    EXPECT_EQ(session.bass.BASS_ChannelGetData(stream + 1000, samples.data(), 2304), DWORD(-1));
    EXPECT_EQ(session.bass.BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

// A square wave of +-16384 at 1/16 of the rate, given in the stream's format;
// the right channel of a stereo stream is the inverted left.
struct SquareSource {
    explicit SquareSource(DWORD formatFlags) : flags(formatFlags) {}
    DWORD flags;
    std::size_t framesLeft = 2205; // 0.2 s at 11025 Hz
    std::size_t phase = 0;
    std::atomic<int> calls{0};
    std::thread::id thread;

    static DWORD Fill(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<SquareSource*>(user);
        ++self->calls;
        self->thread = std::this_thread::get_id();
        const bool eightBit = self->flags & BASS_SAMPLE_8BITS;
        const int channels = (self->flags & BASS_SAMPLE_MONO) ? 1 : 2;
        const std::size_t frameBytes = (eightBit ? 1 : 2) * channels;
        const std::size_t frames = std::min<std::size_t>(length / frameBytes, self->framesLeft);
        for (std::size_t i = 0; i < frames; ++i, ++self->phase) {
            const int value = (self->phase / 8) % 2 ? -16384 : 16384;
            for (int c = 0; c < channels; ++c) {
                const int v = c == 0 ? value : -value;
                if (eightBit)
                    static_cast<uint8_t*>(buffer)[i * channels + c] = static_cast<uint8_t>(v / 256 + 128);
                else
                    static_cast<int16_t*>(buffer)[i * channels + c] = static_cast<int16_t>(v);
            }
        }
        self->framesLeft -= frames;
        const DWORD bytes = static_cast<DWORD>(frames * frameBytes);
        return self->framesLeft == 0 ? bytes | BASS_STREAMPROC_END : bytes;
    }
};

// Gives a constant 16-bit stereo value for `frames` frames, then ends.
struct ConstantSource {
    int16_t value;
    std::size_t framesLeft;
    static DWORD Fill(HSTREAM, void* buffer, DWORD length, void* user) {
        auto* self = static_cast<ConstantSource*>(user);
        const std::size_t frames = std::min<std::size_t>(length / 4, self->framesLeft);
        std::fill_n(static_cast<int16_t*>(buffer), frames * 2, self->value);
        self->framesLeft -= frames;
        return static_cast<DWORD>(frames * 4) | (self->framesLeft == 0 ? BASS_STREAMPROC_END : 0);
    }
};

// Channels playing together are summed, each with its own volume and pan.
TEST(Playback, ChannelsMixWithTheirOwnVolumeAndPan) {
    EngineSession session(Device::DiskCapture);
    ConstantSource first{4000, kRate / 5};
    ConstantSource second{1000, kRate / 5};
    const HSTREAM a = session.bass.BASS_StreamCreate(kRate, 0, &ConstantSource::Fill, &first);
    const HSTREAM b = session.bass.BASS_StreamCreate(kRate, 0, &ConstantSource::Fill, &second);
    ASSERT_TRUE(session.bass.BASS_ChannelSetAttributes(a, BASS_ATTRIB_KEEP, 50, BASS_PAN_KEEP));
    ASSERT_TRUE(session.bass.BASS_ChannelSetAttributes(b, BASS_ATTRIB_KEEP, BASS_ATTRIB_KEEP, -100));
    DWORD volume = 0;
    int pan = 0;
    ASSERT_TRUE(session.bass.BASS_ChannelGetAttributes(a, nullptr, &volume, &pan));
    EXPECT_EQ(volume, 50u);
    EXPECT_EQ(pan, 0);
    // Both start within one mixing block of each other: stop the output's
    // clock from mattering by starting them paused.
    ASSERT_TRUE(session.bass.BASS_StreamPlay(a, 0, 0) && session.bass.BASS_ChannelPause(a));
    ASSERT_TRUE(session.bass.BASS_StreamPlay(b, 0, 0) && session.bass.BASS_ChannelPause(b));
    ASSERT_TRUE(session.bass.BASS_ChannelResume(a) && session.bass.BASS_ChannelResume(b));
    ASSERT_TRUE(session.WaitUntilStopped(a) && session.WaitUntilStopped(b));

    const Capture capture = session.FinishCapture();
    std::size_t both = 0;
    for (std::size_t i = 0; i < capture.frames(); ++i) {
        if (capture.left(i) == 3000) {
            ++both;
            ASSERT_EQ(capture.right(i), 2000) << "the panned channel is on the left only";
        }
    }
    EXPECT_GT(both, static_cast<std::size_t>(kRate / 5 - 2048)) << "most of the time both are heard together";
}

// A callback with nothing to give stalls the stream (state 2) without
// ending it; it plays on as soon as data comes again.
TEST(Playback, UserStreamStallsWhileItsCallbackHasNoData) {
    struct Gate {
        std::atomic<bool> open{false};
        static DWORD Fill(HSTREAM, void* buffer, DWORD length, void* user) {
            if (!static_cast<Gate*>(user)->open)
                return 0;
            std::memset(buffer, 0, length);
            return length;
        }
    } gate;
    EngineSession session(Device::NoSound);
    const auto mixes = Clock(session);
    const HSTREAM stream = session.bass.BASS_StreamCreate(kRate, 0, &Gate::Fill, &gate);
    ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
    ASSERT_TRUE(mixes->Wait(2));
    EXPECT_EQ(session.bass.BASS_ChannelIsActive(stream), BASS_ACTIVE_STALLED);
    EXPECT_EQ(session.bass.BASS_ChannelGetPosition(stream), 0u);
    gate.open = true;
    ASSERT_TRUE(mixes->Wait(2));
    EXPECT_EQ(session.bass.BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
    EXPECT_GT(session.bass.BASS_ChannelGetPosition(stream), 0u);
}

class UserStreamFormats : public ::testing::TestWithParam<DWORD> {};

TEST_P(UserStreamFormats, IsPulledThroughItsCallbackInItsOwnFormat) {
    const DWORD flags = GetParam();
    const bool mono = flags & BASS_SAMPLE_MONO;
    EngineSession session(Device::DiskCapture);
    SquareSource source(flags);
    HSTREAM stream = session.bass.BASS_StreamCreate(11025, flags, &SquareSource::Fill, &source);
    ASSERT_NE(stream, 0u) << session.bass.BASS_ErrorGetCode();
    EXPECT_EQ(session.bass.BASS_ChannelGetFlags(stream), flags);
    DWORD rate = 0;
    ASSERT_TRUE(session.bass.BASS_ChannelGetAttributes(stream, &rate, nullptr, nullptr));
    EXPECT_EQ(rate, 11025u);
    ASSERT_TRUE(session.bass.BASS_StreamPlay(stream, 0, 0));
    ASSERT_TRUE(session.WaitUntilStopped(stream));
    EXPECT_GT(source.calls.load(), 0);
    EXPECT_NE(source.thread, std::this_thread::get_id());
    // Byte positions count the stream's own samples: 1 or 2 bytes, 1 or 2 channels.
    const QWORD frameBytes = ((flags & BASS_SAMPLE_8BITS) ? 1 : 2) * (mono ? 1 : 2);
    EXPECT_EQ(session.bass.BASS_ChannelGetPosition(stream), 2205 * frameBytes);
    EXPECT_NEAR(Seconds(session.bass, stream, 2205 * frameBytes), 0.2, 1e-6);

    const Capture capture = session.FinishCapture();
    const std::vector<Burst> bursts = FindBursts(capture, kSilence, kRate / 100);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_NEAR(bursts[0].seconds(kRate), 0.2, 0.005);
    EXPECT_NEAR(PeakAbs(capture, bursts[0]), 16384, 200);
    for (std::size_t i = bursts[0].first; i <= bursts[0].last; ++i) {
        const int expectedRight = mono ? capture.left(i) : -capture.left(i);
        ASSERT_NEAR(capture.right(i), expectedRight, 1) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, UserStreamFormats,
                         ::testing::Values(DWORD{0}, BASS_SAMPLE_MONO, BASS_SAMPLE_8BITS,
                                           BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO));

TEST(Playback, TrackerModulePlaysAsMusic) {
    EngineSession session(Device::DiskCapture);
    const std::string module = session.dir.write("tiny.mod", TinyModule());
    EXPECT_EQ(session.bass.BASS_StreamCreateFile(0, module.c_str(), 0, 0, 0), 0u) << "a module is not a stream";
    EXPECT_EQ(session.bass.BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    const std::string mp3 = EngineSample("tone1k.mp3");
    EXPECT_EQ(session.bass.BASS_MusicLoad(0, mp3.c_str(), 0, 0, BASS_MUSIC_CALCLEN), 0u) << "an MP3 is not a module";

    HMUSIC music = session.bass.BASS_MusicLoad(0, module.c_str(), 0, 0, BASS_MUSIC_CALCLEN);
    ASSERT_NE(music, 0u) << session.bass.BASS_ErrorGetCode();
    const DWORD bytes = session.bass.BASS_MusicGetLength(music, 1);
    EXPECT_NEAR(Seconds(session.bass, music, bytes), 0.48, 0.02);
    ASSERT_TRUE(session.bass.BASS_MusicPlay(music));
    ASSERT_TRUE(session.WaitUntilStopped(music));

    const Capture capture = session.FinishCapture();
    const std::vector<Burst> bursts = FindBursts(capture, kSilence, kRate / 20);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_GT(bursts[0].seconds(kRate), 0.3);
    EXPECT_LT(bursts[0].seconds(kRate), 0.6);
    EXPECT_TRUE(session.bass.BASS_MusicFree(music) == 0) << "BASS_Free already released it";
}

} // namespace
} // namespace tindrel::test
