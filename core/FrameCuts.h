// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/FrameWalk.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tindrel {

class FileStream;

// Where a byte cut can cut a source without breaking a frame: the
// boundaries between its frames (0 before the first, FrameCount() behind
// the last), each with the time it stands for in the stream's gapless
// audio. Found by walking the frames, so that a time lands where its sound
// is whatever the bit rate of each frame.
class FrameCuts {
public:
    // Walks the frames of input between its ID3v2 and its ID3v1 tag. Throws
    // std::runtime_error naming the file when it holds no MPEG audio.
    // With until, the walk stops once its frames hold the audio up to that
    // time (see WalkFrames): a cut that ends there needs no more, and the
    // bit rates of the frames behind it move no time before it.
    explicit FrameCuts(const FileStream& input, std::optional<TStreamTime> until = std::nullopt);

    std::size_t FrameCount() const { return m_walk.Frames.size(); }
    // False when the walk stopped at a time: the frames end there.
    bool Whole() const { return m_walk.Whole; }
    // True when the frames do not all share one bit rate: a time then lies
    // nowhere near bit rate x time in bytes.
    bool VariableBitRate() const { return m_variable; }
    // The bit rate of the first audio frame in kbit/s; 0 in free format.
    int64_t FirstBitRateKbps() const;
    // The boundary nearest to ms.
    std::size_t NearestBoundary(int64_t ms) const;
    // The time of boundary k in ms, within the stream's gapless audio.
    int64_t BoundaryMs(std::size_t k) const;
    // The file position of boundary k. The first is the file's first byte,
    // so that a first piece keeps the info frame (and the tag that the
    // piece's own replaces); the last of a whole walk is AudioEnd().
    int64_t BoundaryByte(std::size_t k) const;
    // The end of the audio before the ID3v1 tag, so that a last piece keeps
    // a frame that is cut short.
    int64_t AudioEnd() const { return m_audioEnd; }
    // Where the Xing/Info or VBRI frame before the audio starts, or -1 when
    // the stream has none.
    int64_t InfoOffset() const { return m_walk.InfoOffset; }

private:
    TFrameWalk m_walk;
    int64_t m_audioEnd = 0;
    bool m_variable = false;
};

} // namespace tindrel
