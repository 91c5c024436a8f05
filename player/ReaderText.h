// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text helpers shared by the stream information readers.
namespace tindrel {

// Drops leading and trailing characters at or below the space, zero bytes
// included.
std::string TrimBlanks(std::string_view text);
std::u16string TrimBlanks(std::u16string_view text);

// 16-bit characters as UTF-8, the platform's own text. A surrogate pair
// becomes its supplementary character; a surrogate without its partner
// cannot be shown and becomes '?'.
std::string WideToUtf8(std::u16string_view text);

} // namespace tindrel
