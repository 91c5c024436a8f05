// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace tindrel {

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback) {
    std::ifstream in(path);
    if (!in)
        return fallback;
    bool inSection = false;
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            inSection = close != std::string::npos && sameName(trim(line.substr(1, close - 1)), section);
            continue;
        }
        const auto equals = line.find('=');
        if (!inSection || equals == std::string::npos || !sameName(trim(line.substr(0, equals)), key))
            continue;
        std::string value = trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return fallback;
}

} // namespace tindrel
