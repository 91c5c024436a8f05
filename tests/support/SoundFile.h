// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tindrel::test {

// One stretch of a made-up recording.
enum class Sound {
    Tone,   // a 440 Hz sine at -6 dB
    Zero,   // digital silence
    Hiss,   // white noise at about -60 dB (its mean power)
    Speech, // pink noise whose level swings five times a second down to
            // nothing, as speech does between syllables
};
struct Stretch {
    Sound sound;
    double seconds;
};

// Makes name (in folder) with sox and lame: the stretches one after
// another, 44.1 kHz stereo, as a 128 kbit/s MP3 whose first frame notes the
// encoder's delay, so a decoder gives the stretches back at their times.
// extraLameArgs go to lame (-t leaves that first frame out). Returns the
// path; an empty string when a tool failed (the reason is in the output).
std::string MakeMp3(const std::string& folder, const std::string& name, const std::vector<Stretch>& stretches,
                    const std::string& extraLameArgs = {});

// The 16-bit native-endian samples of a raw file a decoder wrote (mpg123
// -s, ffmpeg -f s16le); empty when the file is missing.
std::vector<int16_t> ReadPcm16(const std::string& path);

} // namespace tindrel::test
