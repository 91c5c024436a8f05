// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "fuzz/mpeg/FuzzFile.h"
#include "mpeg/FrameWalk.h"
#include "mpeg/InfoFrame.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

// The frame walk of the exact mode and the info frame rewrite must never
// crash or step outside the bytes, whatever they hold: frames follow one
// another inside the file, and a rewrite stays inside its frame.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tindrel::fuzz::FuzzFile file;
    const tindrel::FileStream stream = tindrel::FileStream::openRead(file.write(data, size));
    const tindrel::TFrameWalk walk = tindrel::WalkFrames(stream, 0, int64_t(size));
    int64_t last = 0;
    std::vector<uint32_t> lengths;
    for (const tindrel::TFrameSpan& frame : walk.Frames) {
        if (frame.Offset < last || frame.End() > int64_t(size) || frame.Length == 0)
            std::abort();
        last = frame.End();
        lengths.push_back(frame.Length);
    }
    // A walk that may stop at a time holds the whole walk's first frames,
    // and enough of them that a piece ending there is clamped to the same
    // valid end as from the whole walk. The time is taken near that end,
    // in samples, where the end padding decides.
    if (!walk.Frames.empty() && size >= 2) {
        const int64_t near = (data[size - 1] << 8 | data[size - 2]) % 8192 - 4096;
        const tindrel::TStreamTime until{std::max<int64_t>(0, walk.ValidSamples() + near), walk.SampleRate()};
        const tindrel::TFrameWalk part = tindrel::WalkFrames(stream, 0, int64_t(size), until);
        if (part.Frames.size() > walk.Frames.size() || (part.Whole && part.Frames.size() != walk.Frames.size()))
            std::abort();
        for (std::size_t i = 0; i < part.Frames.size(); ++i) {
            if (part.Frames[i].Offset != walk.Frames[i].Offset || part.Frames[i].Length != walk.Frames[i].Length)
                std::abort();
        }
        if (std::min(until.Units, part.ValidSamples()) != std::min(until.Units, walk.ValidSamples()))
            std::abort();
    }
    if (walk.Info.Found) {
        std::vector<uint8_t> info(data + walk.InfoOffset, data + walk.InfoOffset + walk.InfoLength);
        tindrel::RewriteInfoFrame(info, walk.Info, {lengths, int64_t(size), 0}, false);
        tindrel::TNewInfoFrame wanted;
        wanted.Format = walk.Format;
        wanted.BitRateIndex = walk.Format.BitRateIndex;
        const std::vector<uint8_t> fresh = tindrel::BuildInfoFrame(wanted, {lengths, int64_t(size), 0});
        if (!fresh.empty() && fresh.size() != tindrel::InfoFrameLength(wanted))
            std::abort();
    }
    return 0;
}
