// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Silence.h"

#include "core/Split.h"
#include "core/TimeText.h"
#include "engine/FileDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tindrel {

namespace {

// Blocks of 5 ms: short enough to place a pause's edges well inside one
// MPEG audio frame (26 ms), long enough that a low tone does not look
// quiet between two of its peaks.
constexpr int kBlocksPerSecond = 200;
constexpr std::size_t kReadFrames = 16'384;

float powerOf(double thresholdDb) {
    return static_cast<float>(std::pow(10.0, thresholdDb / 10.0));
}

// The loudness of a decoded file, block by block, as the samples arrive.
class LevelMeter {
public:
    LevelMeter(int channels, int blockFrames) : m_channels(channels), m_blockFrames(blockFrames) {}

    void add(const int16_t* samples, std::size_t frames) {
        const std::size_t perBlock = static_cast<std::size_t>(m_blockFrames);
        while (frames > 0) {
            const std::size_t take = std::min(frames, perBlock - m_framesInBlock);
            const int16_t* end = samples + take * static_cast<std::size_t>(m_channels);
            int64_t sum = 0;
            for (const int16_t* s = samples; s != end; ++s)
                sum += int32_t(*s) * int32_t(*s);
            m_sum += sum;
            m_framesInBlock += take;
            samples = end;
            frames -= take;
            if (m_framesInBlock == perBlock)
                closeBlock();
        }
    }

    // The last block may be short; it is measured over what it holds.
    std::vector<float> finish() {
        if (m_framesInBlock > 0)
            closeBlock();
        return std::move(m_levels);
    }

private:
    void closeBlock() {
        constexpr double kFullScale = 32768.0 * 32768.0;
        const double count = static_cast<double>(m_framesInBlock) * m_channels;
        m_levels.push_back(static_cast<float>(static_cast<double>(m_sum) / (count * kFullScale)));
        m_sum = 0;
        m_framesInBlock = 0;
    }

    int m_channels;
    int m_blockFrames;
    std::size_t m_framesInBlock = 0;
    int64_t m_sum = 0;
    std::vector<float> m_levels;
};

std::runtime_error cannotDecode(const std::string& path) {
    return std::runtime_error("Cannot decode \"" + path + "\" to look for pauses.");
}

} // namespace

LevelProfile::LevelProfile(int rate, int blockFrames, int64_t lengthFrames, std::vector<float> levels)
    : m_rate(rate), m_blockFrames(blockFrames), m_lengthFrames(lengthFrames), m_levels(std::move(levels)) {}

int64_t LevelProfile::lengthMs() const {
    return m_lengthFrames * 1000 / m_rate;
}

int64_t LevelProfile::blockStartMs(int64_t block) const {
    return std::min(block * m_blockFrames, m_lengthFrames) * 1000 / m_rate;
}

int LevelProfile::firstBlockAt(int64_t ms) const {
    // The first block that starts at or after ms.
    const int64_t frame = (std::max<int64_t>(ms, 0) * m_rate + 999) / 1000;
    return static_cast<int>(std::min<int64_t>((frame + m_blockFrames - 1) / m_blockFrames, blockCount()));
}

std::vector<Silence> LevelProfile::FindSilences(const SilenceOptions& options) const {
    const float limit = powerOf(options.thresholdDb);
    std::vector<Silence> found;
    int block = 0;
    const int count = blockCount();
    while (block < count) {
        if (m_levels[block] >= limit) {
            ++block;
            continue;
        }
        const int first = block;
        while (block < count && m_levels[block] < limit)
            ++block;
        const Silence quiet{blockStartMs(first), blockStartMs(block)};
        if (quiet.lengthMs() >= options.minLengthMs)
            found.push_back(quiet);
    }
    return found;
}

Silence LevelProfile::LongestQuiet(double thresholdDb, int64_t fromMs, int64_t toMs) const {
    const float limit = powerOf(thresholdDb);
    Silence longest;
    const int last =
        std::min(blockCount(), static_cast<int>((std::max<int64_t>(toMs, 0) * m_rate / 1000) / m_blockFrames));
    int runStart = -1;
    for (int block = firstBlockAt(fromMs); block <= last; ++block) {
        const bool quiet = block < last && m_levels[block] < limit;
        if (quiet && runStart < 0)
            runStart = block;
        if (!quiet && runStart >= 0) {
            const Silence run{blockStartMs(runStart), blockStartMs(block)};
            if (run.lengthMs() > longest.lengthMs())
                longest = run;
            runStart = -1;
        }
    }
    return longest;
}

