// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/engine/TinyModule.h"

#include <cstring>

namespace tindrel::test {

std::vector<uint8_t> TinyModule() {
    constexpr std::size_t kSampleHeaders = 20, kSong = kSampleHeaders + 31 * 30, kPattern = kSong + 2 + 128 + 4;
    constexpr std::size_t kSampleData = kPattern + 64 * 4 * 4;
    std::vector<uint8_t> mod(kSampleData + 64, 0);
    std::memcpy(mod.data(), "tindrel test", 12);
    uint8_t* sample = mod.data() + kSampleHeaders;
    std::memcpy(sample, "square", 6);
    sample[23] = 32; // length in 16-bit words, big-endian
    sample[25] = 64; // full volume
    sample[29] = 32; // loop length in words: the whole sample loops
    mod[kSong] = 1;  // one order
    mod[kSong + 1] = 127;
    std::memcpy(mod.data() + kSong + 2 + 128, "M.K.", 4);
    const uint8_t note[4] = {0x00, 0xD6, 0x10, 0x00}; // sample 1, period 214 (C-3)
    std::memcpy(mod.data() + kPattern, note, 4);
    mod[kPattern + 3 * 16 + 2] = 0x0D; // row 3, channel 1: pattern break
    for (std::size_t i = 0; i < 64; ++i)
        mod[kSampleData + i] = (i / 8) % 2 ? 0x90 : 0x70;
    return mod;
}

} // namespace tindrel::test
