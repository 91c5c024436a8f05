// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>

// What ffprobe, the reference decoder's own prober, reports about a file:
// the cross-checks compare Tindrel's header readings with it.
namespace tindrel::test {

struct ProbeResult {
    unsigned sampleRate = 0;
    unsigned channels = 0;
    double duration = 0.0;
};

inline bool HaveFfprobe() {
    return std::system("ffprobe -version >/dev/null 2>&1") == 0;
}

inline std::optional<ProbeResult> Ffprobe(const std::string& path) {
    const std::string command = "ffprobe -v error -select_streams a:0 -show_entries "
                                "stream=sample_rate,channels:format=duration -of default=noprint_wrappers=1 '" +
                                path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe)
        return std::nullopt;
    std::map<std::string, std::string> values;
    char line[256];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        const auto equals = text.find('=');
        if (equals != std::string::npos)
            values[text.substr(0, equals)] = text.substr(equals + 1, text.find_last_not_of("\r\n") - equals);
    }
    if (!values.count("sample_rate") || !values.count("channels") || !values.count("duration"))
        return std::nullopt;
    return ProbeResult{unsigned(std::stoul(values["sample_rate"])), unsigned(std::stoul(values["channels"])),
                       std::stod(values["duration"])};
}

} // namespace tindrel::test
