// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Output.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/SdlAudio.h"

namespace tindrel::engine {
namespace {

// About 12 ms per block at 44.1 kHz: a new channel is heard within one block.
constexpr Uint16 kSdlBlockFrames = 512;
// The silent clock's tick.
constexpr int kSilentTicksPerSecond = 100;

void releaseSdlAudio();

class SdlOutput final : public Output {
public:
    SdlOutput(int device, int rate, RenderFunction render);
    ~SdlOutput() override;

    void start() override { LoadSdlAudio().PauseAudioDevice(m_device, 0); }
    int rate() const override { return m_rate; }
    int latencyMs() const override { return 2 * m_blockFrames * 1000 / m_rate; }

private:
    static void callback(void* self, Uint8* stream, int len);

    RenderFunction m_render;
    SDL_AudioDeviceID m_device = 0;
    int m_rate = 0;
    int m_blockFrames = kSdlBlockFrames;
};

SdlOutput::SdlOutput(int device, int rate, RenderFunction render) : m_render(std::move(render)) {
    // The program that loads the engine owns its signals: left to itself,
    // SDL would turn SIGINT and SIGTERM into quit events nobody reads, and
    // the program could no longer be stopped from outside.
    const SdlAudio& sdl = LoadSdlAudio();
    sdl.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdl.InitSubSystem(SDL_INIT_AUDIO) != 0)
        throw EngineError(BASS_ERROR_DRIVER);
    const char* name = nullptr;
    if (device > 0) {
        if (device > sdl.GetNumAudioDevices(0)) {
            releaseSdlAudio();
            throw EngineError(BASS_ERROR_DEVICE);
        }
        name = sdl.GetAudioDeviceName(device - 1, 0);
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kSdlBlockFrames;
    want.callback = &SdlOutput::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts if the device wants something else.
    m_device = sdl.OpenAudioDevice(name, 0, &want, &have, 0);
    if (m_device == 0) {
        releaseSdlAudio();
        throw EngineError(BASS_ERROR_DRIVER);
    }
    m_rate = rate;
    m_blockFrames = have.samples;
}

// Undoes SDL_InitSubSystem; SDL's own global state goes too once nothing
// of SDL is in use any more, so that unloading the engine leaks nothing.
void releaseSdlAudio() {
    const SdlAudio& sdl = LoadSdlAudio();
    sdl.QuitSubSystem(SDL_INIT_AUDIO);
    if (sdl.WasInit(SDL_INIT_EVERYTHING) == 0)
        sdl.Quit();
}

SdlOutput::~SdlOutput() {
    LoadSdlAudio().CloseAudioDevice(m_device);
    releaseSdlAudio();
}

void SdlOutput::callback(void* self, Uint8* stream, int len) {
    auto* output = static_cast<SdlOutput*>(self);
    output->m_render(reinterpret_cast<int16_t*>(stream), static_cast<std::size_t>(len) / 4);
}

class SilentOutput final : public Output {
public:
    SilentOutput(int rate, RenderFunction render) : m_render(std::move(render)), m_rate(rate) {}
    ~SilentOutput() override;

    void start() override;
    int rate() const override { return m_rate; }
    int latencyMs() const override { return 1000 / kSilentTicksPerSecond; }

private:
    void run();

    RenderFunction m_render;
    int m_rate;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
};

SilentOutput::~SilentOutput() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SilentOutput::start() {
    if (!m_thread.joinable())
        m_thread = std::thread(&SilentOutput::run, this);
}

// Renders one tick's worth of frames per tick against the steady clock, so
// positions advance at real-time speed however long a tick's work takes.
void SilentOutput::run() {
    using Clock = std::chrono::steady_clock;
    std::vector<int16_t> block;
    const Clock::time_point begin = Clock::now();
    int64_t rendered = 0;
    std::unique_lock lock(m_mutex);
    for (int64_t tick = 1; !m_stopping; ++tick) {
        const int64_t due = tick * m_rate / kSilentTicksPerSecond;
        const std::size_t frames = static_cast<std::size_t>(due - rendered);
        block.resize(frames * 2);
        lock.unlock();
        m_render(block.data(), frames);
        lock.lock();
        rendered = due;
        m_wake.wait_until(lock, begin + std::chrono::milliseconds(tick * 1000 / kSilentTicksPerSecond),
                          [this] { return m_stopping; });
    }
}

} // namespace

std::unique_ptr<Output> OpenSdlOutput(int device, int rate, RenderFunction render) {
    return std::make_unique<SdlOutput>(device, rate, std::move(render));
}

std::unique_ptr<Output> OpenSilentOutput(int rate, RenderFunction render) {
    return std::make_unique<SilentOutput>(rate, std::move(render));
}

} // namespace tindrel::engine
