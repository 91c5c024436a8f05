// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/WaveformOverview.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tindrel {

namespace engine {
class Decoder;
}

// Frames of audio summed up in one exact block of the full scan. 256 frames
// keep a 100-minute file's table near 4 MB while any view wider than a few
// seconds is drawn from it without decoding.
inline constexpr int64_t kWaveformBlockFrames = 256;

// Decodes `count` frames from `first` and gives the peaks of `columns` equal
// stretches of them. Stops early (with what it has) once `stop` is set.
std::vector<Peak> DecodePeaks(engine::Decoder& decoder, int64_t first, int64_t count, int columns,
                              const std::atomic<bool>& stop);

// A quick sketch of a whole file: one short window decoded at the start of
// each of `columns` stretches. A sketch can miss a short loud sound between
// windows; it stands in only until the full scan reaches that part, and
// only for files that have no outline from their frames (not Layer III).
std::vector<Peak> SketchPeaks(engine::Decoder& decoder, int columns, const std::atomic<bool>& stop);

// Reads a file's waveform in the background: first an outline of the whole
// file (from its frames, or a decoded sketch), then an exact scan block by
// block, the two halves of the file on two threads. A close-up
// asked for meanwhile (a view narrower than a block a column) is decoded
// between two steps of the scan, so zooming in never waits for the scan.
// Opening another file abandons the work on the earlier one.
//
// `changed` is called on one of the loader's two threads each time
// something new can be shown; everything else is called on the owner's
// thread.
class WaveformLoader {
public:
    explicit WaveformLoader(std::function<void()> changed);
    ~WaveformLoader();
    WaveformLoader(const WaveformLoader&) = delete;
    WaveformLoader& operator=(const WaveformLoader&) = delete;

    // Starts on a file; an empty path just drops the earlier one.
    void open(const std::string& path);
    // The view now shown, in frames and columns; a close-up is decoded for
    // it when the exact blocks are too coarse.
    void setView(int64_t first, int64_t count, int columns);

    // The peaks of `columns` stretches of [first, first + count), from the
    // best of what is known: the close-up, the exact blocks, or the outline.
    // Stretches nothing is known of yet come back empty (zero).
    std::vector<Peak> peaks(int64_t first, int64_t count, int columns) const;

    // What is known of the file open now: its rate and length in frames (0
    // until the decoder has opened it), whether it could not be read, and
    // how many frames the exact scan has covered.
    struct State {
        int rate = 0;
        int64_t lengthFrames = 0;
        int64_t scannedFrames = 0;
        bool sketched = false;
        bool failed = false;
        bool complete() const { return failed || (lengthFrames > 0 && scannedFrames >= lengthFrames); }
    };
    State state() const;

private:
    struct View {
        int64_t first = 0;
        int64_t count = 0;
        int columns = 0;
        bool operator==(const View&) const = default;
    };
    // One stretch of blocks the exact scan reads, from firstBlock on; a
    // part that ends the file has `ended` set once the decoder ran out.
    struct ScanPart {
        int64_t firstBlock = 0;
        int64_t blocks = 0;
        int64_t frames = 0;
        bool ended = false;
    };
    void run();
    // One file from open to the end of its scan, or until another is opened.
    void work(const std::string& path);
    void outline(const std::string& path);
    // Scans part `part` of the blocks with a decoder standing at its first
    // block, up to lastBlock (< 0: to the end of the audio), calling
    // `between` between chunks. Returns the frames played in all, from the
    // decoder, once it ran out; -1 when stopped at lastBlock or interrupted.
    int64_t scan(engine::Decoder& decoder, int part, int64_t lastBlock, const std::function<void()>& between);
    // Halves the scan between this thread and another, when the file is long
    // enough; returns the frames played in all.
    int64_t scanInHalves(const std::string& path, engine::Decoder& scanner, const std::function<void()>& between);
    void serveCloseUp(engine::Decoder& decoder);
    bool knownBlock(int64_t block) const;
    bool interrupted() const { return m_interrupt.load(); }

    std::function<void()> m_changed;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    // Guarded by m_mutex.
    std::optional<std::string> m_pendingPath;
    std::optional<View> m_wantedCloseUp;
    View m_closeUpView;
    std::vector<Peak> m_closeUp;
    std::optional<WaveformOverview> m_overview;
    std::vector<Peak> m_sketch;
    std::vector<Peak> m_blocks;
    ScanPart m_parts[2];
    State m_state;
    bool m_quit = false;
    // Set when a new file or the end is asked for, so long decoding stops.
    std::atomic<bool> m_interrupt{false};
    std::thread m_thread;
};

} // namespace tindrel
