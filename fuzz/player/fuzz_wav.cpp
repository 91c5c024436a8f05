// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "fuzz/mpeg/FuzzFile.h"
#include "player/WAVfile.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tindrel::fuzz::FuzzFile file;
    static tindrel::TWAVfile wav;
    wav.ReadFromFile(file.write(data, size));
    // No header may give a length that is not a finite, non-negative number.
    const double duration = wav.Duration();
    if (!std::isfinite(duration) || duration < 0)
        std::abort();
    return 0;
}
