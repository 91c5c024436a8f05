// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Reads arbitrary bytes as a CUE sheet and checks what the split relies on:
// a sheet is refused with an error, or holds tracks numbered 1 to 99 whose
// starts are set and go forward within a file, and every piece name is one
// file name of at most 255 bytes.
#include "core/CueSheet.h"

#include <cstdlib>
#include <stdexcept>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    tindrel::CueSheet sheet;
    try {
        sheet = tindrel::ParseCueSheet(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const std::runtime_error&) {
        return 0;
    }
    if (sheet.tracks.empty())
        std::abort();
    for (std::size_t i = 0; i < sheet.tracks.size(); ++i) {
        const tindrel::CueTrack& t = sheet.tracks[i];
        if (t.number < 0 || t.number > 99 || t.index01 < 0 || t.startMs() < 0)
            std::abort();
        if (i > 0 && t.file == sheet.tracks[i - 1].file && t.index01 <= sheet.tracks[i - 1].index01)
            std::abort();
        const std::string name = tindrel::CuePieceName(t);
        if (name.size() > 255 || name.find('/') != std::string::npos || name == "." || name == "..")
            std::abort();
    }
    return 0;
}
