// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Channel.h"

#include "engine/EngineError.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tindrel::engine {

Channel::Channel(ChannelKind kind, std::unique_ptr<Decoder> source, DWORD flags, int bytesPerSample, SourceCode code)
    : m_kind(kind), m_flags(flags), m_rate(source->rate()), m_channels(source->channels()),
      m_bytesPerFrame(bytesPerSample * source->channels()), m_code(code), m_source(std::move(source)),
      m_history(kHistoryFrames * m_channels, 0) {}

void Channel::takeSource(Lock& lock) const {
    m_changed.wait(lock, [this] { return !m_sourceTaken; });
    m_sourceTaken = true;
}

void Channel::releaseSource() const {
    m_sourceTaken = false;
    m_changed.notify_all();
}

void Channel::play(bool flush) {
    Lock lock(m_mutex);
    if (m_retired)
        return;
    if (m_ended || flush) {
        // A user source cannot seek, and its callback may be running: drop
        // the read-ahead without waiting for it.
        if (m_code == SourceCode::Engine) {
            // Playing an ended channel again starts it from the beginning;
            // a flush drops the read-ahead without losing its place.
            const int64_t target = m_ended ? 0 : m_position.load();
            takeSource(lock);
            lock.unlock();
            const bool moved = m_source->seek(target);
            lock.lock();
            releaseSource();
            if (moved)
                m_position = target;
        }
        resetStage();
        m_ended = false;
        ++m_generation;
    }
    m_state = BASS_ACTIVE_PLAYING;
}

// Pause and stop take the lock that a mix holds except while its source
// reads, and a mix looks at the state again each time it takes the lock
// back: once they return, the position is final and nothing more is heard.
bool Channel::pause() {
    Lock lock(m_mutex);
    const DWORD state = m_state.load();
    if (state != BASS_ACTIVE_PLAYING && state != BASS_ACTIVE_STALLED)
        throw EngineError(state == BASS_ACTIVE_PAUSED ? BASS_ERROR_ALREADY : BASS_ERROR_NOPLAY);
    m_state = BASS_ACTIVE_PAUSED;
    return true;
}

bool Channel::resume() {
    DWORD paused = BASS_ACTIVE_PAUSED;
    if (!m_state.compare_exchange_strong(paused, BASS_ACTIVE_PLAYING))
        throw EngineError(BASS_ERROR_NOPAUSE);
    return true;
}

void Channel::stop() {
    Lock lock(m_mutex);
    m_state = BASS_ACTIVE_STOPPED;
}

void Channel::retire() {
    Lock lock(m_mutex);
    m_state = BASS_ACTIVE_STOPPED;
    m_ended = true;
    m_retired = true;
    ++m_generation;
    if (m_mixer != std::this_thread::get_id())
        m_changed.wait(lock, [this] { return !m_mixing; });
}

int64_t Channel::lengthFrames() const {
    if (m_code == SourceCode::User)
        return -1;
    Lock lock(m_mutex);
    takeSource(lock);
    lock.unlock();
    const int64_t length = m_source->lengthFrames();
    lock.lock();
    releaseSource();
    return length;
}

void Channel::seek(int64_t frame) {
    if (frame < 0)
        throw EngineError(BASS_ERROR_POSITION);
    if (m_code == SourceCode::User)
        throw EngineError(BASS_ERROR_NOTFILE);
    Lock lock(m_mutex);
    takeSource(lock);
    lock.unlock();
    const int64_t length = m_source->lengthFrames();
    const bool inRange = length < 0 || frame <= length;
    const bool moved = inRange && m_source->seek(frame);
    lock.lock();
    releaseSource();
    if (!inRange)
        throw EngineError(BASS_ERROR_POSITION);
    if (!moved)
        throw EngineError(length < 0 ? BASS_ERROR_NOTFILE : BASS_ERROR_POSITION);
    resetStage();
    ++m_generation;
    m_position = frame;
    m_ended = false;
}

void Channel::setAttributes(int freq, int volume, int pan) {
    const bool freqOk = freq == BASS_ATTRIB_KEEP || freq == 0 || (freq >= 100 && freq <= 100000);
    const bool volumeOk = volume == BASS_ATTRIB_KEEP || (volume >= 0 && volume <= 100);
    const bool panOk = pan == BASS_PAN_KEEP || (pan >= -100 && pan <= 100);
    if (!freqOk || !volumeOk || !panOk)
        throw EngineError(BASS_ERROR_ILLPARAM);
    if (freq != BASS_ATTRIB_KEEP)
        m_freq = freq;
    if (volume != BASS_ATTRIB_KEEP)
        m_volume = volume;
    if (pan != BASS_PAN_KEEP)
        m_pan = pan;
}

void Channel::attributes(DWORD* freq, DWORD* volume, int* pan) const {
    if (freq)
        *freq = static_cast<DWORD>(m_freq > 0 ? m_freq.load() : m_rate);
    if (volume)
        *volume = static_cast<DWORD>(m_volume.load());
    if (pan)
        *pan = m_pan;
}

void Channel::addEndSync(HSYNC sync, SYNCPROC* proc, void* user) {
    std::lock_guard lock(m_syncMutex);
    m_syncs.push_back({proc, sync, 0, user});
}

std::vector<SyncCall> Channel::endSyncs(DWORD handle) const {
    std::lock_guard lock(m_syncMutex);
    std::vector<SyncCall> calls = m_syncs;
    for (SyncCall& call : calls)
        call.channel = handle;
    return calls;
}

void Channel::resetStage() {
    m_stageStart = m_stageEnd = 0;
    m_frac = 0.0;
    m_sourceFinished = false;
}

