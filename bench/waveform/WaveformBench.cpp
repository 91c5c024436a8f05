// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// bench_waveform FILE
//   opens FILE in the split page's waveform loader and prints
//   "<ms to the first picture> <ms to the exact picture> <cpu ms to the
//   first> <cpu ms to the exact>": the first is the outline of the whole
//   file, the second the end of the exact scan. The processor times (all
//   threads) tell apart what the program costs from waiting for a busy
//   machine.
#include "core/Waveform.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include <sys/resource.h>

int main(int argc, char** argv) {
    using namespace tindrel;
    using Clock = std::chrono::steady_clock;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    std::mutex mutex;
    std::condition_variable changed;
    int reports = 0;
    WaveformLoader loader([&] {
        std::lock_guard lock(mutex);
        ++reports;
        changed.notify_all();
    });
    const auto start = Clock::now();
    const auto ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
    const auto cpuMs = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const auto toMs = [](const timeval& t) { return double(t.tv_sec) * 1000 + double(t.tv_usec) / 1000; };
        return toMs(usage.ru_utime) + toMs(usage.ru_stime);
    };
    const double cpuStart = cpuMs();
    loader.open(argv[1]);
    double first = -1, firstCpu = -1;
    std::unique_lock lock(mutex);
    while (true) {
        const WaveformLoader::State state = loader.state();
        if (state.sketched && first < 0) {
            first = ms();
            firstCpu = cpuMs() - cpuStart;
        }
        if (state.complete())
            break;
        const int seen = reports;
        changed.wait(lock, [&] { return reports != seen; });
    }
    if (loader.state().failed) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const double exact = ms();
    std::printf("%.1f %.1f %.1f %.1f\n", first, exact, firstCpu, cpuMs() - cpuStart);
    return 0;
}
