// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>

namespace tindrel {

// Reads a whole number the way the platform's own integer conversion does:
// leading blanks, an optional sign, then decimal digits, or hexadecimal
// digits after "$" or "0x". Anything else, a trailing blank or an empty text
// included, is not an integer. Decimal values must fit 32 bits; hexadecimal
// ones may use all 32 bits and then read as negative ("$FFFFFFFF" is -1).
bool TryParsePlatformInt(const std::string& text, int32_t& value);

} // namespace tindrel
