// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "fuzz/mpeg/FuzzFile.h"
#include "player/OggVorbis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tindrel::fuzz::FuzzFile file;
    static tindrel::TOggVorbis ogg;
    ogg.ReadFromFile(file.write(data, size));
    volatile double sink = ogg.Duration() + ogg.BitRate() + ogg.Valid();
    (void)sink;
    return 0;
}
