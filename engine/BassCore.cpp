// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers

// The exported functions of the core library.

#include "engine/BassApi.h"
#include "engine/DecoderHandoff.h"
#include "engine/Engine.h"
#include "engine/ErrorState.h"
#include "engine/FileDecoder.h"
#include "engine/ModuleDecoder.h"
#include "engine/Spectrum.h"
#include "engine/UserStream.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

namespace tindrel::engine {
namespace {

thread_local int t_lastError = BASS_OK;

constexpr QWORD kBadBytes = static_cast<QWORD>(-1);
constexpr DWORD kBadDword = static_cast<DWORD>(-1);

Engine& engine() {
    return Engine::instance();
}

HSTREAM addStream(std::unique_ptr<Decoder> decoder, DWORD flags, int bytesPerSample, ChannelKind kind) {
    if (decoder->channels() == 1)
        flags |= BASS_SAMPLE_MONO;
    const DWORD handle = engine().reserveHandle();
    engine().addChannel(handle, std::make_shared<Channel>(kind, std::move(decoder), flags, bytesPerSample));
    return handle;
}

HSTREAM takeHandoff(void* user) {
    auto* handoff = static_cast<DecoderHandoff*>(user);
    if (!handoff || handoff->magic != kDecoderHandoffMagic || handoff->size != sizeof(DecoderHandoff))
        throw EngineError(BASS_ERROR_ILLPARAM);
    std::unique_ptr<Decoder> decoder(handoff->decoder);
    if (!decoder)
        throw EngineError(handoff->error != 0 ? handoff->error : BASS_ERROR_UNKNOWN);
    engine().outputRate(); // throws before init
    return addStream(std::move(decoder), handoff->flags, 2, ChannelKind::Stream);
}

DWORD fetchSpectrum(const Channel& channel, float* out, std::size_t points) {
    std::vector<int16_t> frames(points * channel.channels());
    channel.recentFrames(frames.data(), points);
    std::vector<float> mono(points);
    const int n = channel.channels();
    for (std::size_t i = 0; i < points; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < n; ++c)
            sum += frames[i * n + c];
        mono[i] = sum / (32768.0f * n);
    }
    // The transform's tables and window are the same for every call, and
    // the preview asks for a spectrum 30 times a second: build each once.
    static std::mutex lock;
    static Spectrum small(512), large(2048);
    std::lock_guard guard(lock);
    (points == small.points() ? small : large).compute(mono.data(), out);
    return static_cast<DWORD>(points / 2 * sizeof(float));
}

DWORD fetchData(DWORD handle, void* buffer, DWORD length) {
    std::shared_ptr<Channel> channel = engine().channel(handle);
    if (!buffer)
        throw EngineError(BASS_ERROR_ILLPARAM);
    if (length == BASS_DATA_FFT512)
        return fetchSpectrum(*channel, static_cast<float*>(buffer), 512);
    if (length == BASS_DATA_FFT2048)
        return fetchSpectrum(*channel, static_cast<float*>(buffer), 2048);
    if (length & 0x80000000u)
        throw EngineError(BASS_ERROR_ILLTYPE);
    // A byte count: the most recent whole 16-bit frames that fit.
    const std::size_t frameBytes = 2 * static_cast<std::size_t>(channel->channels());
    const std::size_t frames = std::min<std::size_t>(length / frameBytes, Channel::kHistoryFrames);
    channel->recentFrames(static_cast<int16_t*>(buffer), frames);
    return static_cast<DWORD>(frames * frameBytes);
}

} // namespace

void SetLastError(int code) {
    t_lastError = code;
}
int LastError() {
    return t_lastError;
}

} // namespace tindrel::engine

using namespace tindrel::engine;

