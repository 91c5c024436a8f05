// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Engine.h"

#include "engine/EngineError.h"

#include <algorithm>
#include <cmath>

namespace tindrel::engine {
namespace {

constexpr DWORD kMinRate = 100;
constexpr DWORD kMaxRate = 100000;

bool validVolume(int v) {
    return v == -1 || (v >= 0 && v <= 100);
}

} // namespace

Engine& Engine::instance() {
    static Engine engine;
    return engine;
}

void Engine::requireInit() const {
    if (!m_initialized)
        throw EngineError(BASS_ERROR_INIT);
}

void Engine::init(int device, DWORD freq, DWORD flags) {
    std::lock_guard lifecycle(m_lifecycle);
    {
        std::lock_guard lock(m_lock);
        if (m_initialized)
            throw EngineError(BASS_ERROR_ALREADY);
    }
    if (device < -1)
        throw EngineError(BASS_ERROR_DEVICE);
    if (freq < 8000 || freq > 192000)
        throw EngineError(BASS_ERROR_ILLPARAM);
    // The device is opened without m_lock held: the output's thread takes
    // its own lock and then m_lock when it mixes, so holding m_lock while
    // calling into the output could deadlock.
    auto render = [this](int16_t* out, std::size_t frames) { this->render(out, frames); };
    const int rate = static_cast<int>(freq);
    std::unique_ptr<Output> output =
        device == BASS_DEVICE_NOSOUND ? OpenSilentOutput(rate, render) : OpenSdlOutput(device, rate, render);
    std::lock_guard lock(m_lock);
    m_output = std::move(output);
    m_syncs = std::make_unique<SyncDispatcher>();
    m_initFlags = flags;
    m_rate = rate;
    // A new session starts at full volume, whatever the last one left.
    m_musicVolume = m_sampleVolume = m_streamVolume = 100;
    m_initialized = true;
}

void Engine::start() {
    std::lock_guard lifecycle(m_lifecycle);
    Output* output;
    {
        std::lock_guard lock(m_lock);
        requireInit();
        output = m_output.get();
    }
    output->start(); // m_lifecycle keeps it alive
}

void Engine::free() {
    std::lock_guard lifecycle(m_lifecycle);
    {
        std::lock_guard lock(m_lock);
        requireInit();
    }
    shutDown();
}

Engine::~Engine() {
    std::lock_guard lifecycle(m_lifecycle);
    shutDown();
}

void Engine::shutDown() {
    std::unique_ptr<Output> output;
    std::unique_ptr<SyncDispatcher> syncs;
    std::map<DWORD, std::shared_ptr<Channel>> channels;
    {
        std::lock_guard lock(m_lock);
        output = std::move(m_output);
        syncs = std::move(m_syncs);
        channels.swap(m_channels);
        m_initialized = false;
    }
    // The output first: once it is gone nothing pulls the channels any more.
    output.reset();
    channels.clear();
    syncs.reset();
}

BASS_INFO Engine::info() const {
    std::lock_guard lock(m_lock);
    requireInit();
    BASS_INFO info{};
    info.size = sizeof(BASS_INFO);
    info.minrate = kMinRate;
    info.maxrate = kMaxRate;
    info.minbuf = static_cast<DWORD>(m_output->latencyMs());
    // Every effect the interface knows is available: report DirectX 9.
    info.dsver = 9;
    info.latency = static_cast<DWORD>(m_output->latencyMs());
    info.initflags = m_initFlags;
    info.speakers = 2;
    return info;
}

int Engine::outputRate() const {
    std::lock_guard lock(m_lock);
    requireInit();
    return m_output->rate();
}

DWORD Engine::reserveHandle() {
    std::lock_guard lock(m_lock);
    requireInit();
    do {
        if (++m_nextHandle == 0)
            m_nextHandle = 0x10000;
    } while (m_channels.count(m_nextHandle) != 0);
    return m_nextHandle;
}

void Engine::addChannel(DWORD handle, std::shared_ptr<Channel> channel) {
    std::lock_guard lock(m_lock);
    requireInit();
    m_channels[handle] = std::move(channel);
}

std::shared_ptr<Channel> Engine::channel(DWORD handle) const {
    std::lock_guard lock(m_lock);
    requireInit();
    auto it = m_channels.find(handle);
    if (it == m_channels.end())
        throw EngineError(BASS_ERROR_HANDLE);
    return it->second;
}

std::shared_ptr<Channel> Engine::channel(DWORD handle, ChannelKind kind) const {
    std::shared_ptr<Channel> found = channel(handle);
    if (found->kind() != kind)
        throw EngineError(BASS_ERROR_HANDLE);
    return found;
}

void Engine::removeChannel(DWORD handle, ChannelKind kind) {
    std::shared_ptr<Channel> removed;
    {
        std::lock_guard lock(m_lock);
        requireInit();
        auto it = m_channels.find(handle);
        if (it == m_channels.end() || it->second->kind() != kind)
            throw EngineError(BASS_ERROR_HANDLE);
        removed = std::move(it->second);
        m_channels.erase(it);
    }
    // Waits for a mix in progress, so that a stream callback is never
    // called after its stream has been freed; then no end notice of it is
    // delivered any more.
    removed->retire();
    std::lock_guard lock(m_lock);
    if (m_syncs)
        m_syncs->cancel(handle);
}

HSYNC Engine::addEndSync(DWORD handle, SYNCPROC* proc, void* user) {
    std::shared_ptr<Channel> target = channel(handle);
    HSYNC sync;
    {
        std::lock_guard lock(m_lock);
        sync = m_nextSync++;
        if (m_nextSync == 0)
            m_nextSync = 1;
    }
    target->addEndSync(sync, proc, user);
    return sync;
}

void Engine::setGlobalVolumes(int music, int sample, int stream) {
    if (!validVolume(music) || !validVolume(sample) || !validVolume(stream))
        throw EngineError(BASS_ERROR_ILLPARAM);
    if (music != -1)
        m_musicVolume = music;
    if (sample != -1)
        m_sampleVolume = sample;
    if (stream != -1)
        m_streamVolume = stream;
}

void Engine::globalVolumes(DWORD* music, DWORD* sample, DWORD* stream) const {
    if (music)
        *music = static_cast<DWORD>(m_musicVolume.load());
    if (sample)
        *sample = static_cast<DWORD>(m_sampleVolume.load());
    if (stream)
        *stream = static_cast<DWORD>(m_streamVolume.load());
}

void Engine::render(int16_t* out, std::size_t frames) {
    m_active.clear();
    {
        std::lock_guard lock(m_lock);
        for (const auto& entry : m_channels)
            m_active.push_back(entry);
    }
    m_mix.assign(frames * 2, 0.0f);
    const int rate = m_rate.load();
    const float musicGain = static_cast<float>(m_musicVolume.load()) / 100.0f;
    const float streamGain = static_cast<float>(m_streamVolume.load()) / 100.0f;
    for (const auto& [handle, channel] : m_active) {
        const float gain = channel->kind() == ChannelKind::Music ? musicGain : streamGain;
        if (channel->mix(m_mix.data(), frames, rate, gain)) {
            // A channel freed meanwhile has had its notices cancelled; it
            // must not get a new one.
            std::lock_guard lock(m_lock);
            const auto it = m_channels.find(handle);
            if (m_syncs && it != m_channels.end() && it->second == channel)
                m_syncs->post(channel->endSyncs(handle));
        }
    }
    for (std::size_t i = 0; i < frames * 2; ++i)
        out[i] = static_cast<int16_t>(std::clamp(std::lrint(m_mix[i]), -32768L, 32767L));
    m_active.clear();
}

} // namespace tindrel::engine
