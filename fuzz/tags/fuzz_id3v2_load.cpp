// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Loads the ID3v2 tag of arbitrary file contents, and runs the text helpers
// on the same bytes; checks that the tag size never points past the file.
#include "fuzz/tags/FuzzFile.h"
#include "tags/ID3v2.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    tindrel::TID3v2 tag;
    const bool loaded = tag.Load(tindrel::fuzz::FileHolding(data, size));
    if (loaded != (size >= tindrel::TID3v2::kHeaderSize))
        std::abort();
    if (tag.TagSize() < 0 || std::size_t(tag.TagSize()) > size || (!tag.Exists() && tag.TagSize() != 0))
        std::abort();
    // A frame text is read from at most 250 bytes.
    if (tag.Title().size() > 250 || tag.Comment().size() > 246)
        std::abort();
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)tindrel::ParseTrackNumber(text);
    (void)tindrel::StripGenrePrefix(text);
    return 0;
}
