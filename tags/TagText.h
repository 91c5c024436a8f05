// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text conversions for the tags. Tindrel holds every ID3v2 text as UTF-8;
// ID3v1 holds ISO-8859-1 bytes by its format.
namespace tindrel {

// The text encodings of an ID3v2 frame, by the value of its encoding byte.
inline constexpr uint8_t kEncodingLatin1 = 0;
inline constexpr uint8_t kEncodingUtf16 = 1;   // with a byte-order mark
inline constexpr uint8_t kEncodingUtf16BE = 2; // version 2.4 only
inline constexpr uint8_t kEncodingUtf8 = 3;    // version 2.4 only

std::string Latin1ToUtf8(std::string_view latin1);
// The ISO-8859-1 bytes of a UTF-8 text. A character that ISO-8859-1 cannot
// hold becomes "?", and lossless (when given) is set to false.
std::string Utf8ToLatin1(std::string_view utf8, bool* lossless = nullptr);
// True when every character of the UTF-8 text is in ISO-8859-1.
bool FitsLatin1(std::string_view utf8);

// The width of a string terminator in the encoding: 2 for UTF-16, else 1.
std::size_t TerminatorWidth(uint8_t encoding);
// The offset of the terminator of the string that starts at from, or the
// size of bytes when the string runs to the end. UTF-16 terminators are
// aligned to the string's start.
std::size_t FindTerminator(std::string_view bytes, uint8_t encoding, std::size_t from);
// One string of the encoding, without terminator, as UTF-8. Text that is not
// valid in its encoding is taken byte by byte as ISO-8859-1 (UTF-8) or
// replaced by U+FFFD (an unpaired UTF-16 surrogate); an unknown encoding is
// read as ISO-8859-1.
std::string DecodeText(std::string_view bytes, uint8_t encoding);
// The encoding a version 2.3 frame gives the text: ISO-8859-1 when it can
// hold every character, else UTF-16.
uint8_t EncodingFor(std::string_view utf8);
// The text in the encoding (0 or 1; UTF-16 little-endian with its
// byte-order mark), without terminator.
std::string EncodeText(std::string_view utf8, uint8_t encoding);

} // namespace tindrel
