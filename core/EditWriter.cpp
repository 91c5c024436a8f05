// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/EditWriter.h"

#include "core/ExactCut.h"
#include "core/SeamEncoder.h"
#include "core/Split.h"
#include "core/StreamWriter.h"
#include "engine/Decoder.h"
#include "engine/FileDecoder.h"
#include "mpeg/FileWindow.h"
#include "mpeg/GlobalGain.h"
#include "platform/AtomicFile.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace tindrel {

namespace {

// A decoder works in granules of 576 samples, and a granule comes out as
// in the whole stream once the two before it were decoded from their true
// bits.
constexpr int64_t kGranule = 576;
constexpr int64_t kLeadGranules = 2;
// Frames encoded anew around an inner seam: the one holding it and, on
// either side, as many as last an MPEG 1 frame (one; two of the half-long
// MPEG 2 and 2.5 frames). The encoder's filter and transform windows
// reach some 1,100 samples from the seam, and a frame of the source beside
// one whose windows hold the seam's jump leaves the jump's aliasing
// uncancelled: a burst up to the signal's own level.
int64_t bridgeSide(int64_t spf) {
    return (1152 + spf - 1) / spf;
}
int64_t bridgeFrames(int64_t spf) {
    return 2 * bridgeSide(spf) + 1;
}
// Samples the encoder is given before the frames kept, and after them.
// Its first sample comes out some 1,100 samples into its output (its own
// delay and the decoder's), and the first frame kept must overlap a whole
// granule of real sound before it: otherwise that granule's transform
// window holds the encoder's leading silence where the source's frame
// before it holds sound, and the two halves do not add up to the signal.
// Counted in samples, not frames: an MPEG 2 frame is half as long.
constexpr int64_t kWarmUpSamples = 2 * 1152;
constexpr int64_t kRunOutSamples = 2 * 1152;
// Frames copied without a look at their gains are copied in runs of this
// many, between which progress is shown and a stop is seen.
constexpr std::size_t kRunFrames = 4096;
// Samples decoded before those read for a bridge.
constexpr int64_t kPreroll = 4 * 1152;

using Frame = std::vector<uint8_t>;

// Each frame says for itself whether a CRC stands before its side
// information.
std::size_t dataOffset(const TMPEGFrame& format, const uint8_t* frame) {
    TMPEGFrame own = format;
    own.Protected = (frame[1] & 1) == 0;
    return DataAreaOffset(own);
}

void mendFrameCrc(Frame& frame, const TMPEGFrame& format) {
    if ((frame[1] & 1) != 0)
        return;
    const uint16_t crc = FrameCrc16(frame, SideInfoSize(format));
    frame[4] = uint8_t(crc >> 8);
    frame[5] = uint8_t(crc);
}

// Gives a frame the lowest higher bit rate whose frame is at least extra
// bytes longer; the new bytes, zeros, follow its data area, where no main
// data of its own lies. False when no bit rate is high enough.
bool growFrame(Frame& frame, std::size_t extra) {
    TMPEGFrame header;
    DecodeFrameHeader(frame.data(), header);
    for (uint16_t index = header.BitRateIndex + 1; index < 15; ++index) {
        TMPEGFrame grown = header;
        grown.BitRateIndex = index;
        grown.Padded = false;
        const std::size_t length = FrameLength(grown);
        if (length >= frame.size() + extra) {
            frame[2] = uint8_t(index << 4 | (frame[2] & 0x0D)); // the padding bit cleared
            frame.resize(length, 0);
            mendFrameCrc(frame, header);
            return true;
        }
    }
    return false;
}

std::size_t dataBytes(const std::vector<Frame>& frames, const TMPEGFrame& format) {
    std::size_t bytes = 0;
    for (const Frame& f : frames)
        bytes += f.size() - std::min(f.size(), dataOffset(format, f.data()));
    return bytes;
}

// Puts tail at the very end of the frames' data areas, where the frame
// after them looks for the main data it takes from before its own.
void putTail(std::vector<Frame>& frames, const TMPEGFrame& format, std::span<const uint8_t> tail) {
    std::size_t left = tail.size();
    for (auto f = frames.rbegin(); f != frames.rend() && left > 0; ++f) {
        const std::size_t data = dataOffset(format, f->data());
        const std::size_t take = std::min(left, f->size() - data);
        std::copy(tail.begin() + long(left - take), tail.begin() + long(left), f->end() - long(take));
        left -= take;
    }
}

Frame readFrame(const FileStream& input, const TFrameSpan& span) {
    Frame frame(span.Length);
    if (ReadWindow(input, span.Offset, frame) < frame.size())
        throw StreamReadError();
    return frame;
}

// A kept stretch of source frames and where in the source's decoder output
// its kept audio starts and ends.
struct Piece {
    std::size_t first = 0;
    std::size_t end = 0;
    int64_t from = 0; // decoder samples of the source
    int64_t to = 0;
    // Exact: the shift in frames of the audio after the seam that starts
    // this piece (0 for the first piece).
    int64_t shift = 0;
};

int64_t roundedFrame(int64_t sample, int64_t spf) {
    return (sample + spf / 2) / spf;
}

// The kept ranges as stretches of frames. Frames: an inner seam goes to
// the nearest frame boundary, and pieces that meet there merge. Exact: an
// inner seam stays where it is and the audio after it moves by whole
// frames; the frames around it are encoded anew.
std::vector<Piece> planPieces(const TFrameWalk& walk, const std::vector<SampleRange>& kept, EditMode mode) {
    const int64_t spf = walk.SamplesPerFrame();
    const int64_t vb = walk.ValidBegin();
    const int64_t frames = int64_t(walk.Frames.size());
    std::vector<Piece> pieces;
    for (const SampleRange& r : kept) {
        Piece piece{0, 0, r.Begin + vb, r.End + vb, 0};
        if (!pieces.empty()) {
            Piece& last = pieces.back();
            if (mode == EditMode::Frames) {
                piece.from = roundedFrame(piece.from, spf) * spf;
                last.to = std::max(last.from, roundedFrame(last.to, spf) * spf);
                if (piece.from <= last.to) {
                    last.to = piece.to;
                    continue;
                }
            } else {
                const int64_t shift = std::max<int64_t>(1, roundedFrame(piece.from - last.to, spf));
                piece.from = last.to + shift * spf;
                piece.shift = shift;
            }
        }
        pieces.push_back(piece);
    }
    for (Piece& piece : pieces) {
        const int64_t lead = std::max<int64_t>(0, piece.from / kGranule - kLeadGranules) * kGranule / spf;
        piece.first = std::size_t(&piece == &pieces.front() ? lead : piece.from / spf);
        piece.end = std::size_t(std::clamp<int64_t>((piece.to - 1) / spf + 1, int64_t(piece.first), frames));
    }
    if (mode == EditMode::Exact)
        for (std::size_t i = 1; i < pieces.size(); ++i) {
            // The frames encoded anew take the place of those before the
            // seam's, the seam's and those after it.
            Piece& before = pieces[i - 1];
            const int64_t bridgeStart = std::min(int64_t(before.end), before.to / spf - bridgeSide(spf));
            before.end = std::size_t(std::max(int64_t(before.first), bridgeStart));
            pieces[i].first = std::size_t(std::min(int64_t(before.end) + bridgeFrames(spf) + pieces[i].shift, frames));
            pieces[i].end = std::max(pieces[i].end, pieces[i].first);
        }
    return pieces;
}

// Reads gapless samples of the source, with silence outside its audio.
class SourceSamples {
public:
    explicit SourceSamples(const std::string& path) : m_decoder(engine::OpenFileDecoder(path)) {}
    int channels() const { return m_decoder->channels(); }

