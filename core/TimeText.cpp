// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/TimeText.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

namespace tindrel {

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string trimmed(const std::string& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// [+-]digits, nothing else.
bool parseSignedDigits(const std::string& text, int64_t& value, int64_t limit) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit + 1)
            return false;
    }
    if ((!negative && magnitude > limit) || (negative && magnitude > limit + 1))
        return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

int64_t timeGroupValue(const std::string& group) {
    std::string text = trimmed(group);
    if (text.empty())
        return 0;
    int32_t value = 0;
    if (!TryParseDecimalInt(text, value))
        throw std::runtime_error("'" + text + "' is not a valid integer value");
    return value;
}

// [+-]digits[.digits]: a decimal number that does not begin with ".".
bool parseDecimalSeconds(const std::string& text, double& value) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t digitsStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i == digitsStart)
        return false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
    }
    if (i != text.size())
        return false;
    value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value);
}

} // namespace

bool TryParseDecimalInt(const std::string& text, int32_t& value) {
    int64_t wide = 0;
    if (!parseSignedDigits(trimmed(text), wide, std::numeric_limits<int32_t>::max()))
        return false;
    value = static_cast<int32_t>(wide);
    return true;
}

std::string FormatTimeText(double seconds) {
    const auto whole = static_cast<int64_t>(std::trunc(seconds));
    const int64_t minutes = whole / 60;
    const int64_t secs = whole - 60 * minutes;
    // nearbyint rounds halves to even under the default rounding mode.
    const double millis = std::nearbyint((seconds - 60.0 * double(minutes) - double(secs)) * 1000.0);
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", static_cast<long long>(minutes),
                  static_cast<long long>(secs), static_cast<long long>(millis));
    return text;
}

std::string PositionLabelText(int32_t wholeSeconds, int32_t milliseconds) {
    const int32_t minutes = wholeSeconds / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%03d", int(minutes), int(wholeSeconds - 60 * minutes),
                  int(milliseconds));
    return text;
}

int64_t ParseTimeMs(const std::string& text) {
    std::string minutes;
    std::string rest = text;
    if (const auto colon = text.find(':'); colon != std::string::npos) {
        minutes = text.substr(0, colon);
        rest = text.substr(colon + 1);
    }
    std::string seconds;
    std::string millis = rest;
    if (const auto dot = rest.find('.'); dot != std::string::npos) {
        seconds = rest.substr(0, dot);
        millis = rest.substr(dot + 1);
    }
    const int64_t m = timeGroupValue(minutes);
    const int64_t s = timeGroupValue(seconds);
    const int64_t ms = timeGroupValue(millis);
    return m * 60000 + s * 1000 + ms;
}

double ParseTimeSeconds(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return -1;
    int64_t minutes = 0;
    double seconds = 0;
    if (!parseSignedDigits(text.substr(0, colon), minutes, std::numeric_limits<int32_t>::max()) ||
        !parseDecimalSeconds(text.substr(colon + 1), seconds))
        return -1;
    return double(minutes) * 60.0 + seconds;
}

std::string SelectedPartText(const std::string& startText, const std::string& endText) {
    const double d = ParseTimeSeconds(endText) - ParseTimeSeconds(startText);
    if (!(d > 0))
        return {};
    char number[64];
    std::snprintf(number, sizeof number, "%.15g", d);
    return std::string("The selected part is ") + number + " (Second.Millisecond)";
}

} // namespace tindrel
