// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Waveform.h"

#include "engine/Decoder.h"
#include "engine/FileDecoder.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace tindrel {

namespace {

constexpr int kSketchColumns = 1024;
// What each sketch column decodes: a little more than one MPEG frame.
constexpr int64_t kSketchWindowFrames = 1536;
// The scan decodes this many blocks at a time before it looks for other work.
constexpr int64_t kScanChunkBlocks = 64;
// Between two reports of scan progress; each report costs the owner a redraw.
constexpr auto kReportInterval = std::chrono::milliseconds(100);

Peak peakOf(const int16_t* samples, std::size_t count) {
    if (count == 0)
        return {};
    const auto [low, high] = std::minmax_element(samples, samples + count);
    return {*low, *high};
}

// The columns' share of [0, count): column c covers [bound(c), bound(c + 1)).
// count * columns stays far inside 64 bits: a day of audio is 2^32 frames.
int64_t bound(int64_t count, int columns, int c) {
    return static_cast<int64_t>(count * c / columns);
}

} // namespace

std::vector<Peak> DecodePeaks(engine::Decoder& decoder, int64_t first, int64_t count, int columns,
                              const std::atomic<bool>& stop) {
    std::vector<Peak> peaks(static_cast<std::size_t>(std::max(columns, 0)));
    if (columns <= 0 || count <= 0 || !decoder.seek(first))
        return peaks;
    const std::size_t channels = static_cast<std::size_t>(decoder.channels());
    std::vector<int16_t> buffer(4096 * channels);
    int64_t done = 0;
    int column = 0;
    while (done < count && !stop.load()) {
        const int64_t columnEnd = bound(count, columns, column + 1);
        const auto wanted = static_cast<std::size_t>(std::min<int64_t>(columnEnd - done, 4096));
        const std::size_t got = wanted == 0 ? 0 : decoder.read(buffer.data(), wanted);
        if (wanted != 0 && got == 0)
            break; // the end of the audio, or nothing more to be had
        peaks[static_cast<std::size_t>(column)].take(peakOf(buffer.data(), got * channels));
        done += static_cast<int64_t>(got);
        if (done >= columnEnd && column + 1 < columns)
            ++column;
    }
    return peaks;
}

std::vector<Peak> SketchPeaks(engine::Decoder& decoder, int columns, const std::atomic<bool>& stop) {
    std::vector<Peak> peaks(static_cast<std::size_t>(std::max(columns, 0)));
    const int64_t length = decoder.lengthFrames();
    if (length <= 0 || columns <= 0)
        return peaks;
    const std::size_t channels = static_cast<std::size_t>(decoder.channels());
    std::vector<int16_t> buffer(static_cast<std::size_t>(kSketchWindowFrames) * channels);
    for (int c = 0; c < columns && !stop.load(); ++c) {
        const int64_t start = bound(length, columns, c);
        const int64_t window = std::min(kSketchWindowFrames, bound(length, columns, c + 1) - start);
        if (window <= 0 || !decoder.seek(start))
            continue;
        const std::size_t got = decoder.read(buffer.data(), static_cast<std::size_t>(window));
        peaks[static_cast<std::size_t>(c)] = peakOf(buffer.data(), got * channels);
    }
    return peaks;
}

WaveformLoader::WaveformLoader(std::function<void()> changed) : m_changed(std::move(changed)) {
    m_thread = std::thread([this] { run(); });
}

WaveformLoader::~WaveformLoader() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_interrupt = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WaveformLoader::open(const std::string& path) {
    {
        std::lock_guard lock(m_mutex);
        m_pendingPath = path;
        m_wantedCloseUp.reset();
        m_closeUp.clear();
        m_overview.reset();
        m_sketch.clear();
        m_blocks.clear();
        m_parts[0] = m_parts[1] = {};
        m_state = {};
        m_interrupt = true;
    }
    m_wake.notify_all();
}

void WaveformLoader::setView(int64_t first, int64_t count, int columns) {
    const View view{first, count, columns};
    {
        std::lock_guard lock(m_mutex);
        if (columns <= 0 || count / columns >= kWaveformBlockFrames || view == m_closeUpView) {
            m_wantedCloseUp.reset();
            return;
        }
        m_wantedCloseUp = view;
    }
    m_wake.notify_all();
}

