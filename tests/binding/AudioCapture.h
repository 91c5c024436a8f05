// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tindrel::test {

// Interleaved stereo 16-bit frames as SDL's disk driver writes them.
struct Capture {
    std::vector<int16_t> samples;
    int rate = 44100;

    std::size_t frames() const { return samples.size() / 2; }
    int16_t left(std::size_t frame) const { return samples[2 * frame]; }
    int16_t right(std::size_t frame) const { return samples[2 * frame + 1]; }
};

Capture ReadCapture(const std::string& path, int rate);

// A run of frames whose left sample exceeds a threshold, with gaps shorter
// than minGap frames counted as part of the run.
struct Burst {
    std::size_t first = 0;
    std::size_t last = 0;
    double seconds(int rate) const { return static_cast<double>(last - first + 1) / rate; }
};
std::vector<Burst> FindBursts(const Capture& capture, int threshold, std::size_t minGap);

// First frame at or after `from` whose |left| exceeds threshold; frames()
// when there is none.
std::size_t FirstAbove(const Capture& capture, std::size_t from, int threshold);
int PeakAbs(const Capture& capture, const Burst& burst);
// The strongest frequency (10 Hz steps between 100 Hz and 5 kHz) of the
// left channel in a 100 ms window from `from`.
double PeakFrequency(const Capture& capture, std::size_t from);

} // namespace tindrel::test
