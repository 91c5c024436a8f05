// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// Decodes a file to PCM with the engine's own file decoder and throws the
// samples away, as "mpg123 -t" does: the speed of decoding alone.
//   bench_table_decode FILE
#include "engine/FileDecoder.h"

#include <cstdio>
#include <exception>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_table_decode FILE\n");
        return 2;
    }
    try {
        auto decoder = tindrel::engine::OpenFileDecoder(argv[1]);
        std::vector<int16_t> buffer(4096 * 2);
        int64_t frames = 0;
        while (!decoder->finished()) {
            const std::size_t got = decoder->read(buffer.data(), 4096);
            if (got == 0 && decoder->finished())
                break;
            frames += static_cast<int64_t>(got);
        }
        std::printf("%lld frames at %d Hz\n", static_cast<long long>(frames), decoder->rate());
        return frames > 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_table_decode: %s\n", error.what());
        return 1;
    }
}
