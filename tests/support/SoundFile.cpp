// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/support/SoundFile.h"

#include "tests/support/Command.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace tindrel::test {

namespace {

std::string synth(Sound sound, double seconds) {
    char text[160];
    const char* effect = "";
    switch (sound) {
    case Sound::Tone:
        effect = "synth %.6f sine 440 gain -6";
        break;
    case Sound::Zero:
        effect = "trim 0 %.6f";
        break;
    case Sound::Hiss:
        // Uniform noise of peak p has a mean power of p^2 / 3.
        effect = "synth %.6f whitenoise vol 0.00173";
        break;
    case Sound::Speech:
        effect = "synth %.6f pinknoise tremolo 5 100 gain -3";
        break;
    }
    std::snprintf(text, sizeof text, effect, seconds);
    return text;
}

} // namespace

std::string MakeMp3(const std::string& folder, const std::string& name, const std::vector<Stretch>& stretches,
                    const std::string& extraLameArgs) {
    std::string parts;
    std::string script = "set -e; cd '" + folder + "'; ";
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        const std::string part = "stretch" + std::to_string(i) + ".wav";
        script +=
            "sox -D -R -n -r 44100 -c 2 -b 16 " + part + " " + synth(stretches[i].sound, stretches[i].seconds) + "; ";
        parts += part + " ";
    }
    script += "sox " + parts + " whole.wav; lame --quiet --nohist --cbr -b 128 " + extraLameArgs + " whole.wav '" +
              name + "'; rm -f " + parts + " whole.wav; echo made";
    const std::string output = CommandOutput(script);
    if (output.find("made") == std::string::npos) {
        std::cerr << output;
        return {};
    }
    return folder + "/" + name;
}

std::vector<int16_t> ReadPcm16(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

} // namespace tindrel::test
