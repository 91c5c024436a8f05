// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Downmix.h"

#include <array>
#include <string_view>
#include <vector>

namespace tindrel::engine {
namespace {

// One letter a channel: L left, R right, C centre, X left out (LFE).
std::string_view sides(int channels, SpeakerOrder order) {
    if (order == SpeakerOrder::Wav)
        return "LRCXLRLRCLRCLRCLRC"; // FL FR FC LFE BL BR FLC FRC BC SL SR TC ...
    // Vorbis fixes the order for up to eight channels and leaves the rest
    // to the application.
    constexpr std::array<std::string_view, 9> kVorbis{"",      "C",      "LR",      "LCR",     "LRLR",
                                                      "LCRLR", "LCRLRX", "LCRLRCX", "LCRLRLRX"};
    return channels < static_cast<int>(kVorbis.size()) ? kVorbis[static_cast<std::size_t>(channels)] : "LR";
}

} // namespace

void MixToOutput(const float* in, int channels, SpeakerOrder order, int16_t* out, std::size_t frames) {
    if (channels <= 2) {
        for (std::size_t i = 0; i < frames * static_cast<std::size_t>(channels); ++i)
            out[i] = ToInt16(in[i]);
        return;
    }
    const std::string_view layout = sides(channels, order);
    std::vector<float> left(static_cast<std::size_t>(channels)), right(left.size());
    float leftSum = 0.0f, rightSum = 0.0f;
    for (int c = 0; c < channels; ++c) {
        // Channels past the known layout alternate left and right.
        const char side = c < static_cast<int>(layout.size()) ? layout[static_cast<std::size_t>(c)] : "LR"[c % 2];
        const float toLeft = side == 'L' ? 1.0f : side == 'C' ? 0.7071f : 0.0f;
        const float toRight = side == 'R' ? 1.0f : side == 'C' ? 0.7071f : 0.0f;
        left[static_cast<std::size_t>(c)] = toLeft;
        right[static_cast<std::size_t>(c)] = toRight;
        leftSum += toLeft;
        rightSum += toRight;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const float* frame = in + f * static_cast<std::size_t>(channels);
        float l = 0.0f, r = 0.0f;
        for (int c = 0; c < channels; ++c) {
            l += frame[c] * left[static_cast<std::size_t>(c)];
            r += frame[c] * right[static_cast<std::size_t>(c)];
        }
        out[2 * f] = ToInt16(leftSum > 0 ? l / leftSum : 0.0f);
        out[2 * f + 1] = ToInt16(rightSum > 0 ? r / rightSum : 0.0f);
    }
}

} // namespace tindrel::engine