extern "C" {

DWORD BASS_GetVersion() {
    return Guarded(DWORD{0}, [] { return BASS_VERSION_WORD; });
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* /*win*/) {
    return Guarded(BOOL{0}, [&] {
        engine().init(device, freq, flags);
        return BOOL{1};
    });
}

BOOL BASS_Start() {
    return Guarded(BOOL{0}, [] {
        engine().start();
        return BOOL{1};
    });
}

BOOL BASS_GetInfo(BASS_INFO* info) {
    return Guarded(BOOL{0}, [&] {
        if (!info || info->size < sizeof(DWORD))
            throw EngineError(BASS_ERROR_ILLPARAM);
        const BASS_INFO filled = engine().info();
        // An older, shorter record gets the fields that fit in it.
        const std::size_t bytes = std::min<std::size_t>(info->size, sizeof(BASS_INFO));
        std::memcpy(reinterpret_cast<char*>(info) + sizeof(DWORD),
                    reinterpret_cast<const char*>(&filled) + sizeof(DWORD), bytes - sizeof(DWORD));
        return BOOL{1};
    });
}

BOOL BASS_Free() {
    return Guarded(BOOL{0}, [] {
        engine().free();
        return BOOL{1};
    });
}

BOOL BASS_GetGlobalVolumes(DWORD* musvol, DWORD* samvol, DWORD* strvol) {
    return Guarded(BOOL{0}, [&] {
        engine().globalVolumes(musvol, samvol, strvol);
        return BOOL{1};
    });
}

BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol) {
    return Guarded(BOOL{0}, [&] {
        engine().setGlobalVolumes(musvol, samvol, strvol);
        return BOOL{1};
    });
}

int BASS_ErrorGetCode() {
    return LastError();
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD /*flags*/) {
    return Guarded(HSTREAM{0}, [&] {
        const std::string path = FileArgument(mem, file, offset, length);
        engine().outputRate(); // refuse before init, without touching the file
        return addStream(OpenFileDecoder(path), 0, 2, ChannelKind::Stream);
    });
}

HSTREAM BASS_StreamCreate(DWORD freq, DWORD flags, STREAMPROC* proc, void* user) {
    return Guarded(HSTREAM{0}, [&] {
        if (flags & kDecoderHandoffFlag)
            return takeHandoff(user);
        if (!proc || freq < 100 || freq > 100000)
            throw EngineError(BASS_ERROR_ILLPARAM);
        const DWORD format = flags & (BASS_SAMPLE_8BITS | BASS_SAMPLE_MONO);
        const DWORD handle = engine().reserveHandle();
        auto source = std::make_unique<UserStream>(handle, freq, format, proc, user);
        const int bytesPerSample = (format & BASS_SAMPLE_8BITS) ? 1 : 2;
        engine().addChannel(handle, std::make_shared<Channel>(ChannelKind::Stream, std::move(source), format,
                                                              bytesPerSample, SourceCode::User));
        return handle;
    });
}

BOOL BASS_StreamFree(HSTREAM handle) {
    return Guarded(BOOL{0}, [&] {
        engine().removeChannel(handle, ChannelKind::Stream);
        return BOOL{1};
    });
}

BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD /*flags*/) {
    return Guarded(BOOL{0}, [&] {
        engine().channel(handle, ChannelKind::Stream)->play(flush != 0);
        return BOOL{1};
    });
}

QWORD BASS_StreamGetLength(HSTREAM handle) {
    return Guarded(kBadBytes, [&] {
        std::shared_ptr<Channel> channel = engine().channel(handle, ChannelKind::Stream);
        const int64_t frames = channel->lengthFrames();
        if (frames < 0)
            throw EngineError(BASS_ERROR_NOTAVAIL);
        return static_cast<QWORD>(frames) * channel->bytesPerFrame();
    });
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags) {
    return Guarded(HMUSIC{0}, [&] {
        const std::string path = FileArgument(mem, file, offset, length);
        const int rate = engine().outputRate();
        return addStream(OpenModuleDecoder(path, rate), flags & BASS_MUSIC_CALCLEN, 2, ChannelKind::Music);
    });
}

BOOL BASS_MusicFree(HMUSIC handle) {
    return Guarded(BOOL{0}, [&] {
        engine().removeChannel(handle, ChannelKind::Music);
        return BOOL{1};
    });
}

