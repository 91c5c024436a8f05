// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// bench_join OUTPUT INPUT...: joins the inputs as the Join page does and
// prints "<seconds> <peak resident KiB>".
#include "core/Join.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <sys/resource.h>

namespace {

class QuietObserver final : public tindrel::JoinObserver {
public:
    void letEventsRun() override {}
    bool stopRequested() override { return false; }
    void setStatus(std::size_t, tindrel::JoinStatus) override {}
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT INPUT...\n", argv[0]);
        return 2;
    }
    std::vector<std::string> inputs(argv + 2, argv + argc);
    QuietObserver observer;
    const auto start = std::chrono::steady_clock::now();
    try {
        tindrel::RunJoin(inputs, argv[1], observer);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.4f %ld\n", elapsed.count(), usage.ru_maxrss);
    return 0;
}
