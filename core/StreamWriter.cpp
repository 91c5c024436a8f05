// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/StreamWriter.h"

#include "mpeg/FileWindow.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace tindrel {

namespace {

// Frames are copied in runs of up to this many bytes: the file system
// takes fewer, longer writes at less cost a byte, while every page of the
// buffer a piece touches costs a fault (a 1 MiB buffer made a 1 MiB cut
// slower than this one; a join gains little more from it).
constexpr std::size_t kCopyBlock = 256 * 1024;
static_assert(kCopyBlock > UINT16_MAX, "every frame fits a block");
// The frames kept in memory at the end of a joined stream, to recognise a
// stream that repeats them.
constexpr std::size_t kRememberedFrames = 16;

} // namespace

StreamWriter::StreamWriter(FileStream& out) : m_out(out), m_start(out.position()) {}

void StreamWriter::begin(const TFrameWalk& walk, const FileStream& input, uint8_t bitRateIndex) {
    m_spec.Format = walk.Format;
    m_spec.BitRateIndex = bitRateIndex;
    m_spec.Quality = walk.Info.HasQuality ? walk.Info.Quality : 0;
    if (walk.Info.HasExtension) {
        m_extension.resize(kInfoExtensionSize);
        if (ReadWindow(input, walk.InfoOffset + int64_t(walk.Info.ExtensionOffset), m_extension) < kInfoExtensionSize)
            throw StreamReadError();
    }
    m_spec.Extension = m_extension;
    m_infoLength = InfoFrameLength(m_spec);
    if (m_infoLength == 0)
        throw std::runtime_error("No frame of this stream's kind can hold a Xing/Info frame.");
    const std::vector<uint8_t> placeholder(m_infoLength, 0);
    m_out.writeAll(placeholder.data(), placeholder.size());
}

void StreamWriter::appendFrame(std::span<const uint8_t> frame, uint8_t bitRateIndex) {
    m_out.writeAll(frame.data(), frame.size());
    m_crc = InfoCrc16(frame, m_crc);
    noteFrame(uint32_t(frame.size()), bitRateIndex);
    remember(frame);
}

void StreamWriter::copyFrames(const FileStream& input, const std::vector<TFrameSpan>& frames, std::size_t from,
                              std::size_t to) {
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kCopyBlock);
    for (std::size_t i = from; i < to;) {
        std::size_t j = i;
        int64_t bytes = 0;
        while (j < to && (j == i || frames[j].Offset == frames[j - 1].End()) &&
               (j == i || bytes + frames[j].Length <= int64_t(kCopyBlock))) {
            bytes += frames[j].Length;
            ++j;
        }
        const auto block = std::span(buffer.get(), std::size_t(bytes));
        if (ReadWindow(input, frames[i].Offset, block) < block.size())
            throw StreamReadError();
        m_out.writeAll(block.data(), block.size());
        m_crc = InfoCrc16(block, m_crc);
        std::size_t at = 0;
        for (std::size_t k = i; k < j; ++k) {
            noteFrame(frames[k].Length, frames[k].BitRateIndex);
            // Only the last frames of all are kept: those of every block
            // would be copied only to be dropped again.
            if (to - k <= kRememberedFrames)
                remember(std::span(block.data() + at, frames[k].Length));
            at += frames[k].Length;
        }
        i = j;
    }
}

void StreamWriter::finish(int64_t delay, int64_t padding) {
    if (!started())
        return;
    m_spec.Constant = m_constant;
    m_spec.Delay = uint16_t(std::clamp<int64_t>(delay, 0, 4095));
    m_spec.Padding = uint16_t(std::clamp<int64_t>(padding, 0, 4095));
    int64_t bytes = int64_t(m_infoLength);
    for (const uint32_t length : m_lengths)
        bytes += length;
    const std::vector<uint8_t> info = BuildInfoFrame(m_spec, {m_lengths, bytes, m_crc});
    const int64_t end = m_out.position();
    m_out.seek(m_start);
    m_out.writeAll(info.data(), info.size());
    m_out.seek(end);
}

void StreamWriter::noteFrame(uint32_t length, uint8_t bitRateIndex) {
    if (m_lengths.empty())
        m_bitRateIndex = bitRateIndex;
    m_constant = m_constant && bitRateIndex == m_bitRateIndex;
    m_lengths.push_back(length);
}

void StreamWriter::remember(std::span<const uint8_t> frame) {
    m_last.emplace_back(frame.begin(), frame.end());
    if (m_last.size() > kRememberedFrames)
        m_last.pop_front();
}

} // namespace tindrel
