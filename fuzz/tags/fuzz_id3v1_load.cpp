// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Loads the ID3v1 tag of arbitrary file contents and checks the promises the
// callers rely on: bounded field widths and a cleared object on failure.
#include "fuzz/tags/FuzzFile.h"
#include "tags/ID3v1.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    tindrel::TID3v1 tag;
    const bool loaded = tag.Load(tindrel::fuzz::FileHolding(data, size));
    if (loaded != (size >= tindrel::TID3v1::kBlockSize))
        std::abort();
    if (tag.Title().size() > 30 || tag.Artist().size() > 30 || tag.Album().size() > 30 || tag.Year().size() > 4 ||
        tag.Comment().size() > 30 || (!tag.Exists() && !tag.Title().empty()))
        std::abort();
    (void)tag.GenreName();
    return 0;
}
