// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/FrameCuts.h"

#include "core/ExactCut.h"
#include "mpeg/FileWindow.h"
#include "platform/FileStream.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tindrel {

FrameCuts::FrameCuts(const FileStream& input, std::optional<TStreamTime> until) {
    const int64_t size = input.size();
    std::array<uint8_t, TID3v2::kHeaderSize> head{};
    ReadWindow(input, 0, head);
    const TagHeader header{head, size};
    const int64_t begin = header.StartsWithTag() ? header.TagSize() : 0;
    m_audioEnd = size;
    std::array<uint8_t, 3> tail{};
    if (size >= begin + int64_t(TID3v1::kBlockSize) &&
        ReadWindow(input, size - int64_t(TID3v1::kBlockSize), tail) == 3 &&
        tail == std::array<uint8_t, 3>{'T', 'A', 'G'})
        m_audioEnd = size - int64_t(TID3v1::kBlockSize);
    m_walk = WalkFrames(input, begin, std::max(begin, m_audioEnd), until);
    if (!m_walk.Found || m_walk.Frames.empty())
        throw std::runtime_error(NoMPEGAudioMessage(input.path()));
    const uint8_t rate = m_walk.Frames.front().BitRateIndex;
    m_variable = std::any_of(m_walk.Frames.begin(), m_walk.Frames.end(),
                             [rate](const TFrameSpan& f) { return f.BitRateIndex != rate; });
}

int64_t FrameCuts::FirstBitRateKbps() const {
    TMPEGFrame frame = m_walk.Format;
    frame.BitRateIndex = m_walk.Frames.front().BitRateIndex;
    return TableBitRate(frame);
}

std::size_t FrameCuts::NearestBoundary(int64_t ms) const {
    // The start of the file is the start of its first frame, whatever the
    // delay before the first sample: a first piece keeps every frame.
    if (ms <= 0)
        return 0;
    // The decoder's output holds the encoder's delay (and its own) before
    // the first sample of the gapless audio.
    const int64_t sample = std::max<int64_t>(ms, 0) * m_walk.SampleRate() / 1000 + m_walk.ValidBegin();
    const int64_t perFrame = m_walk.SamplesPerFrame();
    return static_cast<std::size_t>(std::min<int64_t>((sample + perFrame / 2) / perFrame, int64_t(FrameCount())));
}

int64_t FrameCuts::BoundaryMs(std::size_t k) const {
    const int64_t sample =
        std::clamp<int64_t>(int64_t(k) * m_walk.SamplesPerFrame() - m_walk.ValidBegin(), 0, m_walk.ValidSamples());
    const int64_t rate = m_walk.SampleRate();
    return (sample * 1000 + rate / 2) / rate;
}

int64_t FrameCuts::BoundaryByte(std::size_t k) const {
    if (k == 0)
        return 0;
    if (k < FrameCount())
        return m_walk.Frames[k].Offset;
    return m_walk.Whole ? m_audioEnd : m_walk.Frames.back().End();
}

} // namespace tindrel