    // The decoder is started a few frames early: the frames just after a
    // seek lack the main data of those before them.
    std::vector<int16_t> read(int64_t from, int64_t count) {
        const std::size_t ch = std::size_t(channels());
        std::vector<int16_t> out(std::size_t(count) * ch, 0);
        const int64_t first = std::max<int64_t>(from, 0);
        const int64_t begin = std::max<int64_t>(first - kPreroll, 0);
        if (first >= from + count || !m_decoder->seek(begin))
            return out;
        std::vector<int16_t> decoded(std::size_t(from + count - begin) * ch);
        int64_t at = 0;
        while (at < from + count - begin) {
            const std::size_t got =
                m_decoder->read(decoded.data() + std::size_t(at) * ch, std::size_t(from + count - begin - at));
            if (got == 0)
                break;
            at += int64_t(got);
        }
        if (at > first - begin)
            std::copy(decoded.begin() + long(std::size_t(first - begin) * ch),
                      decoded.begin() + long(std::size_t(at) * ch), out.begin() + long(std::size_t(first - from) * ch));
        return out;
    }

private:
    std::unique_ptr<engine::Decoder> m_decoder;
};

class EditStream {
public:
    EditStream(FileStream& input, const TFrameWalk& walk, const std::vector<GainSpan>& gains, EditMode mode,
               FileStream& out, EditObserver& observer)
        : m_input(input), m_walk(walk), m_gains(gains), m_mode(mode), m_writer(out), m_observer(observer),
          m_spf(walk.SamplesPerFrame()) {}

