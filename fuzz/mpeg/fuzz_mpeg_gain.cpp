// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/GlobalGain.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Whether bit lies in a global gain field of the frame, worked out from the
// header here rather than by the writer: side information start, first
// record, record length.
bool isGainBit(const uint8_t* frame, std::size_t bit) {
    const bool mpeg1 = (frame[1] >> 3 & 3) == 3;
    const bool mono = frame[3] >> 6 == 3;
    const std::size_t start = (frame[1] & 1) ? 32 : 48;
    const std::size_t first = mpeg1 ? (mono ? 18 : 20) : (mono ? 9 : 10);
    const std::size_t record = mpeg1 ? 59 : 63;
    const std::size_t records = std::size_t(mpeg1 ? 2 : 1) * (mono ? 1 : 2);
    for (std::size_t r = 0; r < records; ++r) {
        const std::size_t gain = start + first + r * record + 21;
        if (bit >= gain && bit < gain + 8)
            return true;
    }
    return false;
}

} // namespace

// The gain writer, over any bytes, writes only global gain fields and the
// CRC of a protected frame, and opposite steps undo a change that was not
// held at a bound.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    // The step counts come last, so that a sample file starting with a frame
    // seeds a frame.
    const uint8_t* s = data + size - 4;
    const tindrel::TGainSteps steps{{{int8_t(s[0]), int8_t(s[1])}, {int8_t(s[2]), int8_t(s[3])}}};
    const std::vector<uint8_t> source(data, data + size - 4);
    std::vector<uint8_t> frame = source;
    const tindrel::TGainChange change = tindrel::AddGlobalGain(frame, steps);
    if (!change.Applied) {
        if (frame != source || tindrel::GlobalGainRange(frame).has_value())
            std::abort();
        return 0;
    }
    const bool crc = (frame[1] & 1) == 0;
    for (std::size_t i = 0; i < frame.size(); ++i) {
        const uint8_t changed = frame[i] ^ source[i];
        if (crc && (i == 4 || i == 5))
            continue;
        for (int b = 0; b < 8; ++b)
            if ((changed >> (7 - b) & 1) && !isGainBit(frame.data(), i * 8 + std::size_t(b)))
                std::abort();
    }
    if (!change.Clamped) {
        tindrel::TGainSteps back{};
        for (std::size_t g = 0; g < 2; ++g)
            for (std::size_t c = 0; c < 2; ++c)
                back[g][c] = -steps[g][c];
        tindrel::AddGlobalGain(frame, back);
        if (frame != source)
            std::abort();
    }
    return 0;
}
