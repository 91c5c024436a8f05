// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Loads the ID3v2 tag of arbitrary file contents (any version, encoding,
// unsynchronisation, extended header, footer), held in memory as Load reads
// them from a file, and checks the promises the callers rely on: the tag
// size never points past the file, the same bytes read from a file frame by
// frame give the same tag, and the version 2.3 tag that Save would
// write reads back with the same fields and frames. The text decoders run on
// the same bytes in every encoding.
#include "fuzz/tags/FuzzFile.h"
#include "tags/ID3v2.h"
#include "tags/TagText.h"

#include <cstdlib>

namespace {

bool sameFrames(const std::vector<tindrel::ID3v2Frame>& a, const std::vector<tindrel::ID3v2Frame>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].id != b[i].id || a[i].flags != b[i].flags || a[i].data != b[i].data)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace tindrel;
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    TID3v2 tag;
    tag.LoadTag(file, int64_t(size));
    if (tag.TagSize() < 0 || std::size_t(tag.TagSize()) > size || (!tag.Exists() && tag.TagSize() != 0))
        std::abort();

    // Read from a file, frame by frame, the same bytes give the same tag.
    TID3v2 fromFile;
    fromFile.Load(fuzz::FileHolding(data, size));
    if (fromFile.Exists() != tag.Exists() || fromFile.TagSize() != tag.TagSize() || fromFile.Title() != tag.Title() ||
        fromFile.Comment() != tag.Comment() || fromFile.TrackText() != tag.TrackText() ||
        !sameFrames(fromFile.OtherFrames(), tag.OtherFrames()) || fromFile.DroppedFrames() != tag.DroppedFrames())
        std::abort();

    const std::string built = tag.BuildTag();
    TID3v2 back;
    back.LoadTag(built, int64_t(built.size()));
    if (!back.Exists() || back.Title() != tag.Title() || back.Artist() != tag.Artist() || back.Album() != tag.Album() ||
        back.Year() != tag.Year() || back.Genre() != tag.Genre() || back.Comment() != tag.Comment() ||
        back.Track() != tag.Track() || !sameFrames(back.OtherFrames(), tag.OtherFrames()) ||
        !back.DroppedFrames().empty())
        std::abort();

    // Whatever the bytes, a decoded text is UTF-8 that encodes back to a
    // text of the same characters.
    for (uint8_t encoding = 0; encoding < 4; ++encoding) {
        const std::string utf8 = DecodeText(file, encoding);
        if (DecodeText(EncodeText(utf8, kEncodingUtf16), kEncodingUtf16) != utf8)
            std::abort();
    }
    (void)ParseTrackNumber(std::string(file));
    (void)StripGenrePrefix(std::string(file));
    return 0;
}
