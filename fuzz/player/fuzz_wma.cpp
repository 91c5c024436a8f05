// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "fuzz/mpeg/FuzzFile.h"
#include "player/ReaderText.h"
#include "player/WMAfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tindrel::fuzz::FuzzFile file;
    static tindrel::TWMAfile wma;
    wma.ReadFromFile(file.write(data, size));
    volatile std::size_t sink = tindrel::WideToUtf8(wma.Title()).size() + tindrel::WideToUtf8(wma.Comment()).size();
    (void)sink;
    return 0;
}
