// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers

// Measures the engine through its binding, as the player uses it:
//   decode  <file>            the engine's decoding, resampling and mixing at
//                             full speed, without a device; prints seconds of
//                             audio per second of wall time
//   device  <file>            the same through the binding and SDL's disk
//                             driver writing to /dev/null, whose pacing
//                             between blocks adds to the engine's work
//   latency <file> <runs>     time from BASS_StreamCreateFile + BASS_StreamPlay
//                             to the first frame mixed for device 0, in ms
//   cpu     <file> <seconds>  CPU time used while playing on device 0, as a
//                             percentage of one core

#include "binding/BassBinding.h"
#include "engine/Channel.h"
#include "engine/FileDecoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using tindrel::BassLibrary;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool start(BassLibrary& bass, int device) {
    if (!bass.Load(TINDREL_PROGRAM_FOLDER, "libbass.so")) {
        std::fprintf(stderr, "cannot load the engine from %s\n", TINDREL_PROGRAM_FOLDER);
        return false;
    }
    if (!bass.BASS_Init(device, 44100, 0, nullptr) || !bass.BASS_Start()) {
        std::fprintf(stderr, "the engine did not start: %d\n", bass.BASS_ErrorGetCode());
        return false;
    }
    return true;
}

int decode(const char* file) {
    using namespace tindrel::engine;
    Channel channel(ChannelKind::Stream, OpenFileDecoder(file), 0, 2);
    const auto begin = Clock::now();
    channel.play(false);
    // The mixer's work per block: mix into floats, then round to 16 bits.
    constexpr std::size_t kBlock = 512;
    std::vector<float> mix(kBlock * 2);
    std::vector<int16_t> out(kBlock * 2);
    bool ended = false;
    while (!ended) {
        std::fill(mix.begin(), mix.end(), 0.0f);
        ended = channel.mix(mix.data(), kBlock, 44100, 1.0f);
        for (std::size_t i = 0; i < mix.size(); ++i)
            out[i] = static_cast<int16_t>(std::clamp(mix[i], -32768.0f, 32767.0f));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    std::printf("%.1f\n", static_cast<double>(channel.positionFrames()) / channel.rate() / wall);
    return out[0] == 12345 ? 1 : 0; // keeps the rounding from being optimised away
}

int device(const char* file) {
    // The disk driver sleeps 0 ms between blocks; with the default 50 us
    // timer slack that sleep alone would dominate the measurement. Threads
    // made from here on (SDL's audio thread) inherit the tighter slack.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    BassLibrary bass;
    if (!start(bass, BASS_DEVICE_DEFAULT))
        return 1;
    const auto begin = Clock::now();
    const HSTREAM stream = bass.BASS_StreamCreateFile(0, file, 0, 0, 0);
    if (!stream || !bass.BASS_StreamPlay(stream, 0, 0))
        return 1;
    while (bass.BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    const double audio = bass.BASS_ChannelBytes2Seconds(stream, bass.BASS_ChannelGetPosition(stream));
    std::printf("%.1f\n", audio / wall);
    return 0;
}

int latency(const char* file, int runs) {
    BassLibrary bass;
    if (!start(bass, BASS_DEVICE_NOSOUND))
        return 1;
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto begin = Clock::now();
        const HSTREAM stream = bass.BASS_StreamCreateFile(0, file, 0, 0, 0);
        if (!stream || !bass.BASS_StreamPlay(stream, 0, 0))
            return 1;
        while (bass.BASS_ChannelGetPosition(stream) == 0)
            std::this_thread::yield();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
        bass.BASS_StreamFree(stream);
        // Start the next run at a random point of the mixing clock's tick.
        std::this_thread::sleep_for(std::chrono::microseconds(3700 * (i % 3)));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%.1f %.1f\n", ms[ms.size() / 2], ms.back());
    return 0;
}

int cpu(const char* file, int seconds) {
    BassLibrary bass;
    if (!start(bass, BASS_DEVICE_NOSOUND))
        return 1;
    const HSTREAM stream = bass.BASS_StreamCreateFile(0, file, 0, 0, 0);
    if (!stream || !bass.BASS_StreamPlay(stream, 0, 0))
        return 1;
    const double before = cpuSeconds();
    const auto begin = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = cpuSeconds() - before;
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    std::printf("%.2f\n", 100.0 * used / wall);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "decode")
        return decode(argv[2]);
    if (mode == "device")
        return device(argv[2]);
    if (mode == "latency" && argc > 3)
        return latency(argv[2], std::atoi(argv[3]));
    if (mode == "cpu" && argc > 3)
        return cpu(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: %s decode|latency|cpu <file> [runs|seconds]\n", argv[0]);
    return 2;
}