// Tops the read-ahead up to `wanted` frames; true when at least one frame
// is staged afterwards. The source reads without the lock held; frames read
// while a seek or flush came in are dropped.
bool Channel::refill(std::size_t wanted, Lock& lock) {
    if (m_stageStart > 0) {
        std::copy(m_stage.begin() + static_cast<std::ptrdiff_t>(m_stageStart * m_channels),
                  m_stage.begin() + static_cast<std::ptrdiff_t>(m_stageEnd * m_channels), m_stage.begin());
        m_stageEnd -= m_stageStart;
        m_stageStart = 0;
    }
    if (m_stage.size() < wanted * m_channels)
        m_stage.resize(wanted * m_channels);
    if (m_stageEnd >= wanted || m_retired)
        return m_stageEnd > 0;
    takeSource(lock);
    const uint64_t generation = m_generation;
    const std::size_t missing = wanted - m_stageEnd;
    m_incoming.resize(missing * m_channels);
    lock.unlock();
    std::size_t got = 0;
    if (!m_source->finished())
        got = std::min(missing, m_source->read(m_incoming.data(), missing));
    const bool finished = m_source->finished();
    lock.lock();
    releaseSource();
    if (generation == m_generation) {
        m_sourceFinished = finished;
        std::copy_n(m_incoming.begin(), got * m_channels,
                    m_stage.begin() + static_cast<std::ptrdiff_t>(m_stageEnd * m_channels));
        m_stageEnd += got;
    }
    return m_stageEnd > 0;
}

void Channel::consumeOne() {
    const int16_t* frame = m_stage.data() + m_stageStart * m_channels;
    std::copy(frame, frame + m_channels, m_history.begin() + static_cast<std::ptrdiff_t>(m_historyPos * m_channels));
    m_historyPos = (m_historyPos + 1) % kHistoryFrames;
    ++m_stageStart;
}

bool Channel::mix(float* out, std::size_t frames, int outRate, float gain) {
    Lock lock(m_mutex);
    const DWORD state = m_state.load();
    if (m_retired || (state != BASS_ACTIVE_PLAYING && state != BASS_ACTIVE_STALLED))
        return false;
    m_mixing = true;
    m_mixer = std::this_thread::get_id();
    const bool ended = mixLocked(out, frames, outRate, gain, lock);
    m_mixing = false;
    m_mixer = {};
    m_changed.notify_all();
    return ended;
}

bool Channel::mixLocked(float* out, std::size_t frames, int outRate, float gain, Lock& lock) {
    const int freq = m_freq.load();
    const double step = static_cast<double>(freq > 0 ? freq : m_rate) / outRate;
    const std::size_t wanted = static_cast<std::size_t>(std::ceil(frames * step)) + 2;
    const int pan = m_pan.load();
    const float volume = gain * static_cast<float>(m_volume.load()) / 100.0f;
    const float left = volume * (pan > 0 ? static_cast<float>(100 - pan) / 100.0f : 1.0f);
    const float right = volume * (pan < 0 ? static_cast<float>(100 + pan) / 100.0f : 1.0f);

    const uint64_t generation = m_generation;
    int64_t position = m_position.load();
    // The source reads without the lock, so a seek, a flush, a pause or a
    // stop may come in meanwhile: what was mixed before it counts, nothing
    // after it is mixed. An end that the read found still ends a channel
    // paused meanwhile, but not one the caller stopped.
    const auto topUp = [&] {
        m_position = position;
        return refill(wanted, lock);
    };
    const auto interrupted = [&](bool gotFrames) {
        const DWORD now = m_state.load();
        return generation != m_generation || now == BASS_ACTIVE_STOPPED || (gotFrames && now == BASS_ACTIVE_PAUSED);
    };
    bool ended = false;
    bool starved = false;
    std::size_t i = 0;
    for (; i < frames; ++i) {
        if (m_stageEnd - m_stageStart < 2) {
            const bool got = topUp();
            if (interrupted(got))
                return false;
            if (!got) {
                (m_sourceFinished ? ended : starved) = true;
                break;
            }
        }
        // Linear interpolation between the current and the next frame; at
        // the very end the last frame stands for both.
        const int16_t* a = m_stage.data() + m_stageStart * m_channels;
        const int16_t* b = m_stageEnd - m_stageStart >= 2 ? a + m_channels : a;
        const float f = static_cast<float>(std::min(m_frac, 1.0));
        const float l = a[0] + (b[0] - a[0]) * f;
        const float r = m_channels == 2 ? a[1] + (b[1] - a[1]) * f : l;
        out[2 * i] += l * left;
        out[2 * i + 1] += r * right;
        m_frac += step;
        while (m_frac >= 1.0) {
            if (m_stageEnd == m_stageStart) {
                const bool got = topUp();
                if (interrupted(got))
                    return false;
                if (!got)
                    break;
            }
            consumeOne();
            ++position;
            m_frac -= 1.0;
        }
    }
    m_position = position;
    if (ended) {
        // Stopped even if a pause came in meanwhile: resuming an ended
        // channel would only end it, and report the end, a second time.
        m_ended = true;
        m_state = BASS_ACTIVE_STOPPED;
        return true;
    }
    DWORD expected = starved ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STALLED;
    if (starved || i > 0)
        m_state.compare_exchange_strong(expected, starved ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING);
    return false;
}

void Channel::recentFrames(int16_t* out, std::size_t frames) const {
    std::lock_guard lock(m_mutex);
    const std::size_t count = std::min(frames, kHistoryFrames);
    std::size_t from = (m_historyPos + kHistoryFrames - count) % kHistoryFrames;
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(out + i * m_channels, m_history.data() + from * m_channels, m_channels * sizeof(int16_t));
        from = (from + 1) % kHistoryFrames;
    }
    if (frames > count)
        std::fill(out + count * m_channels, out + frames * m_channels, int16_t{0});
}

} // namespace tindrel::engine
