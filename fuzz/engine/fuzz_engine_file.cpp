// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/EngineError.h"
#include "engine/FileDecoder.h"
#include "fuzz/mpeg/FuzzFile.h"

#include <cstdlib>
#include <vector>

// The core library's file decoders (the WAV reader, the format sniffing and
// what the MPEG and Vorbis libraries make of what passes it): a damaged file
// may be refused, but never read or written out of bounds, and what opens
// is mono or stereo at a real rate.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tindrel::fuzz::FuzzFile file;
    try {
        auto decoder = tindrel::engine::OpenFileDecoder(file.write(data, size));
        if (decoder->channels() < 1 || decoder->channels() > 2 || decoder->rate() <= 0)
            std::abort();
        std::vector<int16_t> pcm(2 * 4096);
        for (int block = 0; block < 4 && !decoder->finished(); ++block)
            decoder->read(pcm.data(), 4096);
        if (decoder->seek(decoder->lengthFrames() / 2 + 1))
            decoder->read(pcm.data(), 4096);
    } catch (const tindrel::engine::EngineError&) {
    }
    return 0;
}
