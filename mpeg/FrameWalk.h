// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/FrameHeader.h"
#include "mpeg/InfoFrame.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tindrel {

class FileStream;

// One audio frame of a walked stream.
struct TFrameSpan {
    int64_t Offset = 0;  // file position of the header
    uint32_t Length = 0; // bytes, padding included
    // Layer III: how many bytes before its own data area the frame's main
    // data begins (the bit reservoir); 0 for Layers I and II.
    uint16_t MainDataBegin = 0;
    uint8_t BitRateIndex = 0;

    int64_t End() const { return Offset + Length; }
};

inline constexpr int64_t kDecoderDelay = kMp3DecoderDelay;

// A time in a stream's gapless audio: Units / PerSecond seconds from its
// first sample.
struct TStreamTime {
    int64_t Units = 0;
    int64_t PerSecond = 1000;

    // The sample at that time at sampleRate, rounded down; never below 0.
    int64_t SampleAt(uint32_t sampleRate) const { return Units <= 0 ? 0 : Units * sampleRate / PerSecond; }
};

// Every frame of a stream, found by stepping from header to header.
struct TFrameWalk {
    bool Found = false;
    // False when the walk stopped at a time (see WalkFrames): Frames then
    // holds only the stream's first frames.
    bool Whole = true;
    // The header fields of the first audio frame: the stream's format.
    TMPEGFrame Format;
    // In a free format stream, the length of its frames before their
    // padding; 0 otherwise.
    uint32_t FreeFormatBytes = 0;
    // The Xing/Info or VBRI frame before the audio, if any; it carries no
    // sound and is not in Frames.
    int64_t InfoOffset = -1;
    uint32_t InfoLength = 0;
    TInfoFrame Info;
    std::vector<TFrameSpan> Frames;

    uint32_t SamplesPerFrame() const;
    uint32_t SampleRate() const { return TableSampleRate(Format); }
    int Channels() const { return Format.ModeCode == kModeMono ? 1 : 2; }
    int64_t TotalSamples() const { return int64_t(Frames.size()) * SamplesPerFrame(); }
    // The part of the decoder's output that is the encoder's input, as a
    // gapless decoder cuts it: [ValidBegin, ValidEnd) in samples from the
    // first audio frame. Without encoder delay and padding every sample is
    // kept.
    int64_t ValidBegin() const;
    int64_t ValidEnd() const;
    int64_t ValidSamples() const { return ValidEnd() - ValidBegin(); }
    // The first byte of the stream (the info frame when there is one) and
    // the byte after its last whole frame.
    int64_t StreamBegin() const;
    int64_t StreamEnd() const;
};

// Walks the frames of file between begin and end (normally from behind an
// ID3v2 tag to before an ID3v1 tag). The first frame is where
// FindAudioStart finds audio to start; later frames must keep its MPEG
// version, layer and sample rate, and bytes that are no such frame are
// stepped over to the next header that is followed by another. A frame cut
// off by end is left out. Reads in large blocks; throws "Stream read
// error" when the system refuses a read.
//
// With until, the walk may stop once its frames hold the audio up to that
// time and ValidEnd() of the frames walked is at least that time's sample
// (the end padding counted), so that a piece ending there is cut and
// clamped to the valid end just as from the whole walk. Frames before a
// time near the start are all a range cut needs; TotalSamples() and
// ValidEnd() of such a walk are not the stream's.
TFrameWalk WalkFrames(const FileStream& file, int64_t begin, int64_t end,
                      std::optional<TStreamTime> until = std::nullopt);

// Takes each audio frame of a walk with its bytes, valid during the call.
using TFrameVisitor = std::function<void(const TFrameSpan& frame, std::span<const uint8_t> bytes)>;

// The whole walk above, giving each audio frame to visit as it is found
// instead of keeping it in Frames, which stays empty: a pass over every
// frame's bytes (a new gain for each) then reads the file once, and keeps
// no list of the frames of a long file.
TFrameWalk WalkFrames(const FileStream& file, int64_t begin, int64_t end, const TFrameVisitor& visit);

} // namespace tindrel