    std::optional<EditLayout> write(const std::vector<Piece>& pieces);

private:
    void writeLead(const Piece& piece);
    bool copyPiece(const Piece& piece, bool holdBack);
    void mendSeam(const Piece& before, const Piece& after);
    void encodeSeam(const Piece& before, const Piece& after);
    std::vector<Frame> encodeBridge(const SeamEncoder& encoder, const Piece& before, const Piece& after);
    void flushPending();
    void progress();
    std::optional<TGainSteps> gainAt(int64_t frame) const;
    Frame frameWithGain(std::size_t k) const;
    int64_t outputPosition(const Piece& piece, int64_t decoderSample) const {
        return m_pieceOut * m_spf + decoderSample - int64_t(piece.first) * m_spf;
    }

    FileStream& m_input;
    const TFrameWalk& m_walk;
    const std::vector<GainSpan>& m_gains;
    EditMode m_mode;
    StreamWriter m_writer;
    EditObserver& m_observer;
    int64_t m_spf;
    std::vector<Frame> m_pending; // the last frames, held back for the seam after them
    int64_t m_pieceOut = 0;       // frames before the current piece's first
    std::unique_ptr<SourceSamples> m_samples;
    int64_t m_framesToCopy = 1;
    int64_t m_framesCopied = 0;
};

std::optional<EditLayout> EditStream::write(const std::vector<Piece>& pieces) {
    for (const Piece& p : pieces)
        m_framesToCopy += int64_t(p.end - p.first);
    EditLayout layout;
    writeLead(pieces.front());
    const int64_t validBegin = outputPosition(pieces.front(), pieces.front().from);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        if (i > 0) {
            const Piece& before = pieces[i - 1];
            EditSeam seam;
            if (m_mode == EditMode::Frames) {
                mendSeam(before, piece);
            } else {
                encodeSeam(before, piece);
                seam.EncodedFrames = int(bridgeFrames(m_spf));
            }
            seam.SourceEnd = before.to - m_walk.ValidBegin();
            seam.SourceResume = piece.from - m_walk.ValidBegin();
            seam.OutputSample = outputPosition(piece, piece.from) - validBegin;
            layout.Seams.push_back(seam);
        }
        const bool last = i + 1 == pieces.size();
        if (!copyPiece(piece, !last && m_mode == EditMode::Frames))
            return std::nullopt;
        if (!last)
            m_pieceOut += int64_t(piece.end - piece.first);
    }
    flushPending();
    const Piece& last = pieces.back();
    const int64_t validEnd = outputPosition(last, last.to);
    layout.OutputSamples = validEnd - validBegin;
    m_writer.finish(validBegin - kDecoderDelay, m_writer.frameCount() * m_spf + kDecoderDelay - validEnd);
    return layout;
}

// The stream starts as an exact piece does: a piece from inside the source
// is led by silent frames, the last of them carrying the reservoir its
// first frames take main data from.
void EditStream::writeLead(const Piece& piece) {
    const std::size_t first = piece.first;
    const bool silentFirst = first > 0 || piece.from - int64_t(first) * m_spf < kDecoderDelay;
    uint8_t index = m_walk.Frames[first].BitRateIndex;
    Frame carrier;
    if (silentFirst) {
        const std::vector<uint8_t> tail = ReservoirBefore(m_input, m_walk, first);
        index = BitRateIndexForData(m_walk.Format, tail.size(), index);
        carrier = BuildSilentFrame(m_walk.Format, index, tail);
    }
    m_writer.begin(m_walk, m_input, index);
    if (!silentFirst)
        return;
    const int64_t silent = SilentFramesBefore(m_walk.Format, first);
    for (int64_t i = 1; i < silent; ++i)
        m_writer.appendFrame(BuildSilentFrame(m_walk.Format, index, {}), index);
    m_writer.appendFrame(carrier, index);
    m_pieceOut = silent;
}

