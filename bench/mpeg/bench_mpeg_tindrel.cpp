// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "bench/mpeg/BenchFiles.h"
#include "mpeg/MPEGaudio.h"

// What the player asks of an MP3 file: analysis, then its derived values.
int main(int argc, char** argv) {
    tindrel::TMPEGaudio audio;
    return tindrel::bench::RunBenchmark("Tindrel", argc, argv, [&audio](const std::string& file) {
        audio.Analyze(file);
        return audio.IsValid() ? audio.Duration() + audio.BitRate() + audio.SampleRate() : 0.0;
    });
}
