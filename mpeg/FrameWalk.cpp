// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "mpeg/FrameWalk.h"

#include "mpeg/FileWindow.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <memory>

namespace tindrel {

namespace {

// Frame headers are read from blocks this large, so a walk costs one read
// of the stream whatever its frames.
// Larger blocks cost fewer calls but more than they save: the frames'
// headers are then looked at after the block has left the processor's
// cache (a 1 MiB block made a whole walk 15 % slower).
constexpr std::size_t kWalkBlockBytes = 64 * 1024;
// Frames of a day at 48 kHz: a walk reserves room for no more at the start.
constexpr int64_t kMostFramesReserved = int64_t(1) << 22;

// Bytes of the file at absolute positions below end, through one block.
class BlockReader {
public:
    BlockReader(const FileStream& file, int64_t end)
        : m_file(file), m_end(end), m_block(std::make_unique_for_overwrite<uint8_t[]>(kWalkBlockBytes)) {}

    // The n bytes at position, or nullptr when they run past end.
    const uint8_t* at(int64_t position, std::size_t n) {
        if (position < 0 || position + int64_t(n) > m_end)
            return nullptr;
        if (position < m_start || position + int64_t(n) > m_start + int64_t(m_size)) {
            const auto wanted = static_cast<std::size_t>(std::min<int64_t>(int64_t(kWalkBlockBytes), m_end - position));
            m_start = position;
            m_size = ReadWindow(m_file, position, std::span(m_block.get(), wanted));
            if (m_size < n)
                throw StreamReadError();
        }
        return m_block.get() + (position - m_start);
    }

private:
    const FileStream& m_file;
    int64_t m_end;
    std::unique_ptr<uint8_t[]> m_block;
    int64_t m_start = 0;
    std::size_t m_size = 0;
};

// A header of the stream's kind: same version, layer and sample rate.
bool sameKind(const uint8_t* header, const TMPEGFrame& format) {
    if (!IsFrameHeader(header, true))
        return false;
    TMPEGFrame frame;
    DecodeFrameHeader(header, frame);
    return SameKind(frame, format);
}

// The length of the frame behind a header of the stream's kind. Frames
// mostly repeat the header before them but for the mode bits, on which
// neither the kind nor the length depends, so both are worked out once for
// each such header.
class FrameLengths {
public:
    // 0 when the header is not of format's kind.
    uint32_t of(const uint8_t* header, const TMPEGFrame& format, uint32_t freeFormatBytes) {
        const uint32_t key =
            uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 | uint32_t(header[2]) << 8 | uint32_t(header[3] & 3);
        if (key != m_key || freeFormatBytes != m_free) {
            m_key = key;
            m_free = freeFormatBytes;
            m_length = 0;
            if (sameKind(header, format)) {
                DecodeFrameHeader(header, m_frame);
                m_length = FrameLength(m_frame, freeFormatBytes);
            }
        }
        return m_length;
    }
    // The last header worked out; all but its mode bits are the frame's.
    const TMPEGFrame& frame() const { return m_frame; }

private:
    uint32_t m_key = 0; // no header starts with a 0 byte
    uint32_t m_length = 0;
    uint32_t m_free = 0;
    TMPEGFrame m_frame;
};

// The first position from p on that holds a header of the stream's kind
// whose successor is another, or which ends exactly at the end.
std::optional<int64_t> findNextFrame(BlockReader& reader, int64_t p, int64_t end, const TMPEGFrame& format,
                                     uint32_t freeFormatBytes) {
    for (; p + 4 <= end; ++p) {
        const uint8_t* header = reader.at(p, 4);
        if (header[0] != 0xFF || !sameKind(header, format))
            continue;
        TMPEGFrame frame;
        DecodeFrameHeader(header, frame);
        const int64_t next = p + FrameLength(frame, freeFormatBytes);
        if (next == end)
            return p;
        const uint8_t* successor = reader.at(next, 4);
        if (next > p && successor && sameKind(successor, frame))
            return p;
    }
    return std::nullopt;
}

} // namespace

uint32_t TFrameWalk::SamplesPerFrame() const {
    return tindrel::SamplesPerFrame(Format);
}

int64_t TFrameWalk::ValidBegin() const {
    return Info.HasExtension ? Info.EncoderDelay + kDecoderDelay : 0;
}

int64_t TFrameWalk::ValidEnd() const {
    if (!Info.HasExtension)
        return TotalSamples();
    // A stream cut short (a broken download) lost the frames its end
    // padding was in: every sample of the frames that are left is real.
    if (Whole && Info.FrameCount > int64_t(Frames.size()))
        return std::max(ValidBegin(), TotalSamples());
    return std::max(ValidBegin(), TotalSamples() - Info.EncoderPadding + kDecoderDelay);
}

int64_t TFrameWalk::StreamBegin() const {
    if (InfoOffset >= 0)
        return InfoOffset;
    return Frames.empty() ? 0 : Frames.front().Offset;
}

int64_t TFrameWalk::StreamEnd() const {
    return Frames.empty() ? StreamBegin() + InfoLength : Frames.back().End();
}

namespace {

TFrameWalk walkFrames(const FileStream& file, int64_t begin, int64_t end, std::optional<TStreamTime> until,
                      const TFrameVisitor* visit) {
    TFrameWalk walk;
    BlockReader reader(file, end);
    const std::optional<TAudioStart> start = FindAudioStart(reader, begin, end - 4);
    if (!start)
        return walk;
    std::optional<int64_t> p = start->Offset;
    walk.FreeFormatBytes = start->FreeFormatBytes;
    DecodeFrameHeader(reader.at(*p, 4), walk.Format);
    walk.Found = true;
    // Room for as many frames as the first one's length gives the stream
    // (up to a day of audio): a list grown step by step would copy itself
    // over fresh memory again and again, which cost a fifth of the edit of
    // an hour. Room never touched costs no memory.
    // A walk to a time needs room for the frames up to it only (and the
    // few that the delays and the padding add).
    if (!visit)
        if (const uint32_t length = FrameLength(walk.Format, walk.FreeFormatBytes); length > 0) {
            int64_t frames = std::min<int64_t>((end - *p) / length + 16, kMostFramesReserved);
            if (until)
                frames = std::min<int64_t>(
                    frames, until->SampleAt(TableSampleRate(walk.Format)) / tindrel::SamplesPerFrame(walk.Format) + 64);
            walk.Frames.reserve(std::size_t(std::max<int64_t>(frames, 0)));
        }
    bool first = true;
    // The frames' samples that reach until: those up to its sample in the
    // decoder's output, and as many more as the end padding takes off the
    // valid end, so that the valid end of the frames walked lies past it
    // too. Known once the first frame told whether it is an info frame.
    int64_t samplesWanted = -1;
    int64_t samplesWalked = 0;
    const int64_t samplesPerFrame = tindrel::SamplesPerFrame(walk.Format);
    int64_t walked = 0;
    FrameLengths lengths;
    while (p && *p + 4 <= end) {
        if (samplesWanted >= 0 && samplesWalked >= samplesWanted && walked > 0) {
            walk.Whole = false;
            break;
        }
        const uint8_t* header = reader.at(*p, 4);
        // Free format frames may follow frames of a set bit rate (an exact
        // piece starts with such): their length is found at the first.
        if (walk.FreeFormatBytes == 0 && header[2] >> 4 == 0 && sameKind(header, walk.Format)) {
            TMPEGFrame frame;
            DecodeFrameHeader(header, frame);
            walk.FreeFormatBytes = FreeFormatBytes(reader, *p, frame);
        }
        const uint32_t length = lengths.of(header, walk.Format, walk.FreeFormatBytes);
        if (length == 0) {
            p = findNextFrame(reader, *p + 1, end, walk.Format, walk.FreeFormatBytes);
            continue;
        }
        const uint8_t* bytes = reader.at(*p, length);
        if (!bytes)
            break;
        if (first) {
            first = false;
            TMPEGFrame frame;
            DecodeFrameHeader(header, frame);
            walk.Info = ReadInfoFrame(std::span(bytes, length), frame);
            if (until)
                samplesWanted =
                    until->SampleAt(TableSampleRate(walk.Format)) + walk.ValidBegin() +
                    std::max<int64_t>(0, walk.Info.HasExtension ? walk.Info.EncoderPadding - kDecoderDelay : 0);
            if (walk.Info.Found) {
                walk.InfoOffset = *p;
                walk.InfoLength = length;
                *p += length;
                continue;
            }
        }
        // The format is that of the audio, not of the info frame before it.
        if (walked == 0)
            DecodeFrameHeader(header, walk.Format);
        const TMPEGFrame& frame = lengths.frame();
        const TFrameSpan span{*p, length, MainDataBegin(frame, bytes), uint8_t(frame.BitRateIndex)};
        if (visit)
            (*visit)(span, std::span(bytes, length));
        else
            walk.Frames.push_back(span);
        ++walked;
        samplesWalked += samplesPerFrame;
        *p += length;
    }
    return walk;
}

} // namespace

TFrameWalk WalkFrames(const FileStream& file, int64_t begin, int64_t end, std::optional<TStreamTime> until) {
    return walkFrames(file, begin, end, until, nullptr);
}

TFrameWalk WalkFrames(const FileStream& file, int64_t begin, int64_t end, const TFrameVisitor& visit) {
    return walkFrames(file, begin, end, std::nullopt, &visit);
}

} // namespace tindrel