WaveformLoader::State WaveformLoader::state() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::vector<Peak> WaveformLoader::peaks(int64_t first, int64_t count, int columns) const {
    std::vector<Peak> out(static_cast<std::size_t>(std::max(columns, 0)));
    std::lock_guard lock(m_mutex);
    if (columns <= 0 || count <= 0)
        return out;
    if (m_closeUpView == View{first, count, columns} && m_closeUp.size() == out.size())
        return m_closeUp;
    const int64_t length = m_state.lengthFrames;
    for (int c = 0; c < columns; ++c) {
        const int64_t from = first + bound(count, columns, c);
        const int64_t to = std::max(first + bound(count, columns, c + 1), from + 1);
        Peak& peak = out[static_cast<std::size_t>(c)];
        const int64_t b0 = from / kWaveformBlockFrames;
        const int64_t b1 = (to - 1) / kWaveformBlockFrames;
        bool exact = true;
        for (int64_t b = b0; b <= b1 && exact; ++b)
            exact = knownBlock(b);
        if (exact) {
            for (int64_t b = b0; b <= b1; ++b)
                peak.take(m_blocks[static_cast<std::size_t>(b)]);
        } else if (m_overview && from < length) {
            peak = m_overview->over(from, std::min(to, length));
        } else if (!m_sketch.empty() && length > 0 && from < length) {
            const int s = static_cast<int>(m_sketch.size());
            const auto s0 = static_cast<int>(from * s / length);
            const auto s1 = static_cast<int>((std::min(to, length) - 1) * s / length);
            for (int k = s0; k <= s1 && k < s; ++k)
                peak.take(m_sketch[static_cast<std::size_t>(k)]);
        }
    }
    return out;
}

bool WaveformLoader::knownBlock(int64_t block) const {
    return std::any_of(std::begin(m_parts), std::end(m_parts), [&](const ScanPart& part) {
        return block >= part.firstBlock && block < part.firstBlock + part.blocks;
    });
}

void WaveformLoader::run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_quit || m_pendingPath.has_value(); });
        if (m_quit)
            return;
        const std::string path = *m_pendingPath;
        m_pendingPath.reset();
        m_interrupt = false;
        lock.unlock();
        if (!path.empty())
            work(path);
        lock.lock();
    }
}

void WaveformLoader::outline(const std::string& path) {
    std::optional<WaveformOverview> overview;
    try {
        overview = ReadWaveformOverview(FileStream::openRead(path));
    } catch (const std::exception&) {
        return; // the decoder says whether the file can be read at all
    }
    if (!overview)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (interrupted())
            return;
        m_state.rate = overview->rate;
        m_state.lengthFrames = overview->lengthFrames;
        m_state.sketched = true;
        m_overview = std::move(overview);
    }
    m_changed();
}

void WaveformLoader::work(const std::string& path) {
    // The outline needs no decoder: opening one may count every frame.
    outline(path);
    std::unique_ptr<engine::Decoder> scanner;
    try {
        scanner = engine::OpenFileDecoder(path);
    } catch (const std::exception&) {
        {
            std::lock_guard lock(m_mutex);
            if (!interrupted())
                m_state.failed = true;
        }
        m_changed();
        return;
    }
    // The close-ups have a decoder of their own, opened when first wanted.
    std::unique_ptr<engine::Decoder> closeUp;
    const std::function<void()> serve = [&] {
        {
            std::lock_guard lock(m_mutex);
            if (!m_wantedCloseUp)
                return;
        }
        if (!closeUp) {
            try {
                closeUp = engine::OpenFileDecoder(path);
            } catch (const std::exception&) {
                // The file went away since: the blocks still show.
                std::lock_guard lock(m_mutex);
                m_wantedCloseUp.reset();
                return;
            }
        }
        serveCloseUp(*closeUp);
    };
    bool sketch = false;
    {
        std::lock_guard lock(m_mutex);
        if (interrupted())
            return;
        m_state.rate = scanner->rate();
        m_state.lengthFrames = std::max<int64_t>(scanner->lengthFrames(), 0);
        sketch = !m_overview;
    }
    if (sketch) {
        std::vector<Peak> peaks = SketchPeaks(*scanner, kSketchColumns, m_interrupt);
        {
            std::lock_guard lock(m_mutex);
            if (interrupted())
                return;
            m_sketch = std::move(peaks);
            m_state.sketched = true;
        }
        m_changed();
    }

    const int64_t played = scanInHalves(path, *scanner, serve);
    if (played < 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (interrupted())
            return;
        // What the decoder gave is the length that is played.
        m_state.lengthFrames = played;
        m_state.scannedFrames = std::max(m_parts[0].frames + m_parts[1].frames, played);
    }
    m_changed();
    // Close-ups are still wanted after the scan: wait for them, or the next file.
    std::unique_lock lock(m_mutex);
    while (!interrupted()) {
        m_wake.wait(lock, [this] { return interrupted() || m_quit || m_wantedCloseUp.has_value(); });
        if (interrupted() || m_quit)
            return;
        lock.unlock();
        serve();
        lock.lock();
    }
}

