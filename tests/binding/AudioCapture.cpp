// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/binding/AudioCapture.h"

#include "tests/support/TempDir.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace tindrel::test {

Capture ReadCapture(const std::string& path, int rate) {
    const Bytes bytes = ReadFileBytes(path);
    Capture capture;
    capture.rate = rate;
    capture.samples.resize(bytes.size() / 2);
    std::memcpy(capture.samples.data(), bytes.data(), capture.samples.size() * 2);
    return capture;
}

std::vector<Burst> FindBursts(const Capture& capture, int threshold, std::size_t minGap) {
    std::vector<Burst> bursts;
    for (std::size_t i = 0; i < capture.frames(); ++i) {
        if (std::abs(capture.left(i)) <= threshold)
            continue;
        if (!bursts.empty() && i - bursts.back().last <= minGap)
            bursts.back().last = i;
        else
            bursts.push_back({i, i});
    }
    return bursts;
}

std::size_t FirstAbove(const Capture& capture, std::size_t from, int threshold) {
    for (std::size_t i = from; i < capture.frames(); ++i)
        if (std::abs(capture.left(i)) > threshold)
            return i;
    return capture.frames();
}

int PeakAbs(const Capture& capture, const Burst& burst) {
    int peak = 0;
    for (std::size_t i = burst.first; i <= burst.last; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(capture.left(i))));
    return peak;
}

double PeakFrequency(const Capture& capture, std::size_t from) {
    const std::size_t count = std::min<std::size_t>(capture.rate / 10, capture.frames() - from);
    double bestFrequency = 0.0;
    double bestPower = -1.0;
    for (double f = 100.0; f <= 5000.0; f += 10.0) {
        // Goertzel: the power of one frequency.
        const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * f / capture.rate);
        double s1 = 0.0, s2 = 0.0;
        for (std::size_t i = 0; i < count; ++i) {
            const double s = capture.left(from + i) + coefficient * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            bestFrequency = f;
        }
    }
    return bestFrequency;
}

} // namespace tindrel::test