std::optional<LevelProfile> ScanLevels(const std::string& path, const ScanProgress& progress,
                                       const std::function<bool()>& stopRequested) {
    std::unique_ptr<engine::Decoder> decoder;
    try {
        decoder = engine::OpenFileDecoder(path);
    } catch (const std::exception&) {
        throw cannotDecode(path);
    }
    const int rate = decoder->rate();
    const int channels = decoder->channels();
    const int blockFrames = std::max(1, (rate + kBlocksPerSecond / 2) / kBlocksPerSecond);
    const int64_t expected = decoder->lengthFrames();
    LevelMeter meter(channels, blockFrames);
    std::vector<int16_t> buffer(kReadFrames * static_cast<std::size_t>(channels));
    int64_t frames = 0;
    int shown = -1;
    try {
        while (!decoder->finished()) {
            if (stopRequested && stopRequested())
                return std::nullopt;
            const std::size_t got = decoder->read(buffer.data(), kReadFrames);
            // A file decoder never stalls; nothing read means nothing more.
            if (got == 0)
                break;
            meter.add(buffer.data(), got);
            frames += static_cast<int64_t>(got);
            const int percent = expected > 0 ? static_cast<int>(std::min<int64_t>(frames * 100 / expected, 99)) : 0;
            if (percent != shown && progress)
                progress(shown = percent);
        }
    } catch (const std::exception&) {
        throw cannotDecode(path);
    }
    if (progress)
        progress(100);
    return LevelProfile(rate, blockFrames, frames, meter.finish());
}

std::vector<PauseCut> PlacePartsAtPauses(const LevelProfile& profile, int n, int64_t lengthMs,
                                         const SilenceOptions& options, int64_t windowMs) {
    const std::vector<Silence> silences = profile.FindSilences(options);
    std::vector<PauseCut> cuts;
    int64_t previous = 0;
    // The quiet before this point holds a cut already: it does not count
    // as quiet found for a later one.
    int64_t taken = 0;
    for (int i = 1; i < n; ++i) {
        PauseCut cut;
        cut.plannedMs = PartRange(i, n, lengthMs).startMs;
        const int64_t next = i + 1 < n ? PartRange(i + 1, n, lengthMs).startMs : lengthMs;
        const Silence* best = nullptr;
        for (const Silence& s : silences) {
            const int64_t middle = s.middleMs();
            if (std::llabs(middle - cut.plannedMs) <= windowMs && middle > previous && middle < next &&
                (!best || s.lengthMs() > best->lengthMs()))
                best = &s;
        }
        cut.moved = best != nullptr;
        cut.cutMs = best ? best->middleMs() : cut.plannedMs;
        if (best)
            taken = best->endMs;
        else {
            const int64_t from = std::max({cut.plannedMs - windowMs, previous, taken});
            const int64_t to = std::min(cut.plannedMs + windowMs, next);
            cut.longestQuietMs = profile.LongestQuiet(options.thresholdDb, from, to).lengthMs();
        }
        previous = cut.cutMs;
        cuts.push_back(cut);
    }
    return cuts;
}

std::vector<int64_t> CutsAtSilences(const std::vector<Silence>& silences, int64_t lengthMs, int64_t minPieceMs,
                                    int pieces) {
    std::vector<Silence> byLength;
    for (const Silence& s : silences)
        // A pause at either end of the file would only cut off silence.
        if (s.startMs > 0 && s.endMs < lengthMs)
            byLength.push_back(s);
    std::stable_sort(byLength.begin(), byLength.end(),
                     [](const Silence& a, const Silence& b) { return a.lengthMs() > b.lengthMs(); });
    std::vector<int64_t> cuts;
    const std::size_t wanted = pieces > 0 ? static_cast<std::size_t>(pieces - 1) : byLength.size();
    for (const Silence& s : byLength) {
        if (cuts.size() >= wanted)
            break;
        const int64_t at = s.middleMs();
        const bool roomy =
            at >= minPieceMs && lengthMs - at >= minPieceMs &&
            std::none_of(cuts.begin(), cuts.end(), [&](int64_t other) { return std::llabs(other - at) < minPieceMs; });
        if (roomy && at > 0 && at < lengthMs)
            cuts.push_back(at);
    }
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

std::string UnmovedCutsText(const std::vector<PauseCut>& cuts, const SilenceOptions& options, int64_t windowMs) {
    std::string text;
    char seconds[64];
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        if (cuts[i].moved)
            continue;
        std::snprintf(seconds, sizeof seconds, "%.3f s within %g s", options.minLengthMs / 1000.0, windowMs / 1000.0);
        text += (text.empty() ? "" : "\n") + std::string("Cut ") + std::to_string(i + 1) + " at " +
                FormatTimeText(cuts[i].plannedMs / 1000.0) + " was not moved: no pause of at least " + seconds +
                "; the longest quiet there lasts ";
        std::snprintf(seconds, sizeof seconds, "%.3f s.", cuts[i].longestQuietMs / 1000.0);
        text += seconds;
    }
    return text;
}

} // namespace tindrel