int64_t WaveformLoader::scanInHalves(const std::string& path, engine::Decoder& scanner,
                                     const std::function<void()>& between) {
    const int64_t length = scanner.lengthFrames();
    const int64_t blocks = length > 0 ? (length + kWaveformBlockFrames - 1) / kWaveformBlockFrames : 0;
    // A short file is not worth a second decoder.
    const int64_t half = blocks >= 4 * kScanChunkBlocks ? blocks / 2 : 0;
    {
        std::lock_guard lock(m_mutex);
        m_blocks.assign(static_cast<std::size_t>(blocks), Peak{});
        m_parts[0] = {};
        m_parts[1] = {half, 0, 0, false};
    }
    if (!scanner.seek(0))
        return std::max<int64_t>(scanner.lengthFrames(), 0);
    if (half == 0)
        return scan(scanner, 0, -1, between);
    // The second half on a thread and decoder of its own; -2 when that
    // decoder could not stand at the half, so this thread reads it after all.
    int64_t secondPlayed = -1;
    std::thread second([&] {
        try {
            const std::unique_ptr<engine::Decoder> decoder = engine::OpenFileDecoder(path);
            secondPlayed = decoder->seek(half * kWaveformBlockFrames) ? scan(*decoder, 1, -1, [] {}) : -2;
        } catch (const std::exception&) {
            secondPlayed = -2;
        }
    });
    const int64_t firstPlayed = scan(scanner, 0, half, between);
    second.join();
    if (firstPlayed >= 0 || interrupted())
        return firstPlayed; // the audio ended before the half
    if (secondPlayed == -2 && scanner.seek(half * kWaveformBlockFrames))
        return scan(scanner, 1, -1, between);
    return secondPlayed;
}

int64_t WaveformLoader::scan(engine::Decoder& decoder, int part, int64_t lastBlock,
                             const std::function<void()>& between) {
    const std::size_t channels = static_cast<std::size_t>(decoder.channels());
    const auto blockFrames = static_cast<std::size_t>(kWaveformBlockFrames);
    std::vector<int16_t> buffer(blockFrames * channels);
    std::vector<Peak> fresh;
    auto lastReport = std::chrono::steady_clock::now();
    int64_t next = 0;
    {
        std::lock_guard lock(m_mutex);
        next = m_parts[part].firstBlock;
    }
    while (!interrupted()) {
        between();
        fresh.clear();
        int64_t frames = 0;
        bool atEnd = false;
        for (int64_t b = 0; b < kScanChunkBlocks && (lastBlock < 0 || next + b < lastBlock); ++b) {
            std::size_t got = 0;
            while (got < blockFrames) {
                const std::size_t n = decoder.read(buffer.data() + got * channels, blockFrames - got);
                if (n == 0)
                    break;
                got += n;
            }
            if (got > 0)
                fresh.push_back(peakOf(buffer.data(), got * channels));
            frames += static_cast<int64_t>(got);
            if (got < blockFrames) {
                atEnd = true;
                break;
            }
        }
        const auto freshBlocks = static_cast<int64_t>(fresh.size());
        {
            std::lock_guard lock(m_mutex);
            if (interrupted())
                return -1;
            if (static_cast<int64_t>(m_blocks.size()) < next + freshBlocks)
                m_blocks.resize(static_cast<std::size_t>(next + freshBlocks));
            std::copy(fresh.begin(), fresh.end(), m_blocks.begin() + next);
            m_parts[part].blocks += freshBlocks;
            m_parts[part].frames += frames;
            m_parts[part].ended = atEnd;
            // Complete only once every part is in; the caller says when.
            const int64_t scanned = m_parts[0].frames + m_parts[1].frames;
            m_state.scannedFrames = m_state.lengthFrames > 0 ? std::min(scanned, m_state.lengthFrames - 1) : scanned;
        }
        next += freshBlocks;
        const bool stopped = lastBlock >= 0 && next >= lastBlock;
        const auto now = std::chrono::steady_clock::now();
        if (!atEnd && !stopped && now - lastReport >= kReportInterval) {
            lastReport = now;
            m_changed();
        }
        if (atEnd)
            return std::max<int64_t>(decoder.lengthFrames(), 0);
        if (stopped)
            return -1;
    }
    return -1;
}

void WaveformLoader::serveCloseUp(engine::Decoder& decoder) {
    std::optional<View> view;
    {
        std::lock_guard lock(m_mutex);
        view.swap(m_wantedCloseUp);
    }
    if (!view)
        return;
    std::vector<Peak> peaks = DecodePeaks(decoder, view->first, view->count, view->columns, m_interrupt);
    {
        std::lock_guard lock(m_mutex);
        if (interrupted())
            return;
        m_closeUpView = *view;
        m_closeUp = std::move(peaks);
    }
    m_changed();
}

} // namespace tindrel
