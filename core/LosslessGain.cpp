// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/LosslessGain.h"

#include "mpeg/FrameWalk.h"
#include "platform/AtomicFile.h"
#include "platform/FileStream.h"
#include "tags/APEv2.h"
#include "tags/ID3v2.h"
#include "tags/TagFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace tindrel {
namespace {

constexpr int64_t kID3v1Size = 128;
constexpr std::size_t kCopyBlock = 1 << 20;

// Where the parts of an MP3 file stand.
struct FileLayout {
    int64_t size = 0;
    int64_t tailBegin = 0; // the ID3v1 block, or the end
    TAPEv2 ape;
    TFrameWalk walk;

    int64_t audioEnd() const { return ape.Exists() ? ape.Offset() : tailBegin; }
    int64_t apeEnd() const { return ape.Exists() ? ape.Offset() + ape.Size() : tailBegin; }
};

FileLayout readLayout(const FileStream& file, const std::string& path) {
    FileLayout layout;
    layout.size = file.size();
    layout.tailBegin = layout.size;
    char tag[3] = {};
    if (layout.size >= kID3v1Size && ::pread(file.fd(), tag, 3, layout.size - kID3v1Size) == 3 &&
        std::memcmp(tag, "TAG", 3) == 0)
        layout.tailBegin = layout.size - kID3v1Size;
    layout.ape.Load(file.fd(), layout.tailBegin);
    TagHeader header;
    int64_t begin = 0;
    if (ReadTagHeader(path, header) && header.StartsWithTag())
        begin = header.TagSize();
    layout.walk = WalkFrames(file, begin, layout.audioEnd());
    if (!layout.walk.Found || layout.walk.Format.LayerCode != kLayerIII)
        throw std::runtime_error("\"" + path + "\" holds no MPEG Layer III audio.");
    return layout;
}

// An info frame the walk did not take for one (a protected frame moves the
// side information, not the encoder's header) carries no sound either.
bool isInfoFrame(const uint8_t* frame, std::size_t length) {
    const std::size_t look = std::min<std::size_t>(length, 48);
    for (const char* id : {"Xing", "Info", "VBRI"})
        if (std::search(frame, frame + look, id, id + 4) != frame + look)
            return true;
    return false;
}

TGainSteps channelSteps(int left, int right) {
    return {{{left, right}, {left, right}}};
}

// The file rebuilt with steps added to every audio frame; editTag gets the
// APEv2 tag and the frames' new gain range before the tag is written.
TGainApplied rewrite(const std::string& path, const TGainSteps& steps,
                     const std::function<void(TAPEv2&, const TGainRange&)>& editTag) {
    const FileStream source = FileStream::openRead(path);
    FileLayout layout = readLayout(source, path);
    AtomicFile out = AtomicFile::Create(path);
    TGainApplied applied;
    TGainRange range;
    std::vector<uint8_t> block;
    std::size_t next = 0;
    const auto& frames = layout.walk.Frames;
    for (int64_t at = 0; at < layout.audioEnd();) {
        // Blocks end where a frame starts, so that no frame is split.
        int64_t end = std::min<int64_t>(layout.audioEnd(), at + int64_t(kCopyBlock));
        if (next < frames.size()) {
            const auto cut = std::lower_bound(frames.begin() + long(next), frames.end(), end,
                                              [](const TFrameSpan& f, int64_t e) { return f.Offset < e; });
            end = cut != frames.end() ? cut->Offset : std::max(end, frames.back().End());
        }
        block.resize(std::size_t(end - at));
        if (!tagfile::ReadAt(source.fd(), block.data(), block.size(), at))
            throw StreamReadError();
        for (; next < frames.size() && frames[next].Offset < end; ++next) {
            const TFrameSpan& f = frames[next];
            const std::span frame(block.data() + (f.Offset - at), f.Length);
            if (isInfoFrame(frame.data(), frame.size()))
                continue;
            const TGainChange change = AddGlobalGain(frame, steps);
            if (!change.Applied)
                continue;
            applied.Clamped = applied.Clamped || change.Clamped;
            ++applied.Frames;
            const TGainRange now = *GlobalGainRange(frame);
            range.Min = std::min(range.Min, now.Min);
            range.Max = std::max(range.Max, now.Max);
        }
        out.stream().writeAll(block.data(), block.size());
        at = end;
    }
    editTag(layout.ape, range);
    const std::string tag = layout.ape.Build();
    out.stream().writeAll(tag.data(), tag.size());
    FileStream& target = out.stream();
    FileStream rest = FileStream::openRead(path);
    rest.seek(layout.apeEnd());
    target.copyFrom(rest, layout.size - layout.apeEnd(), kCopyBlock);
    out.Commit();
    return applied;
}

void recordRange(TAPEv2& ape, const TGainRange& range) {
    if (ape.Value(kGainRangeKey).empty() || range.Min > range.Max)
        return;
    char text[16];
    std::snprintf(text, sizeof text, "%03d,%03d", range.Min, range.Max);
    ape.SetValue(kGainRangeKey, text);
}

std::string resolved(const std::string& path) {
    std::error_code error;
    const auto real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

} // namespace

std::optional<TGainUndo> ParseGainUndo(std::string_view text) {
    TGainUndo undo;
    char wrap = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%d,%d,%c", &undo.Left, &undo.Right, &wrap) != 3)
        return std::nullopt;
    undo.Wrapped = wrap == 'W' || wrap == 'w';
    return undo;
}

std::string GainUndoText(const TGainUndo& undo) {
    char text[32];
    std::snprintf(text, sizeof text, "%+04d,%+04d,%c", undo.Left, undo.Right, undo.Wrapped ? 'W' : 'N');
    return text;
}

int GainSteps(double db) {
    return int(std::lround(db / kGainStepDB));
}

int StepsWithoutClipping(int steps, double samplePeak, const TGainRange& range) {
    // Each step scales the samples by 2^(1/4).
    while (steps > 0 && (samplePeak * std::pow(2.0, steps / 4.0) >= 1.0 || range.Max + steps > 255))
        --steps;
    return steps;
}

std::optional<TGainRange> FileGainRange(const std::string& path) {
    const FileStream file = FileStream::openRead(path);
    FileLayout layout;
    try {
        layout = readLayout(file, path);
    } catch (const StreamReadError&) {
        throw;
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
    TGainRange range;
    std::vector<uint8_t> fields(64);
    for (const TFrameSpan& f : layout.walk.Frames) {
        const std::size_t n = std::min<std::size_t>(fields.size(), f.Length);
        if (!tagfile::ReadAt(file.fd(), fields.data(), n, f.Offset))
            throw StreamReadError();
        if (isInfoFrame(fields.data(), n))
            continue;
        if (const auto now = GlobalGainRange(std::span(fields.data(), n))) {
            range.Min = std::min(range.Min, now->Min);
            range.Max = std::max(range.Max, now->Max);
        }
    }
    if (range.Min > range.Max)
        return std::nullopt;
    return range;
}

TGainApplied ApplyGain(const std::string& path, int steps) {
    TGainApplied applied =
        rewrite(resolved(path), channelSteps(steps, steps), [&](TAPEv2& ape, const TGainRange& range) {
            TGainUndo undo = ParseGainUndo(ape.Value(kGainUndoKey)).value_or(TGainUndo{});
            undo.Left -= steps;
            undo.Right -= steps;
            if (undo.Left == 0 && undo.Right == 0 && !undo.Wrapped)
                ape.Remove(kGainUndoKey);
            else
                ape.SetValue(kGainUndoKey, GainUndoText(undo));
            recordRange(ape, range);
        });
    applied.Steps = steps;
    return applied;
}

bool UndoGain(const std::string& path) {
    const std::string real = resolved(path);
    TAPEv2 ape;
    {
        const FileStream file = FileStream::openRead(real);
        const FileLayout layout = readLayout(file, real);
        ape = layout.ape;
    }
    const auto undo = ParseGainUndo(ape.Value(kGainUndoKey));
    if (!undo || (undo->Left == 0 && undo->Right == 0))
        return false;
    rewrite(real, channelSteps(undo->Left, undo->Right), [&](TAPEv2& tag, const TGainRange& range) {
        tag.Remove(kGainUndoKey);
        recordRange(tag, range);
    });
    return true;
}

} // namespace tindrel
