// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/ExactCut.h"

#include "core/StreamWriter.h"

#include "mpeg/FileWindow.h"
#include "mpeg/InfoFrame.h"
#include "platform/FileStream.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <stdexcept>

namespace tindrel {

namespace {

// A decoder works in granules of 576 samples; the sound of one granule
// overlaps the next, and its synthesis reaches back into the one before,
// so a granule comes out exactly as in the whole stream once the two
// before it were decoded from their true bits.
constexpr int64_t kGranule = 576;
constexpr int64_t kLeadGranules = 2;
// The furthest a Layer III frame's main data may start before its own
// data area: 9 bits of reservoir in MPEG 1, 8 bits in MPEG 2 and 2.5.
int64_t reservoirLimit(const TMPEGFrame& format) {
    return format.VersionCode == kMPEG1 ? 511 : 255;
}

std::vector<uint8_t> readBytes(const FileStream& input, int64_t offset, std::size_t count) {
    std::vector<uint8_t> bytes(count);
    if (ReadWindow(input, offset, bytes) < count)
        throw StreamReadError();
    return bytes;
}

// Where the data area of a frame of the stream begins: each frame says for
// itself whether a CRC stands before its side information.
std::size_t dataOffset(const TMPEGFrame& format, const uint8_t* header) {
    TMPEGFrame frame = format;
    frame.Protected = (header[1] & 1) == 0;
    return DataAreaOffset(frame);
}

// The main data that frames from `first` on may take from before their own:
// the last bytes of the data areas of the frames before it, as many as the
// first frames reach back for.
} // namespace

std::vector<uint8_t> ReservoirBefore(const FileStream& input, const TFrameWalk& walk, std::size_t first) {
    const int64_t limit = reservoirLimit(walk.Format);
    int64_t needed = 0;
    int64_t behind = 0; // data bytes of the frames from `first` up to k
    for (std::size_t k = first; k < walk.Frames.size() && behind < limit; ++k) {
        needed = std::max(needed, int64_t(walk.Frames[k].MainDataBegin) - behind);
        const std::vector<uint8_t> head = readBytes(input, walk.Frames[k].Offset, 4);
        behind += int64_t(walk.Frames[k].Length) - int64_t(dataOffset(walk.Format, head.data()));
    }
    std::vector<uint8_t> tail;
    for (std::size_t k = first; k-- > 0 && int64_t(tail.size()) < needed;) {
        const std::vector<uint8_t> frame = readBytes(input, walk.Frames[k].Offset, walk.Frames[k].Length);
        const std::size_t data = dataOffset(walk.Format, frame.data());
        const auto take =
            std::min<std::size_t>(frame.size() - std::min(data, frame.size()), std::size_t(needed) - tail.size());
        tail.insert(tail.begin(), frame.end() - long(take), frame.end());
    }
    return tail;
}

// How many silent frames go before the first frame of a piece from inside
// the stream (the last of them carries the reservoir). Decoders run their
// synthesis filter through a ring of buffers that advances with every
// frame they decode; the pieces come out bit for bit as in the whole stream
// only when the ring stands where it stood there, which the count of
// frames before the first sets. Found by decoding with mpg123: the count
// must have the parity of the first frame's index in MPEG 1, and be 2 in
// MPEG 2 and 2.5. Both fit the delay field's 12 bits with the lead frames.
int64_t SilentFramesBefore(const TMPEGFrame& format, std::size_t first) {
    if (format.VersionCode != kMPEG1)
        return 2;
    return first % 2 == 0 ? 2 : 1;
}

namespace {

bool isSilentFrame(std::span<const uint8_t> frame, const TMPEGFrame& format) {
    const std::size_t data = dataOffset(format, frame.data());
    return frame.size() >= data && std::all_of(frame.begin() + long(data - SideInfoSize(format)),
                                               frame.begin() + long(data), [](uint8_t b) { return b == 0; });
}

} // namespace

std::string NoMPEGAudioMessage(const std::string& path) {
    return "\"" + path + "\" holds no MPEG audio; only MP3 files can be cut or joined.";
}

TFrameWalk WalkSource(const FileStream& input, std::optional<TStreamTime> until) {
    const int64_t size = input.size();
    int64_t begin = 0;
    int64_t end = size;
    std::array<uint8_t, TID3v2::kHeaderSize> head{};
    ReadWindow(input, 0, head);
    TagHeader header;
    header.bytes = head;
    header.fileSize = size;
    if (header.StartsWithTag())
        begin = header.TagSize();
    std::array<uint8_t, 3> tail{};
    if (size >= int64_t(TID3v1::kBlockSize) && ReadWindow(input, size - int64_t(TID3v1::kBlockSize), tail) == 3 &&
        tail == std::array<uint8_t, 3>{'T', 'A', 'G'})
        end = size - int64_t(TID3v1::kBlockSize);
    TFrameWalk walk = WalkFrames(input, begin, std::max(begin, end), until);
    if (!walk.Found || walk.Frames.empty())
        throw std::runtime_error(NoMPEGAudioMessage(input.path()));
    if (walk.Format.LayerCode != kLayerIII)
        throw std::runtime_error("\"" + input.path() +
                                 "\" is not MPEG Layer III audio; the exact mode cuts only that.");
    return walk;
}

bool WriteExactPiece(FileStream& input, const TFrameWalk& walk, int64_t firstSample, int64_t endSample,
                     FileStream& out) {
    endSample = std::min(endSample, walk.ValidSamples());
    firstSample = std::max<int64_t>(firstSample, 0);
    if (firstSample >= endSample || walk.Frames.empty())
        return false;
    const int64_t spf = walk.SamplesPerFrame();
    const int64_t granulesPerFrame = spf / kGranule;
    // Positions in the source's decoder output.
    const int64_t start = firstSample + walk.ValidBegin();
    const int64_t end = endSample + walk.ValidBegin();
    const int64_t leadGranule = start / kGranule - kLeadGranules;
    const std::size_t first = leadGranule <= 0 ? 0 : std::size_t(leadGranule / granulesPerFrame);
    const std::size_t last = std::min(std::size_t((end - 1) / spf), walk.Frames.size() - 1);
    // A piece from inside the stream starts with a silent frame holding the
    // reservoir its first frames take their main data from; a piece whose
    // start lies within the decoder's delay needs one too, as the delay
    // field cannot be negative.
    const int64_t startInPiece = start - int64_t(first) * spf;
    const bool silentFirst = first > 0 || startInPiece < kDecoderDelay;
    std::vector<uint8_t> silent;
    uint8_t firstIndex = walk.Frames[first].BitRateIndex;
    if (silentFirst) {
        const std::vector<uint8_t> tail = ReservoirBefore(input, walk, first);
        firstIndex = BitRateIndexForData(walk.Format, tail.size(), firstIndex);
        silent = BuildSilentFrame(walk.Format, firstIndex, tail);
    }
    const int64_t silentFrames = silentFirst ? SilentFramesBefore(walk.Format, first) : 0;
    const int64_t lead = silentFrames * spf;
    const int64_t total = lead + int64_t(last - first + 1) * spf;
    StreamWriter writer(out);
    writer.begin(walk, input, firstIndex);
    for (int64_t i = 1; i < silentFrames; ++i)
        writer.appendFrame(BuildSilentFrame(walk.Format, firstIndex, {}), firstIndex);
    if (silentFirst)
        writer.appendFrame(silent, firstIndex);
    writer.copyFrames(input, walk.Frames, first, last + 1);
    writer.finish(lead + startInPiece - kDecoderDelay, total + kDecoderDelay - (lead + end - int64_t(first) * spf));
    return true;
}

// ---- ExactJoiner ---------------------------------------------------------------

struct ExactJoiner::State {
    explicit State(FileStream& out) : writer(out) {}
    StreamWriter writer;
    int64_t validBegin = 0; // in the joined stream's decoder output
    int64_t validEnd = 0;
    int64_t samplesPerFrame = 0;
};

ExactJoiner::ExactJoiner(FileStream& out) : m_state(std::make_unique<State>(out)) {}
ExactJoiner::~ExactJoiner() = default;

void ExactJoiner::Append(FileStream& input, const TFrameWalk& walk) {
    State& s = *m_state;
    const auto& frames = walk.Frames;
    if (frames.empty())
        return;
    const int64_t spf = walk.SamplesPerFrame();
    if (!s.writer.started()) {
        s.samplesPerFrame = spf;
        s.writer.begin(walk, input, frames.front().BitRateIndex);
        int64_t lead = 0;
        if (walk.ValidBegin() < kDecoderDelay) {
            // Without the encoder's delay the stream's first sample is
            // wanted; the delay field cannot reach before the decoder's own.
            s.writer.appendFrame(BuildSilentFrame(walk.Format, frames.front().BitRateIndex, {}),
                                 frames.front().BitRateIndex);
            lead = spf;
        }
        s.writer.copyFrames(input, frames, 0, frames.size());
        s.validBegin = lead + walk.ValidBegin();
        s.validEnd = lead + walk.ValidEnd();
        return;
    }
    const int64_t written = s.writer.frameCount();
    const int64_t shift = s.validEnd - walk.ValidBegin();
    if (shift >= 0 && shift % spf == 0) {
        // The input continues the stream if its frames from its first
        // sounding one on repeat those written at the same time.
        const int64_t k = shift / spf;
        int64_t j0 = 0;
        while (j0 < int64_t(frames.size()) &&
               isSilentFrame(readBytes(input, frames[std::size_t(j0)].Offset, frames[std::size_t(j0)].Length),
                             walk.Format))
            ++j0;
        const int64_t jEnd = std::min<int64_t>(int64_t(frames.size()), written - k);
        const int64_t jLead = std::max<int64_t>(0, (walk.ValidBegin() / kGranule - kLeadGranules) * kGranule / spf);
        const auto& last = s.writer.lastFrames();
        const int64_t firstRemembered = written - int64_t(last.size());
        bool repeats = jEnd - j0 >= 1 && j0 <= jLead && j0 + k >= firstRemembered;
        for (int64_t j = j0; repeats && j < jEnd; ++j)
            repeats = readBytes(input, frames[std::size_t(j)].Offset, frames[std::size_t(j)].Length) ==
                      last[std::size_t(j + k - firstRemembered)];
        if (repeats) {
            s.writer.copyFrames(input, frames, std::size_t(jEnd), frames.size());
            s.validEnd = k * spf + walk.ValidEnd();
            return;
        }
    }
    // Another stream: its frames follow whole, and the samples around the
    // seam that its encoder and the last one's added stay in.
    s.writer.copyFrames(input, frames, 0, frames.size());
    s.validEnd = written * spf + walk.ValidEnd();
}

void ExactJoiner::Finish() {
    State& s = *m_state;
    const int64_t total = s.writer.frameCount() * s.samplesPerFrame;
    s.writer.finish(s.validBegin - kDecoderDelay, total + kDecoderDelay - s.validEnd);
}

std::optional<std::string> ExactJoinRefusal(const std::vector<std::string>& paths,
                                            const std::vector<TFrameWalk>& walks) {
    if (walks.empty())
        return std::nullopt;
    const auto describe = [&](std::size_t i) {
        const TFrameWalk& w = walks[i];
        const char* version = w.Format.VersionCode == kMPEG1   ? "MPEG 1"
                              : w.Format.VersionCode == kMPEG2 ? "MPEG 2"
                                                               : "MPEG 2.5";
        return "\"" + paths[i] + "\" (" + std::to_string(w.SampleRate()) + " Hz, " +
               (w.Channels() == 1 ? "mono" : "stereo") + ", " + version + ")";
    };
    std::string differing;
    const TMPEGFrame& f = walks[0].Format;
    for (std::size_t i = 1; i < walks.size(); ++i) {
        const TFrameWalk& w = walks[i];
        if (w.SampleRate() != walks[0].SampleRate() || w.Channels() != walks[0].Channels() ||
            w.Format.VersionCode != f.VersionCode || w.Format.LayerCode != f.LayerCode)
            differing += (differing.empty() ? "" : ", ") + describe(i);
    }
    if (differing.empty())
        return std::nullopt;
    return "These files differ from " + describe(0) +
           " in sample rate, channels or MPEG version and cannot be joined exactly: " + differing + ".";
}

} // namespace tindrel
