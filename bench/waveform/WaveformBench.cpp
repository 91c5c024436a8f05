// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// bench_waveform FILE
//   opens FILE in the split page's waveform loader and prints
//   "<ms to the first picture> <ms to the exact picture>": the first is the
//   sketch of the whole file, the second the end of the exact scan.
#include "core/Waveform.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

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
    loader.open(argv[1]);
    double first = -1;
    std::unique_lock lock(mutex);
    while (true) {
        const WaveformLoader::State state = loader.state();
        if (state.sketched && first < 0)
            first = ms();
        if (state.complete())
            break;
        const int seen = reports;
        changed.wait(lock, [&] { return reports != seen; });
    }
    if (loader.state().failed) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("%.1f %.1f\n", first, ms());
    return 0;
}
