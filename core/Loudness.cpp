// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Loudness.h"

#include "core/TruePeak.h"
#include "engine/FileDecoder.h"
#include "engine/ModuleDecoder.h"
#include "engine/SharedLibrary.h"
#include "engine/WmaDecoder.h"
#include "tags/ID3v2.h"

#include <ebur128.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace tindrel {
namespace {

constexpr std::size_t kReadFrames = 16384;
constexpr int kModuleRate = 48000;

// The loudness library is loaded by the first measurement, not by every
// command at start.
#define TINDREL_EBUR128_CALLS(X)                                                                                       \
    X(ebur128_add_frames_short)                                                                                        \
    X(ebur128_destroy)                                                                                                 \
    X(ebur128_init)                                                                                                    \
    X(ebur128_loudness_global_multiple)                                                                                \
    X(ebur128_sample_peak)

struct Ebur128 {
    TINDREL_EBUR128_CALLS(TINDREL_LIBRARY_MEMBER)
};

const Ebur128& meterLibrary() {
    return engine::LibraryCalls<Ebur128>(
        "ebur128", EBUR128_VERSION_MAJOR, TINDREL_LIBRARY_FILLER(Ebur128, TINDREL_EBUR128_CALLS), [] {
            throw std::runtime_error("The loudness library libebur128 (version " +
                                     std::to_string(EBUR128_VERSION_MAJOR) + ") cannot be loaded.");
        });
}

struct StateCloser {
    void operator()(ebur128_state* state) const { meterLibrary().ebur128_destroy(&state); }
};
using LoudnessState = std::unique_ptr<ebur128_state, StateCloser>;

std::runtime_error cannotDecode(const std::string& path) {
    return std::runtime_error("Cannot decode \"" + path + "\" to measure its loudness.");
}

// The player's formats, each by the decoder that recognises it.
std::unique_ptr<engine::Decoder> openDecoder(const std::string& path) {
    try {
        return engine::OpenFileDecoder(path);
    } catch (const std::exception&) {
    }
    try {
        return engine::OpenWmaDecoder(path);
    } catch (const std::exception&) {
    }
    return engine::OpenModuleDecoder(path, kModuleRate);
}

// Counts the decoded frames of every file against the frames expected of
// all of them, for one percentage.
class SharedProgress {
public:
    SharedProgress(const LoudnessProgress& report, std::size_t files) : m_report(report), m_files(files) {}
    void expect(int64_t frames) {
        const std::lock_guard lock(m_mutex);
        m_expected += std::max<int64_t>(frames, 0);
        ++m_opened;
    }
    void advance(int64_t frames) {
        const std::lock_guard lock(m_mutex);
        m_done += frames;
        // Until every file is open the whole is not known: only the files
        // finished count.
        const int64_t whole = m_opened < m_files
                                  ? m_expected * int64_t(m_files) / int64_t(std::max<std::size_t>(m_opened, 1))
                                  : m_expected;
        const int percent = whole > 0 ? int(std::min<int64_t>(m_done * 100 / whole, 99)) : 0;
        if (percent != m_shown && m_report)
            m_report(m_shown = percent);
    }

private:
    const LoudnessProgress& m_report;
    std::size_t m_files;
    std::mutex m_mutex;
    std::size_t m_opened = 0;
    int64_t m_expected = 0;
    int64_t m_done = 0;
    int m_shown = -1;
};

// A file's meter and its true peak.
struct Measured {
    LoudnessState state;
    double truePeak = 0;
};

// Feeds one file to new meters; no meter when stopped.
Measured measure(const std::string& path, SharedProgress& progress, const std::function<bool()>& stop) {
    std::unique_ptr<engine::Decoder> decoder;
    try {
        decoder = openDecoder(path);
    } catch (const std::exception&) {
        throw cannotDecode(path);
    }
    const unsigned channels = unsigned(decoder->channels());
    LoudnessState state(meterLibrary().ebur128_init(channels, static_cast<unsigned long>(decoder->rate()),
                                                    EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK));
    if (!state)
        throw cannotDecode(path);
    // The library's own true peak interpolates every sample; the meter
    // here skips what cannot raise the peak, at a quarter of the cost.
    TruePeakMeter truePeak(int(channels), decoder->rate());
    progress.expect(decoder->lengthFrames());
    std::vector<int16_t> buffer(kReadFrames * channels);
    try {
        while (!decoder->finished()) {
            if (stop && stop())
                return {};
            const std::size_t got = decoder->read(buffer.data(), kReadFrames);
            if (got == 0)
                break;
            if (meterLibrary().ebur128_add_frames_short(state.get(), buffer.data(), got) != EBUR128_SUCCESS)
                throw cannotDecode(path);
            truePeak.add(buffer.data(), got);
            progress.advance(int64_t(got));
        }
    } catch (const std::exception&) {
        throw cannotDecode(path);
    }
    return {std::move(state), truePeak.finish()};
}

TLoudness figures(const std::vector<const Measured*>& files) {
    TLoudness result;
    std::vector<ebur128_state*> states;
    for (const Measured* file : files) {
        states.push_back(file->state.get());
        result.TruePeak = std::max(result.TruePeak, file->truePeak);
        for (unsigned c = 0; c < file->state->channels; ++c) {
            double peak = 0;
            if (meterLibrary().ebur128_sample_peak(file->state.get(), c, &peak) == EBUR128_SUCCESS)
                result.SamplePeak = std::max(result.SamplePeak, peak);
        }
    }
    meterLibrary().ebur128_loudness_global_multiple(states.data(), states.size(), &result.Loudness);
    // The oversampled signal passes through every sample.
    result.TruePeak = std::max(result.TruePeak, result.SamplePeak);
    return result;
}

} // namespace