// Copies the piece's frames; with holdBack, the last of them (as many as
// hold the most main data a frame may take from before its own) are kept
// in memory for the seam that follows.
bool EditStream::copyPiece(const Piece& piece, bool holdBack) {
    const auto& frames = m_walk.Frames;
    std::size_t copyEnd = piece.end;
    if (holdBack) {
        std::size_t data = 0;
        while (copyEnd > piece.first && data < 1024) {
            --copyEnd;
            data += frames[copyEnd].Length;
        }
    }
    for (std::size_t k = piece.first; k < copyEnd;) {
        if (m_observer.stopRequested())
            return false;
        std::size_t to = k;
        while (to < copyEnd && to < k + kRunFrames && !gainAt(int64_t(to)))
            ++to;
        if (to > k) {
            m_writer.copyFrames(m_input, frames, k, to);
        } else {
            const Frame frame = frameWithGain(k);
            m_writer.appendFrame(frame, uint8_t(frame[2] >> 4));
            ++to;
        }
        m_framesCopied += int64_t(to - k);
        progress();
        k = to;
    }
    for (std::size_t k = copyEnd; k < piece.end; ++k)
        m_pending.push_back(frameWithGain(k));
    return true;
}

// The steps the gains give each granule of the frame at that place in the
// source's frames, both channels alike: a granule takes the gain at its
// middle. Nothing when no gain reaches it.
std::optional<TGainSteps> EditStream::gainAt(int64_t frame) const {
    if (m_gains.empty())
        return std::nullopt;
    TGainSteps steps{};
    bool any = false;
    for (int64_t granule = 0; granule < m_spf / kGranule; ++granule) {
        const int64_t middle = frame * m_spf + granule * kGranule + kGranule / 2 - m_walk.ValidBegin();
        const int64_t ms = middle * 1000 / int64_t(m_walk.SampleRate());
        int sum = 0;
        for (const GainSpan& span : m_gains)
            if (middle >= 0 && ms >= span.Range.StartMs && ms < span.Range.EndMs)
                sum += span.StepsAt(ms);
        steps[std::size_t(granule)] = {sum, sum};
        any = any || sum != 0;
    }
    return any ? std::optional(steps) : std::nullopt;
}

Frame EditStream::frameWithGain(std::size_t k) const {
    Frame frame = readFrame(m_input, m_walk.Frames[k]);
    if (const auto steps = gainAt(int64_t(k)))
        AddGlobalGain(frame, *steps);
    return frame;
}

void EditStream::flushPending() {
    for (const Frame& frame : m_pending) {
        TMPEGFrame header;
        DecodeFrameHeader(frame.data(), header);
        m_writer.appendFrame(frame, uint8_t(header.BitRateIndex));
    }
    m_framesCopied += int64_t(m_pending.size());
    m_pending.clear();
    progress();
}

void EditStream::progress() {
    m_observer.progress(int(std::min<int64_t>(99, m_framesCopied * 100 / m_framesToCopy)));
}

// Frames: the frames after the seam take their reservoir from the end of
// the frames before it. The bytes there that no frame before the seam uses
// are those the first removed frame took from before its own; where they
// are too few, the last frame before the seam gets a higher bit rate.
void EditStream::mendSeam(const Piece& before, const Piece& after) {
    const std::vector<uint8_t> tail = ReservoirBefore(m_input, m_walk, after.first);
    const std::size_t unused =
        std::min<std::size_t>(m_walk.Frames[before.end].MainDataBegin, dataBytes(m_pending, m_walk.Format));
    if (tail.size() > unused && (m_pending.empty() || !growFrame(m_pending.back(), tail.size() - unused)))
        throw std::runtime_error("The frames before the seam at " + std::to_string(before.to) +
                                 " cannot hold the main data of those after it.");
    putTail(m_pending, m_walk.Format, tail);
    flushPending();
}

