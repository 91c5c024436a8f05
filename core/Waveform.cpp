// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/Waveform.h"

#include "engine/Decoder.h"
#include "engine/FileDecoder.h"

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

void Peak::take(const Peak& other) {
    low = std::min(low, other.low);
    high = std::max(high, other.high);
}

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
        m_sketch.clear();
        m_blocks.clear();
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
    const auto scannedBlocks = static_cast<int64_t>(m_blocks.size());
    for (int c = 0; c < columns; ++c) {
        const int64_t from = first + bound(count, columns, c);
        const int64_t to = std::max(first + bound(count, columns, c + 1), from + 1);
        Peak& peak = out[static_cast<std::size_t>(c)];
        const int64_t b0 = from / kWaveformBlockFrames;
        const int64_t b1 = (to - 1) / kWaveformBlockFrames;
        if (b1 < scannedBlocks) {
            for (int64_t b = b0; b <= b1; ++b)
                peak.take(m_blocks[static_cast<std::size_t>(b)]);
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

void WaveformLoader::work(const std::string& path) {
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
    // The close-ups have a decoder of their own, opened when first wanted:
    // opening may count every frame of a long file.
    std::unique_ptr<engine::Decoder> closeUp;
    const auto serve = [&] {
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
    {
        std::lock_guard lock(m_mutex);
        if (interrupted())
            return;
        m_state.rate = scanner->rate();
        m_state.lengthFrames = std::max<int64_t>(scanner->lengthFrames(), 0);
    }
    std::vector<Peak> sketch = SketchPeaks(*scanner, kSketchColumns, m_interrupt);
    {
        std::lock_guard lock(m_mutex);
        if (interrupted())
            return;
        m_sketch = std::move(sketch);
        m_state.sketched = true;
    }
    m_changed();

    const std::size_t channels = static_cast<std::size_t>(scanner->channels());
    std::vector<int16_t> buffer(static_cast<std::size_t>(kWaveformBlockFrames) * channels);
    std::vector<Peak> fresh;
    auto lastReport = std::chrono::steady_clock::now();
    bool atEnd = !scanner->seek(0);
    while (!atEnd && !interrupted()) {
        serve();
        fresh.clear();
        for (int64_t b = 0; b < kScanChunkBlocks; ++b) {
            std::size_t got = 0;
            while (got < static_cast<std::size_t>(kWaveformBlockFrames)) {
                const std::size_t n = scanner->read(buffer.data() + got * channels,
                                                    static_cast<std::size_t>(kWaveformBlockFrames) - got);
                if (n == 0)
                    break;
                got += n;
            }
            if (got > 0)
                fresh.push_back(peakOf(buffer.data(), got * channels));
            if (got < static_cast<std::size_t>(kWaveformBlockFrames)) {
                atEnd = true;
                break;
            }
        }
        {
            std::lock_guard lock(m_mutex);
            if (interrupted())
                return;
            m_blocks.insert(m_blocks.end(), fresh.begin(), fresh.end());
            m_state.scannedFrames = static_cast<int64_t>(m_blocks.size()) * kWaveformBlockFrames;
            if (atEnd) {
                // What the decoder gave is the length that is played.
                m_state.lengthFrames = std::max<int64_t>(scanner->lengthFrames(), 0);
                m_state.scannedFrames = std::max(m_state.scannedFrames, m_state.lengthFrames);
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (atEnd || now - lastReport >= kReportInterval) {
            lastReport = now;
            m_changed();
        }
    }
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