bool TLoudness::Silent() const {
    return !std::isfinite(Loudness);
}

double TLoudness::Gain() const {
    return Silent() ? 0.0 : kReferenceLoudness - Loudness;
}

TLoudnessScan ScanLoudness(const std::vector<std::string>& paths, const LoudnessProgress& progress,
                           const std::function<bool()>& stopRequested) {
    std::vector<Measured> states(paths.size());
    SharedProgress shared(progress, paths.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    std::exception_ptr error;
    std::size_t firstFailed = paths.size();
    const auto work = [&] {
        for (std::size_t i = next++; i < paths.size() && !failed; i = next++) {
            try {
                states[i] = measure(paths[i], shared, [&] { return failed || (stopRequested && stopRequested()); });
            } catch (...) {
                const std::lock_guard lock(errorMutex);
                if (i < firstFailed) {
                    firstFailed = i;
                    error = std::current_exception();
                }
                failed = true;
            }
        }
    };
    const std::size_t threads =
        std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, paths.size() ? paths.size() : 1);
    std::vector<std::jthread> workers;
    for (std::size_t t = 1; t < threads; ++t)
        workers.emplace_back(work);
    work();
    workers.clear();
    if (error)
        std::rethrow_exception(error);
    TLoudnessScan scan;
    if (std::any_of(states.begin(), states.end(), [](const Measured& m) { return !m.state; }))
        return scan;
    std::vector<const Measured*> all;
    for (const Measured& measured : states) {
        scan.Tracks.push_back(figures({&measured}));
        all.push_back(&measured);
    }
    scan.Paths = paths;
    scan.Album = figures(all);
    if (progress)
        progress(100);
    return scan;
}

std::string GainText(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", db);
    return text;
}

std::string PeakText(double peak) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", peak);
    return text;
}

bool WriteReplayGainTags(const std::string& path, const TLoudness& track, const TLoudness* album, std::string* reason) {
    TID3v2 tag;
    if (!tag.Load(path)) {
        if (reason)
            *reason = "The file cannot be read";
        return false;
    }
    tag.SetUserText("REPLAYGAIN_TRACK_GAIN", GainText(track.Gain()));
    tag.SetUserText("REPLAYGAIN_TRACK_PEAK", PeakText(track.TruePeak));
    if (album) {
        tag.SetUserText("REPLAYGAIN_ALBUM_GAIN", GainText(album->Gain()));
        tag.SetUserText("REPLAYGAIN_ALBUM_PEAK", PeakText(album->TruePeak));
    }
    if (tag.Save(path))
        return true;
    if (reason)
        *reason = tag.LastError();
    return false;
}

} // namespace tindrel
