// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "mpeg/FrameWalk.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tindrel {

class FileStream;

// The audio frames of a source as the exact mode sees them: walked between
// its ID3v2 tag and its ID3v1 tag. Throws std::runtime_error naming the
// file when it holds no MPEG audio, or audio other than Layer III (whose
// frames the exact mode knows how to cut). With until, only as far as a
// piece ending at that time needs (see WalkFrames).
TFrameWalk WalkSource(const FileStream& input, std::optional<TStreamTime> until = std::nullopt);

// The message for a file in which the MPEG analysis finds no audio.
std::string NoMPEGAudioMessage(const std::string& path);

// The main data that frames from first on take from before their own: the
// last bytes of the data areas of the frames before it, as many as the
// first frames reach back for.
std::vector<uint8_t> ReservoirBefore(const FileStream& input, const TFrameWalk& walk, std::size_t first);
// How many silent frames go before a piece whose first frame is frame
// first of its source, so that a decoder's synthesis comes out bit for bit
// as in the whole stream.
int64_t SilentFramesBefore(const TMPEGFrame& format, std::size_t first);

// Writes the piece of the source's decoded audio [firstSample, endSample)
// (counted from its first sample as a gapless decoder outputs it; endSample
// past the end stands for the end) at out's position: a new Xing/Info frame
// with delay and padding, a silent frame carrying the bit reservoir when
// the piece starts inside the stream, and the source's frames from a few
// before the start (the decoder's overlap) to the one holding the end.
// False, with nothing written, when the range holds no sample.
bool WriteExactPiece(FileStream& input, const TFrameWalk& walk, int64_t firstSample, int64_t endSample,
                     FileStream& out);

// ---- Joining streams frame by frame ----------------------------------------

// Builds one stream out of others: their frames one after another behind a
// single Xing/Info frame. A stream that continues the audio written so far
// (the frames where it starts repeat the last ones written, at the sample
// position where the last stream's audio ends, as the pieces of an exact
// split do) joins without a seam: its repeated frames are left out.
class ExactJoiner {
public:
    // out is positioned where the stream is to start.
    explicit ExactJoiner(FileStream& out);
    ~ExactJoiner();
    ExactJoiner(const ExactJoiner&) = delete;
    ExactJoiner& operator=(const ExactJoiner&) = delete;

    void Append(FileStream& input, const TFrameWalk& walk);
    // Writes the Xing/Info frame for what was appended and leaves out at the
    // end of the stream.
    void Finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Why the streams cannot be joined frame by frame: names every one whose
// sample rate, channel count, MPEG version or layer differs from the first.
std::optional<std::string> ExactJoinRefusal(const std::vector<std::string>& paths,
                                            const std::vector<TFrameWalk>& walks);

} // namespace tindrel