BOOL BASS_MusicPlay(HMUSIC handle) {
    return Guarded(BOOL{0}, [&] {
        engine().channel(handle, ChannelKind::Music)->play(false);
        return BOOL{1};
    });
}

DWORD BASS_MusicGetLength(HMUSIC handle, BOOL playlen) {
    return Guarded(kBadDword, [&] {
        std::shared_ptr<Channel> channel = engine().channel(handle, ChannelKind::Music);
        if (!playlen)
            throw EngineError(BASS_ERROR_NOTAVAIL);
        const QWORD bytes = static_cast<QWORD>(std::max<int64_t>(channel->lengthFrames(), 0)) * 4;
        // The result is 32-bit: a module longer than that reports the most
        // it can rather than a wrapped-around small length.
        return static_cast<DWORD>(std::min<QWORD>(bytes, std::numeric_limits<DWORD>::max() - 1));
    });
}

DWORD BASS_ChannelGetFlags(DWORD handle) {
    return Guarded(kBadDword, [&] { return engine().channel(handle)->flags(); });
}

BOOL BASS_ChannelPause(DWORD handle) {
    return Guarded(BOOL{0}, [&] { return BOOL{engine().channel(handle)->pause()}; });
}

BOOL BASS_ChannelResume(DWORD handle) {
    return Guarded(BOOL{0}, [&] { return BOOL{engine().channel(handle)->resume()}; });
}

BOOL BASS_ChannelStop(DWORD handle) {
    return Guarded(BOOL{0}, [&] {
        engine().channel(handle)->stop();
        return BOOL{1};
    });
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    return Guarded(BASS_ACTIVE_STOPPED, [&] { return engine().channel(handle)->activity(); });
}

HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD /*param*/, SYNCPROC* proc, void* user) {
    return Guarded(HSYNC{0}, [&] {
        if (type != BASS_SYNC_END)
            throw EngineError(BASS_ERROR_ILLTYPE);
        if (!proc)
            throw EngineError(BASS_ERROR_ILLPARAM);
        return engine().addEndSync(handle, proc, user);
    });
}

QWORD BASS_ChannelGetPosition(DWORD handle) {
    return Guarded(kBadBytes, [&] {
        std::shared_ptr<Channel> channel = engine().channel(handle);
        return static_cast<QWORD>(channel->positionFrames()) * channel->bytesPerFrame();
    });
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos) {
    return Guarded(BOOL{0}, [&] {
        std::shared_ptr<Channel> channel = engine().channel(handle);
        const QWORD frame = pos / static_cast<QWORD>(channel->bytesPerFrame());
        if (frame > static_cast<QWORD>(std::numeric_limits<int64_t>::max()))
            throw EngineError(BASS_ERROR_POSITION);
        channel->seek(static_cast<int64_t>(frame));
        return BOOL{1};
    });
}

float BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    return Guarded(-1.0f, [&] {
        std::shared_ptr<Channel> channel = engine().channel(handle);
        const double perSecond = static_cast<double>(channel->rate()) * channel->bytesPerFrame();
        return static_cast<float>(static_cast<double>(pos) / perSecond);
    });
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, float pos) {
    return Guarded(kBadBytes, [&] {
        std::shared_ptr<Channel> channel = engine().channel(handle);
        if (!(pos >= 0.0f) || !std::isfinite(pos))
            throw EngineError(BASS_ERROR_ILLPARAM);
        // Nearest whole frame: single-precision seconds rarely hit a frame
        // exactly, and truncation would land one frame early.
        const QWORD frames = static_cast<QWORD>(std::llround(static_cast<double>(pos) * channel->rate()));
        return frames * static_cast<QWORD>(channel->bytesPerFrame());
    });
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    return Guarded(kBadDword, [&] { return fetchData(handle, buffer, length); });
}

BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan) {
    return Guarded(BOOL{0}, [&] {
        engine().channel(handle)->setAttributes(freq, volume, pan);
        return BOOL{1};
    });
}

BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan) {
    return Guarded(BOOL{0}, [&] {
        engine().channel(handle)->attributes(freq, volume, pan);
        return BOOL{1};
    });
}

} // extern "C"
