// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/EditList.h"
#include "mpeg/FrameWalk.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tindrel {

class FileStream;

// A stretch of the source's audio, [Begin, End) in samples from its first
// sample as a gapless decoder outputs it.
struct SampleRange {
    int64_t Begin = 0;
    int64_t End = 0;
    bool operator==(const SampleRange&) const = default;
};

// Whole frames: every seam falls on a frame boundary (the nearest to the
// time asked), the ends are exact. Exact: the first and last samples and
// the start of every removed range are exact; the few frames around each
// inner seam are encoded anew. As frames copied on both sides of a seam
// keep the frame grid, an inner range removed is a whole number of frames
// long (the nearest to the length asked, at least one).
enum class EditMode { Frames, Exact };

// Where the written stream joins two kept ranges.
struct EditSeam {
    int64_t OutputSample = 0; // in the output's gapless audio
    int64_t SourceEnd = 0;    // the source's samples before it end here ...
    int64_t SourceResume = 0; // ... and those after it start here
    int EncodedFrames = 0;    // frames encoded anew around it
};

// What the writer laid out.
struct EditLayout {
    std::vector<EditSeam> Seams;
    int64_t OutputSamples = 0;
};

// What an edit needs from its caller while it writes.
class EditObserver {
public:
    virtual ~EditObserver() = default;
    // Asked between runs of frames; true ends the write.
    virtual bool stopRequested() { return false; }
    virtual void progress(int percent) { (void)percent; }
};

// Writes the kept ranges of the walked source (in time order, not
// overlapping, clamped to its audio) at out's position as one Layer III
// stream behind a fresh Xing/Info frame. The bit reservoir is mended at
// every seam: the main data that the first frames after it take from
// before their own is put at the end of the frame before the seam, given a
// higher bit rate when it has no room, so that they decode as in the
// source. Gains (in 1.5 dB steps, on the source's timeline) rewrite only
// the frames' global gains. Nothing when stopped or nothing is kept.
std::optional<EditLayout> WriteEditedStream(FileStream& input, const TFrameWalk& walk,
                                            const std::vector<SampleRange>& kept, const std::vector<GainSpan>& gains,
                                            EditMode mode, FileStream& out, EditObserver& observer);

// The kept ranges of an edit list in samples of the walked source.
std::vector<SampleRange> KeptSamples(const EditList& edits, const TFrameWalk& walk);

enum class EditResult { Completed, Stopped };

// Applies the edits to source and writes output (which may not be the
// source itself) through the safe write path, with the source's two tags;
// an output that exists is replaced only once the new one is complete.
// Throws std::runtime_error with the message for the user when the source
// holds no Layer III audio, nothing is kept, or a read or write fails.
EditResult RunEdit(const std::string& source, const std::string& output, const EditList& edits, EditMode mode,
                   EditObserver& observer, EditLayout* layout = nullptr);

// The stretches of kept (ranges of a source of sourceSamples) that let each
// cut be heard: reach samples of the kept audio before it and after it, or
// as much as there is. A removed start or end of the source is a cut too.
// Nothing when kept cuts nothing.
std::vector<SampleRange> CutPreviewRanges(const std::vector<SampleRange>& kept, int64_t sourceSamples, int64_t reach);

// How long either side of a cut the preview lets it be heard.
inline constexpr int64_t kCutPreviewMs = 2'000;

// Writes output as the edit would sound across its cuts, without writing
// the edited file: the stretches CutPreviewRanges gives for reachMs, one
// after the other, through the same writer and with the same gains as
// RunEdit, so that every cut is what the edited file will hold. No tags.
// Throws as RunEdit, and std::runtime_error("The edits make no cut to
// play.") when they remove nothing.
EditResult RunCutPreview(const std::string& source, const std::string& output, const EditList& edits, EditMode mode,
                         EditObserver& observer, int64_t reachMs = kCutPreviewMs, EditLayout* layout = nullptr);

} // namespace tindrel