// Exact: the frames around the seam are encoded anew from the source's
// decoded samples with the removed range cut out, in the place of the
// before piece's frames [before.end, before.end + bridgeFrames). They
// are encoded at the highest bit rate that leaves room at the end of the
// last of them (raised to the highest rate if need be) for the main data
// the frames after them take from before their own: a second encoding at
// the source's own bit rate loses as much again as the first did (some
// 26 dB below the signal at 128 kbit/s), and only the bridge's frames
// pay the bytes.
void EditStream::encodeSeam(const Piece& before, const Piece& after) {
    if (!m_samples)
        m_samples = std::make_unique<SourceSamples>(m_input.path());
    const std::vector<uint8_t> tail = ReservoirBefore(m_input, m_walk, after.first);
    uint16_t index = 14;
    for (; index > 0; --index) {
        TMPEGFrame format = m_walk.Format;
        format.BitRateIndex = index;
        std::vector<Frame> frames = encodeBridge(SeamEncoder(m_walk.Format, TableBitRate(format)), before, after);
        for (std::size_t i = 0; i < frames.size(); ++i)
            if (const auto steps = gainAt(int64_t(before.end + i)))
                AddGlobalGain(frames[i], *steps);
        Frame& last = frames.back();
        const std::size_t data = last.size() - dataOffset(m_walk.Format, last.data());
        const std::size_t unused = data - std::min(data, MainDataSize(last).value_or(data));
        if (tail.size() > unused && !growFrame(last, tail.size() - unused))
            continue;
        putTail(frames, m_walk.Format, tail);
        for (const Frame& frame : frames)
            m_writer.appendFrame(frame, uint8_t(frame[2] >> 4));
        m_pieceOut += bridgeFrames(m_spf);
        return;
    }
    throw std::runtime_error("No bit rate leaves room for the main data after the seam at sample " +
                             std::to_string(before.to - m_walk.ValidBegin()) + ".");
}

// The encoder's frames for the bridge: it is fed the target audio from
// kWarmUpSamples before the bridge on, placed so that its frames fall on
// the stream's frame grid, and on past the bridge so that its last frames
// are analysed with what follows them.
std::vector<Frame> EditStream::encodeBridge(const SeamEncoder& encoder, const Piece& before, const Piece& after) {
    const int64_t vb = m_walk.ValidBegin();
    const int64_t warmUp = kWarmUpSamples / m_spf;
    const int64_t start = int64_t(before.end) - warmUp;
    const int64_t x0 = start * m_spf + encoder.EncoderDelay() + kDecoderDelay;
    const int64_t encoded = bridgeFrames(m_spf);
    const int64_t count = (warmUp + encoded) * m_spf + kRunOutSamples;
    const int64_t beforeSeam = std::clamp<int64_t>(before.to - x0, 0, count);
    std::vector<int16_t> samples = m_samples->read(x0 - vb, beforeSeam);
    const std::vector<int16_t> rest = m_samples->read(after.from - vb, count - beforeSeam);
    samples.insert(samples.end(), rest.begin(), rest.end());
    std::vector<Frame> frames = encoder.Encode(samples);
    if (int64_t(frames.size()) < warmUp + encoded)
        throw std::runtime_error("The MP3 encoder gave too few frames for a seam.");
    return {frames.begin() + warmUp, frames.begin() + warmUp + encoded};
}

} // namespace

std::optional<EditLayout> WriteEditedStream(FileStream& input, const TFrameWalk& walk,
                                            const std::vector<SampleRange>& kept, const std::vector<GainSpan>& gains,
                                            EditMode mode, FileStream& out, EditObserver& observer) {
    std::vector<SampleRange> ranges;
    for (const SampleRange& r : kept) {
        const SampleRange c{std::max<int64_t>(r.Begin, 0), std::min(r.End, walk.ValidSamples())};
        if (c.End > c.Begin)
            ranges.push_back(c);
    }
    if (ranges.empty() || walk.Frames.empty())
        return std::nullopt;
    EditStream stream(input, walk, gains, mode, out, observer);
    return stream.write(planPieces(walk, ranges, mode));
}

