// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "fuzz/mpeg/FuzzFile.h"
#include "mpeg/MPEGaudio.h"

#include <cstdlib>

// Analyze must never crash or read outside its windows, whatever the bytes;
// the derived values must be computable for every state it leaves behind.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tindrel::fuzz::FuzzFile file;
    static tindrel::TMPEGaudio audio;
    audio.Analyze(file.write(data, size));
    volatile double sink = audio.Duration() + audio.BitRate() + audio.SampleRate();
    (void)sink;
    if (audio.IsValid() && !audio.FirstFrame().Found)
        std::abort();
    if (audio.WindowBytesRead() > 3 * tindrel::kMPEGWindowSize + tindrel::kJunkSearchBytes)
        std::abort();
    return 0;
}
