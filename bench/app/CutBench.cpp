// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// bench_cut PROGRAM_DIR SOURCE OUTPUT START_BYTE COUNT
//   cuts COUNT bytes from START_BYTE as the split page's time mode does;
// bench_cut PROGRAM_DIR SOURCE FOLDER --parts N
//   splits SOURCE into N parts as the split page does, tags included.
// The player describes the source on the engine's "no sound" device. Prints
// "<seconds> <peak resident KiB> <resident KiB before the work>".
#include "core/PlayerSource.h"
#include "core/Split.h"
#include "core/TimeText.h"
#include "platform/FakeDialogs.h"
#include "player/AudioPlayer.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <sys/resource.h>

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long currentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4;
}

std::string timeText(int64_t ms) { return tindrel::FormatTimeText(double(ms) / 1000.0); }

} // namespace

int main(int argc, char** argv) {
    using namespace tindrel;
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s PROGRAM_DIR SOURCE OUTPUT START_BYTE COUNT | PROGRAM_DIR SOURCE FOLDER --parts N\n",
                     argv[0]);
        return 2;
    }
    FakeDialogs dialogs;
    TAudioPlayer player(nullptr, dialogs, argv[1], 0);
    const std::string source = argv[2];
    const DescribeSource describe = [&](const std::string& path) { return DescribeWithPlayer(player, path); };
    const long before = currentKiB();
    const auto start = std::chrono::steady_clock::now();
    try {
        if (std::string(argv[4]) == "--parts") {
            const int n = std::atoi(argv[5]);
            TID3v1 v1;
            TID3v2 v2;
            v1.Load(source);
            v2.Load(source);
            const auto facts = describe(source);
            for (int i = 0; i < n && facts; ++i) {
                const PartTimes t = PartRange(i, n, facts->lengthMs);
                const std::string out = PartOutputPath(argv[3], SourceStem(source), i + 1);
                if (CutRange(source, out, timeText(t.startMs), kCutOffsetMs, true, timeText(t.endMs), describe)) {
                    v1.Save(out);
                    v2.Save(out);
                }
            }
        } else {
            // Byte b of a 128 kbit/s file is at b / 16 ms; the cut moves both
            // ends 150 ms earlier, so the texts are given 150 ms later.
            const int64_t first = std::atoll(argv[4]);
            const int64_t count = std::atoll(argv[5]);
            if (!CutRange(source, argv[3], timeText(first / 16 + 150), kCutOffsetMs, true,
                          timeText((first + count) / 16 + 150), describe)) {
                std::fprintf(stderr, "the cut was refused\n");
                return 1;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.4f %ld %ld\n", elapsed.count(), peakKiB(), before);
    return 0;
}
