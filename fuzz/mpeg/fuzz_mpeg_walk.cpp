// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "fuzz/mpeg/FuzzFile.h"
#include "mpeg/FrameWalk.h"
#include "mpeg/InfoFrame.h"
#include "platform/FileStream.h"

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
