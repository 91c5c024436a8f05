// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/TagText.h"

namespace tindrel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The character that starts at pos of a UTF-8 text, and its length in
// bytes; a byte that does not start a valid sequence stands for itself as
// an ISO-8859-1 character, so that no text is ever lost in reading.
char32_t nextUtf8(std::string_view text, std::size_t pos, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[pos + i]); };
    const uint8_t lead = byte(0);
    length = 1;
    if (lead < 0x80)
        return lead;
    std::size_t count = 0;
    char32_t c = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        count = 1, c = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 2, c = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 3, c = lead & 0x07, least = 0x10000;
    } else {
        return lead;
    }
    if (pos + count >= text.size())
        return lead;
    for (std::size_t i = 1; i <= count; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return lead;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return lead;
    length = count + 1;
    return c;
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<uint8_t>(bytes[i]);
        const auto b = static_cast<uint8_t>(bytes[i + 1]);
        return bigEndian ? char32_t(a << 8 | b) : char32_t(b << 8 | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = kReplacement;
            }
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

void appendUtf16LE(std::string& out, char32_t c) {
    const auto unit = [&](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    if (c < 0x10000) {
        unit(c);
    } else {
        c -= 0x10000;
        unit(0xD800 + (c >> 10));
        unit(0xDC00 + (c & 0x3FF));
    }
}

} // namespace

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char byte : latin1)
        appendUtf8(out, static_cast<uint8_t>(byte));
    return out;
}

std::string Utf8ToLatin1(std::string_view utf8, bool* lossless) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0, length = 0; pos < utf8.size(); pos += length) {
        const char32_t c = nextUtf8(utf8, pos, length);
        if (c > 0xFF && lossless)
            *lossless = false;
        out.push_back(c > 0xFF ? '?' : static_cast<char>(c));
    }
    return out;
}

bool FitsLatin1(std::string_view utf8) {
    bool lossless = true;
    (void)Utf8ToLatin1(utf8, &lossless);
    return lossless;
}

std::size_t TerminatorWidth(uint8_t encoding) {
    return encoding == kEncodingUtf16 || encoding == kEncodingUtf16BE ? 2 : 1;
}

std::size_t FindTerminator(std::string_view bytes, uint8_t encoding, std::size_t from) {
    if (TerminatorWidth(encoding) == 1) {
        const std::size_t at = bytes.find('\0', from);
        return at == std::string_view::npos ? bytes.size() : at;
    }
    for (std::size_t i = from; i + 1 < bytes.size(); i += 2)
        if (bytes[i] == '\0' && bytes[i + 1] == '\0')
            return i;
    return bytes.size();
}

std::string DecodeText(std::string_view bytes, uint8_t encoding) {
    switch (encoding) {
    case kEncodingUtf16: {
        // Without a byte-order mark, the little-endian order that most
        // writers of such tags use.
        const bool bigEndian = bytes.size() >= 2 && bytes[0] == '\xfe' && bytes[1] == '\xff';
        const bool mark = bigEndian || (bytes.size() >= 2 && bytes[0] == '\xff' && bytes[1] == '\xfe');
        return decodeUtf16(bytes.substr(mark ? 2 : 0), bigEndian);
    }
    case kEncodingUtf16BE:
        return decodeUtf16(bytes, true);
    case kEncodingUtf8: {
        std::string out;
        for (std::size_t pos = 0, length = 0; pos < bytes.size(); pos += length)
            appendUtf8(out, nextUtf8(bytes, pos, length));
        return out;
    }
    default:
        return Latin1ToUtf8(bytes);
    }
}

uint8_t EncodingFor(std::string_view utf8) {
    return FitsLatin1(utf8) ? kEncodingLatin1 : kEncodingUtf16;
}

std::string EncodeText(std::string_view utf8, uint8_t encoding) {
    if (encoding != kEncodingUtf16)
        return Utf8ToLatin1(utf8);
    std::string out = "\xff\xfe";
    for (std::size_t pos = 0, length = 0; pos < utf8.size(); pos += length)
        appendUtf16LE(out, nextUtf8(utf8, pos, length));
    return out;
}

} // namespace tindrel
