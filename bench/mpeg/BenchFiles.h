// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

// The common frame of both analysis benchmarks: the same files, the same
// timing and the same count of bytes read, taken from the kernel's per-process
// read counter, so the peers are measured alike.
namespace tindrel::bench {

inline std::vector<std::string> Mp3Files(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".mp3")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Bytes this process has read through read system calls so far.
inline long long BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return -1;
}

// Runs analyze over every file in rounds passes and prints one line:
// name, files, best files per second, bytes read per file, and a checksum
// of the results so the work cannot be optimised away.
inline int RunBenchmark(const char* name, int argc, char** argv,
                        const std::function<double(const std::string&)>& analyze) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s folder [rounds]\n", argv[0]);
        return 2;
    }
    const auto files = Mp3Files(argv[1]);
    const int rounds = argc > 2 ? std::max(1, std::stoi(argv[2])) : 3;
    if (files.empty()) {
        std::fprintf(stderr, "no .mp3 files in %s\n", argv[1]);
        return 2;
    }
    double best = 0.0, checksum = 0.0;
    long long bytesPerFile = 0;
    for (int round = 0; round < rounds; ++round) {
        const long long before = BytesReadSoFar();
        const auto start = std::chrono::steady_clock::now();
        for (const auto& file : files)
            checksum += analyze(file);
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        bytesPerFile = (BytesReadSoFar() - before) / static_cast<long long>(files.size());
        best = std::max(best, double(files.size()) / seconds.count());
    }
    std::printf("%-8s %6zu files %12.0f files/s %10lld bytes read/file  (checksum %.1f)\n", name, files.size(), best,
                bytesPerFile, checksum);
    return 0;
}

} // namespace tindrel::bench
