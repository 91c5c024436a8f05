// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>

namespace tindrel {

// Time text is minutes (at least two digits), ":", seconds (two digits), ".",
// milliseconds (three digits): 83,456 ms is "01:23.456". There is no hours
// group, so 100 minutes is "100:00.000".

// Formats x seconds; callers pass whole milliseconds divided by 1000.
std::string FormatTimeText(double seconds);

// The preview's position label: minutes (at least two digits), ":", seconds
// (two digits), ":", milliseconds (three digits), so 83 s and 456 ms is
// "01:23:456". Unlike time text it has a colon before the milliseconds, and
// it takes whole seconds and milliseconds apart, as the track bar moves by
// whole seconds and only its last stop has milliseconds.
std::string PositionLabelText(int32_t wholeSeconds, int32_t milliseconds);

// Reads time text for a cut, in milliseconds. The groups are taken as whole
// numbers as they stand, so "00:01.5" is 1,005 ms and "1:5" is 60,005 ms; an
// empty group counts as 0. A group that is not a whole number throws
// std::runtime_error("'<group>' is not a valid integer value").
int64_t ParseTimeMs(const std::string& text);

// Reads time text typed into the start and end fields, in seconds: minutes
// before the first ":" and a decimal number of seconds after it ("1:5" is
// 65). Returns -1 for anything else.
double ParseTimeSeconds(const std::string& text);

// "The selected part is <d> (Second.Millisecond)" for d > 0, else empty.
std::string SelectedPartText(const std::string& startText, const std::string& endText);

// Reads a signed decimal whole number in the 32-bit range (blanks around
// it allowed); false for anything else.
bool TryParseDecimalInt(const std::string& text, int32_t& value);

} // namespace tindrel