std::vector<SampleRange> KeptSamples(const EditList& edits, const TFrameWalk& walk) {
    const uint32_t rate = walk.SampleRate();
    const int64_t samples = walk.ValidSamples();
    const int64_t lengthMs = (samples * 1000 + rate - 1) / rate;
    std::vector<SampleRange> kept;
    for (const EditRange& r : edits.KeptRanges(lengthMs)) {
        const int64_t end = r.EndMs >= lengthMs ? samples : TStreamTime{r.EndMs, 1000}.SampleAt(rate);
        kept.push_back({TStreamTime{r.StartMs, 1000}.SampleAt(rate), end});
    }
    return kept;
}

namespace {

// Writes the kept ranges of source, as chosen from the walk by pick, to
// output through the safe write path, with the source's tags when asked.
template <typename Pick>
EditResult writeEdit(const std::string& source, const std::string& output, const EditList& edits, EditMode mode,
                     EditObserver& observer, bool withTags, EditLayout* layout, Pick pick) {
    if (SameFile(source, output))
        throw std::runtime_error("The edited file cannot be written over its source \"" + source + "\".");
    FileStream input = FileStream::openRead(source);
    const TFrameWalk walk = WalkSource(input);
    const std::vector<SampleRange> kept = pick(walk);
    const PieceTags tags = withTags ? SourcePieceTags(input) : PieceTags{};
    AtomicFile file = AtomicFile::Create(output, true);
    // A tag without frames says nothing, and decoders warn about it.
    if (tags.id3v2.size() > TID3v2::kHeaderSize)
        file.stream().writeAll(tags.id3v2.data(), tags.id3v2.size());
    const std::optional<EditLayout> written =
        WriteEditedStream(input, walk, kept, edits.Gains(), mode, file.stream(), observer);
    if (!written)
        return EditResult::Stopped;
    if (tags.id3v1)
        file.stream().writeAll(tags.id3v1->data(), tags.id3v1->size());
    file.Commit();
    observer.progress(100);
    if (layout)
        *layout = *written;
    return EditResult::Completed;
}

} // namespace

EditResult RunEdit(const std::string& source, const std::string& output, const EditList& edits, EditMode mode,
                   EditObserver& observer, EditLayout* layout) {
    return writeEdit(source, output, edits, mode, observer, true, layout, [&](const TFrameWalk& walk) {
        std::vector<SampleRange> kept = KeptSamples(edits, walk);
        if (kept.empty())
            throw std::runtime_error("The edits leave nothing of \"" + source + "\" to write.");
        return kept;
    });
}

std::vector<SampleRange> CutPreviewRanges(const std::vector<SampleRange>& kept, int64_t sourceSamples, int64_t reach) {
    std::vector<SampleRange> heard;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const SampleRange& k = kept[i];
        const bool cutBefore = i > 0 || k.Begin > 0;
        const bool cutAfter = i + 1 < kept.size() || k.End < sourceSamples;
        const int64_t headEnd = cutBefore ? std::min(k.End, k.Begin + reach) : k.Begin;
        const int64_t tailBegin = cutAfter ? std::max(k.Begin, k.End - reach) : k.End;
        if (headEnd >= tailBegin) {
            if (cutBefore || cutAfter)
                heard.push_back(k);
            continue;
        }
        if (headEnd > k.Begin)
            heard.push_back({k.Begin, headEnd});
        if (k.End > tailBegin)
            heard.push_back({tailBegin, k.End});
    }
    return heard;
}

EditResult RunCutPreview(const std::string& source, const std::string& output, const EditList& edits, EditMode mode,
                         EditObserver& observer, int64_t reachMs, EditLayout* layout) {
    return writeEdit(source, output, edits, mode, observer, false, layout, [&](const TFrameWalk& walk) {
        const int64_t reach = TStreamTime{reachMs, 1000}.SampleAt(walk.SampleRate());
        std::vector<SampleRange> heard = CutPreviewRanges(KeptSamples(edits, walk), walk.ValidSamples(), reach);
        if (heard.empty())
            throw std::runtime_error("The edits make no cut to play.");
        return heard;
    });
}

} // namespace tindrel
