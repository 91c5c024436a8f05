// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Saves an ID3v2 tag on the given file once and prints the seconds the save
// took and the peak resident memory of this process in KiB.
#include "tags/ID3v2.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s file title\n", argv[0]);
        return 2;
    }
    tindrel::TID3v2 tag;
    tag.SetTitle(argv[2]);
    tag.SetArtist("Benchmark");
    tag.SetTrack(1);
    const auto start = std::chrono::steady_clock::now();
    if (!tag.Save(argv[1])) {
        std::fprintf(stderr, "save failed\n");
        return 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%.4f %ld\n", took.count(), usage.ru_maxrss);
    return 0;
}
