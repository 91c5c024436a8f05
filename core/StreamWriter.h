// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/FrameWalk.h"
#include "mpeg/InfoFrame.h"

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace tindrel {

class FileStream;

// Writes a Layer III stream behind a Xing/Info frame that is filled in at
// the end, when its counts, its music CRC and the delay and padding are
// known: the writer of exact pieces, joins and edits.
class StreamWriter {
public:
    // out is positioned where the stream is to start.
    explicit StreamWriter(FileStream& out);

    bool started() const { return m_infoLength > 0; }
    int64_t frameCount() const { return int64_t(m_lengths.size()); }
    // The last frames written (up to 16), to recognise a stream that
    // repeats them.
    const std::deque<std::vector<uint8_t>>& lastFrames() const { return m_last; }

    // Writes a placeholder for the info frame, which takes the walked
    // source's encoder extension and quality.
    void begin(const TFrameWalk& walk, const FileStream& input, uint8_t bitRateIndex);
    void appendFrame(std::span<const uint8_t> frame, uint8_t bitRateIndex);
    // Copies frames [from, to) of a walked input, run by run of adjacent
    // frames, in blocks that end on frame boundaries.
    void copyFrames(const FileStream& input, const std::vector<TFrameSpan>& frames, std::size_t from, std::size_t to);
    // Fills in the Xing/Info frame and leaves out at the end of the stream.
    void finish(int64_t delay, int64_t padding);

private:
    void noteFrame(uint32_t length, uint8_t bitRateIndex);
    void remember(std::span<const uint8_t> frame);

    FileStream& m_out;
    int64_t m_start;
    TNewInfoFrame m_spec;
    std::vector<uint8_t> m_extension;
    std::size_t m_infoLength = 0;
    std::vector<uint32_t> m_lengths;
    uint8_t m_bitRateIndex = 0;
    bool m_constant = true;
    uint16_t m_crc = 0;
    std::deque<std::vector<uint8_t>> m_last;
};

} // namespace tindrel
