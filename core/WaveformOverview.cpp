// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/WaveformOverview.h"

#include "mpeg/FileWindow.h"
#include "mpeg/FrameWalk.h"
#include "mpeg/GlobalGain.h"
#include "platform/FileStream.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tindrel {

namespace {

// The loudness in gain steps of a full-scale tone's loudest granule, as a
// common encoder codes it; such a tone then reaches near full height, and
// louder-looking granules are held at full height.
constexpr double kFullScaleSteps = 213;
// The side information is read from blocks this large: one pass over the
// stream in a few dozen reads.
constexpr std::size_t kBlockBytes = 1 << 20;
// Header, CRC and the largest side information.
constexpr std::size_t kGainFieldsMax = 4 + 2 + 32;

int16_t heightOf(double steps) {
    const double height = 32767.0 * std::exp2((steps - kFullScaleSteps) / 4.0);
    return int16_t(std::clamp(height, 0.0, 32767.0)); // silence is -infinity: 0
}

int64_t audioBegin(const FileStream& file) {
    TagHeader header;
    header.fileSize = file.size();
    if (ReadWindow(file, 0, header.bytes) < header.bytes.size() || !header.StartsWithTag())
        return 0;
    return header.TagSize();
}

// The end of the audio: before an ID3v1 tag, if there is one.
int64_t audioEnd(const FileStream& file) {
    const int64_t size = file.size();
    uint8_t tag[3] = {};
    if (size >= 128 && ReadWindow(file, size - 128, tag) == 3 && std::memcmp(tag, "TAG", 3) == 0)
        return size - 128;
    return size;
}

} // namespace

void Peak::take(const Peak& other) {
    low = std::min(low, other.low);
    high = std::max(high, other.high);
}

Peak WaveformOverview::over(int64_t from, int64_t to) const {
    Peak peak;
    const auto count = static_cast<int64_t>(peaks.size());
    const int64_t first = std::max<int64_t>((from + skipped) / step, 0);
    const int64_t last = std::min((std::max(to, from + 1) - 1 + skipped) / step, count - 1);
    for (int64_t k = first; k <= last; ++k)
        peak.take(peaks[static_cast<std::size_t>(k)]);
    return peak;
}

std::optional<WaveformOverview> ReadWaveformOverview(const FileStream& file) {
    const TFrameWalk walk = WalkFrames(file, audioBegin(file), audioEnd(file));
    if (!walk.Found || walk.Format.LayerCode != kLayerIII || walk.Frames.empty())
        return std::nullopt;
    WaveformOverview overview;
    overview.rate = int(walk.SampleRate());
    overview.lengthFrames = walk.ValidSamples();
    overview.step = walk.SamplesPerFrame();
    overview.skipped = walk.ValidBegin();
    overview.peaks.reserve(walk.Frames.size());
    std::vector<uint8_t> block(kBlockBytes);
    int64_t blockStart = 0;
    std::size_t blockSize = 0;
    for (const TFrameSpan& frame : walk.Frames) {
        const std::size_t wanted = std::min<std::size_t>(frame.Length, kGainFieldsMax);
        if (frame.Offset < blockStart || frame.Offset + int64_t(wanted) > blockStart + int64_t(blockSize)) {
            blockStart = frame.Offset;
            blockSize = ReadWindow(file, blockStart, block);
        }
        const auto at = static_cast<std::size_t>(frame.Offset - blockStart);
        const std::optional<double> steps =
            LoudestGranuleSteps(std::span(block).subspan(at, std::min(wanted, blockSize - at)));
        const int16_t height = steps ? heightOf(*steps) : 0;
        overview.peaks.push_back({int16_t(-height), height});
    }
    return overview;
}

} // namespace tindrel
