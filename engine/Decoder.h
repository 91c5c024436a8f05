// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <cstdint>

namespace tindrel::engine {

// A source of interleaved 16-bit frames at its own rate and channel count
// (1 or 2). Decoders are used by one thread at a time.
class Decoder {
public:
    virtual ~Decoder() = default;

    virtual int rate() const = 0;
    virtual int channels() const = 0;
    // Writes up to `frames` frames to out and returns how many it wrote.
    // 0 with finished() false means "nothing yet" (a stalled user stream).
    virtual std::size_t read(int16_t* out, std::size_t frames) = 0;
    virtual bool finished() const = 0;
    // Moves to the given frame; false when the source cannot seek there.
    virtual bool seek(int64_t frame) = 0;
    // Total frames, or -1 when unknown.
    virtual int64_t lengthFrames() const = 0;
};

} // namespace tindrel::engine
