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
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace tindrel {
namespace {

constexpr int64_t kID3v1Size = 128;

// Where the parts of an MP3 file stand.
struct FileLayout {
    int64_t size = 0;
    int64_t tailBegin = 0; // the ID3v1 block, or the end
    TAPEv2 ape;

    int64_t audioEnd() const { return ape.Exists() ? ape.Offset() : tailBegin; }
    int64_t apeEnd() const { return ape.Exists() ? ape.Offset() + ape.Size() : tailBegin; }
};

// Reads where the parts stand and walks the audio once, giving each audio
// frame (the encoder's info frame left out) with its bytes to visit.
FileLayout readLayout(const FileStream& file, const std::string& path, const TFrameVisitor& visit) {
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
    // Frames of another layer have no gain fields, so a visit changes
    // nothing in them before the layer is known.
    const TFrameWalk walk = WalkFrames(file, begin, layout.audioEnd(), visit);
    if (!walk.Found || walk.Format.LayerCode != kLayerIII)
        throw std::runtime_error("\"" + path + "\" holds no MPEG Layer III audio.");
    return layout;
}

TGainSteps channelSteps(int left, int right) {
    return {{{left, right}, {left, right}}};
}

void widen(TGainRange& range, std::span<const uint8_t> frame) {
    if (const auto now = GlobalGainRange(frame)) {
        range.Min = std::min(range.Min, now->Min);
        range.Max = std::max(range.Max, now->Max);
    }
}

// Adds steps to the frame at offset and records the bytes that changed (the
// gain fields, and the CRC of a protected frame) as a change of the file.
// Only the bytes up to the end of the side information are looked at, in a
// copy: the frame itself is written by the change.
TGainChange changeFrame(AtomicFile& out, int64_t offset, std::span<const uint8_t> frame, const TGainSteps& steps,
                        TGainRange& range) {
    std::array<uint8_t, 64> now{};
    const std::size_t fields = std::min(GainFieldsSize(frame), std::min(now.size(), frame.size()));
    const std::span<uint8_t> fieldsNow = std::span(now).first(fields);
    std::copy_n(frame.begin(), fields, now.begin());
    const TGainChange change = AddGlobalGain(fieldsNow, steps);
    widen(range, fieldsNow);
    std::size_t first = 0;
    std::size_t last = fields;
    while (first < last && now[first] == frame[first])
        ++first;
    while (last > first && now[last - 1] == frame[last - 1])
        --last;
    if (first < last)
        out.Change(offset + int64_t(first), frame.subspan(first, last - first), fieldsNow.subspan(first, last - first));
    return change;
}

// Changes the file in place: steps added to every audio frame, only the
// bytes that differ written; editTag gets the APEv2 tag and the frames' new
// gain range before the tag is written.
TGainApplied rewrite(const std::string& path, const TGainSteps& steps,
                     const std::function<void(TAPEv2&, const TGainRange&)>& editTag) {
    AtomicFile out = AtomicFile::Create(path);
    const FileStream source = out.openReplaced();
    TGainApplied applied;
    TGainRange range;
    // One read of the audio finds the frames and journals their new gains.
    FileLayout layout = readLayout(source, path, [&](const TFrameSpan& frame, std::span<const uint8_t> bytes) {
        const TGainChange change = changeFrame(out, frame.Offset, bytes, steps, range);
        applied.Clamped = applied.Clamped || change.Clamped;
        applied.Frames += change.Applied ? 1 : 0;
    });
    // The tag behind the audio may change its length: it is written again
    // with the ID3v1 block behind it.
    std::vector<uint8_t> oldTail(std::size_t(layout.size - layout.audioEnd()));
    if (!tagfile::ReadAt(source.fd(), oldTail.data(), oldTail.size(), layout.audioEnd()))
        throw StreamReadError();
    editTag(layout.ape, range);
    const std::string tag = layout.ape.Build();
    std::vector<uint8_t> newTail(tag.begin(), tag.end());
    newTail.insert(newTail.end(), oldTail.end() - (layout.size - layout.apeEnd()), oldTail.end());
    if (newTail != oldTail)
        out.Change(layout.audioEnd(), oldTail, newTail);
    out.CommitChanges();
    return applied;
}

// The gain and peak items the other tool keeps beside its undo record
// follow the change, as it makes them follow its own: a gain less by the
// change in dB ("-8.270000 dB"), a peak scaled by it.
void shiftReplayGainItems(TAPEv2& ape, int steps) {
    const double factor = std::pow(2.0, steps / 4.0);
    char text[32];
    for (const char* key : {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_ALBUM_GAIN"}) {
        const std::string value = ape.Value(key);
        if (!value.empty()) {
            std::snprintf(text, sizeof text, "%f dB", std::atof(value.c_str()) - 20 * std::log10(factor));
            ape.SetValue(key, text);
        }
    }
    for (const char* key : {"REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_PEAK"}) {
        const std::string value = ape.Value(key);
        if (!value.empty()) {
            std::snprintf(text, sizeof text, "%f", std::atof(value.c_str()) * factor);
            ape.SetValue(key, text);
        }
    }
}

// Players apply the ReplayGain frames of the ID3v2 tag to the audio as it
// is now: left as they were, they would add the change a second time. So
// they follow it as the APEv2 items do, rather than being removed, which
// would leave the file at its new level without any gain for players.
void shiftReplayGainFrames(const std::string& path, int steps) {
    TID3v2 tag;
    if (steps == 0 || !tag.Load(path) || !tag.Exists())
        return;
    const double factor = std::pow(2.0, steps / 4.0);
    bool changed = false;
    const auto shift = [&](const char* key, const std::function<std::string(double)>& moved) {
        const std::string text = tag.UserText(key);
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (end != text.c_str()) {
            tag.SetUserText(key, moved(value));
            changed = true;
        }
    };
    for (const char* key : {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_ALBUM_GAIN"})
        shift(key, [&](double db) { return GainText(db - 20 * std::log10(factor)); });
    for (const char* key : {"REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_PEAK"})
        shift(key, [&](double peak) { return PeakText(peak * factor); });
    if (changed && !tag.Save(path))
        throw std::runtime_error("Cannot write the tags of \"" + path + "\". " + tag.LastError());
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

TLoudness AfterGainSteps(TLoudness figures, int steps) {
    const double factor = std::pow(2.0, steps / 4.0);
    figures.Loudness += 20 * std::log10(factor);
    figures.SamplePeak *= factor;
    figures.TruePeak *= factor;
    return figures;
}

std::optional<TGainRange> FileGainRange(const std::string& path) {
    const FileStream file = FileStream::openRead(path);
    TGainRange range;
    try {
        readLayout(file, path, [&](const TFrameSpan&, std::span<const uint8_t> bytes) { widen(range, bytes); });
    } catch (const StreamReadError&) {
        throw;
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
    if (range.Min > range.Max)
        return std::nullopt;
    return range;
}

bool HoldsLayerIII(const std::string& path) {
    try {
        const FileStream file = FileStream::openRead(path);
        TagHeader header;
        const int64_t begin = ReadTagHeader(path, header) && header.StartsWithTag() ? header.TagSize() : 0;
        // The first frames tell the format.
        const TFrameWalk walk = WalkFrames(file, begin, file.size(), TStreamTime{1, 1000});
        return walk.Found && walk.Format.LayerCode == kLayerIII;
    } catch (const std::exception&) {
        return false;
    }
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
            shiftReplayGainItems(ape, steps);
        });
    shiftReplayGainFrames(resolved(path), steps);
    applied.Steps = steps;
    return applied;
}

bool UndoGain(const std::string& path) {
    const std::string real = resolved(path);
    TAPEv2 ape;
    {
        const FileStream file = FileStream::openRead(real);
        ape = readLayout(file, real, [](const TFrameSpan&, std::span<const uint8_t>) {}).ape;
    }
    const auto undo = ParseGainUndo(ape.Value(kGainUndoKey));
    if (!undo || (undo->Left == 0 && undo->Right == 0))
        return false;
    rewrite(real, channelSteps(undo->Left, undo->Right), [&](TAPEv2& tag, const TGainRange& range) {
        tag.Remove(kGainUndoKey);
        recordRange(tag, range);
        shiftReplayGainItems(tag, (undo->Left + undo->Right) / 2);
    });
    shiftReplayGainFrames(real, (undo->Left + undo->Right) / 2);
    return true;
}

} // namespace tindrel
