// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// A test input plug-in: "decodes" .tone files, one line of text
// "TONE rate channels bits milliseconds hertz", into a sine wave on a thread
// of its own, through its output module, as a real decoder would: it waits
// for CanWrite, seeks with Flush and posts the end-of-file message once its
// output has nearly played out. Its About and Config post to the window they
// are given, and its Quit still uses the output module, as some plug-ins do.
//
// Built in variants:
//   TINDREL_TONE_ENDS_WHEN_IDLE  posts the end once IsPlaying() returns 0,
//                                the end-of-file pattern most plug-ins use;
//   TINDREL_TONE_WITHOUT=Member  leaves that entry of its record empty;
//   TINDREL_TONE_VERSION=n       gives its record that version;
//   TINDREL_TONE_OPEN_DELAY_MS=n opens its output from its decoding thread,
//                                n ms after Play, as decoders that read
//                                headers or buffer a stream first do;
//   TINDREL_TONE_PLAY_FAILS      refuses every file in Play;
//   TINDREL_TONE_IGNORES_CANWRITE writes without asking CanWrite and retries
//                                a refused block at once;
//   TINDREL_TONE_CLOSES_FIRST    closes its output in Stop before it stops
//                                its thread, which then takes the closed
//                                output for the end and posts it.
#include "plugins/WinampPlugin.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

using namespace tindrel;

namespace {

struct ToneFile {
    int rate = 0, channels = 0, bits = 0, ms = 0, hz = 0;
};

bool readTone(const char* name, ToneFile& tone) {
    FILE* file = name ? std::fopen(name, "r") : nullptr;
    if (!file)
        return false;
    char magic[5] = {};
    const int fields =
        std::fscanf(file, "%4s %d %d %d %d %d", magic, &tone.rate, &tone.channels, &tone.bits, &tone.ms, &tone.hz);
    std::fclose(file);
    return fields == 6 && std::strcmp(magic, "TONE") == 0 && tone.rate > 0 && tone.ms > 0 &&
           (tone.channels == 1 || tone.channels == 2) && (tone.bits == 8 || tone.bits == 16);
}

#if defined(TINDREL_TONE_PLAY_FAILS)
constexpr bool kPlayFails = true;
#else
constexpr bool kPlayFails = false;
#endif

// Diagnostics the tests read through tone_probe().
std::atomic<int> initCount{0}, quitCount{0}, aboutCount{0}, configCount{0};
std::atomic<int> servicesSetAtInit{-1}, lastInfoNameLength{-1};
std::atomic<HWND> lastParent{nullptr};

extern In_Module mod;
std::thread decoder;
std::atomic<bool> stopping{false}, paused{false}, decoding{false}, outputGone{false};
std::atomic<int> seekTarget{-1};
ToneFile current;

#if defined(TINDREL_TONE_ENDS_WHEN_IDLE)
bool playedOut() {
    return mod.outMod->IsPlaying() == 0;
}
#else
// Nearly played out: what is still buffered is under a quarter of a second.
bool playedOut() {
    Out_Module* out = mod.outMod;
    return out->GetWrittenTime() - out->GetOutputTime() < 250;
}
#endif

void fill(std::vector<char>& block, int64_t first, int frames) {
    const double step = 2.0 * M_PI * current.hz / current.rate;
    for (int i = 0; i < frames; ++i) {
        const double value = 0.5 * std::sin(step * double(first + i));
        for (int c = 0; c < current.channels; ++c) {
            const int at = i * current.channels + c;
            if (current.bits == 16) {
                const auto sample = static_cast<int16_t>(value * 32767);
                std::memcpy(block.data() + at * 2, &sample, 2);
            } else {
                block[at] = static_cast<char>(static_cast<uint8_t>(128 + value * 127));
            }
        }
    }
}

bool openOutput() {
    if (mod.outMod->Open(current.rate, current.channels, current.bits, -1, -1) < 0)
        return false;
    mod.outMod->SetVolume(-666);
    return true;
}

// Whether the stop came during the wait before the output opens.
bool stoppedBeforeOpening() {
#if defined(TINDREL_TONE_OPEN_DELAY_MS)
    for (int waited = 0; waited < TINDREL_TONE_OPEN_DELAY_MS; waited += 10) {
        if (stopping)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !openOutput();
#else
    return false;
#endif
}

// A block the output refused is written again: at once by a plug-in that
// ignores CanWrite, otherwise once CanWrite says it fits.
bool roomFor(int bytes) {
#if defined(TINDREL_TONE_IGNORES_CANWRITE)
    (void)bytes;
    return true;
#else
    if (mod.outMod->CanWrite() >= bytes)
        return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return false;
#endif
}

void decodeFrames() {
    const int frameBytes = current.channels * current.bits / 8;
    const int64_t total = int64_t(current.rate) * current.ms / 1000;
    std::vector<char> block(576 * frameBytes);
    int64_t frame = 0;
    bool endPosted = false;
    while (!stopping) {
        if (outputGone) {
            host_post_message(mod.hMainWindow, kPluginEndOfFileMessage, 0, 0);
            return;
        }
        if (const int target = seekTarget.exchange(-1); target >= 0) {
            frame = std::min(total, int64_t(target) * current.rate / 1000);
            mod.outMod->Flush(target);
            endPosted = false;
        }
        if (frame >= total) {
            if (!endPosted && playedOut()) {
                host_post_message(mod.hMainWindow, kPluginEndOfFileMessage, 0, 0);
                endPosted = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        int frames = static_cast<int>(std::min<int64_t>(576, total - frame));
        if (!roomFor(frames * frameBytes))
            continue;
        fill(block, frame, frames);
        if (current.bits == 16 && mod.dsp_isactive())
            frames =
                mod.dsp_dosamples(reinterpret_cast<short*>(block.data()), frames, 16, current.channels, current.rate);
        if (mod.outMod->Write(block.data(), frames * frameBytes) == 0)
            frame += frames;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void decode() {
    decoding = true;
    if (!stoppedBeforeOpening())
        decodeFrames();
    decoding = false;
}

// WM_CLOSE, as a plug-in's dialog might send to its parent.
constexpr uint32_t kCloseMessage = 0x0010;

void Config(HWND parent) {
    ++configCount;
    lastParent = parent;
    host_post_message(parent, kCloseMessage, 0, 0);
}
void About(HWND parent) {
    ++aboutCount;
    lastParent = parent;
    host_post_message(parent, kCloseMessage, 0, 0);
}
void Init() {
    ++initCount;
    servicesSetAtInit = mod.dsp_isactive != nullptr;
}
void Quit() {
    ++quitCount;
    Out_Module* out = mod.outMod;
    out->Flush(0);
    out->Pause(0);
    out->SetPan(0);
    out->SetVolume(255);
}

void GetFileInfo(char* file, char* title, int* length) {
    ToneFile tone;
    const bool ours = file && *file ? readTone(file, tone) : (tone = current, current.rate > 0);
    lastInfoNameLength = file ? static_cast<int>(std::strlen(file)) : -1;
    if (title) {
        const char* name = file ? std::strrchr(file, '/') : nullptr;
        std::snprintf(title, 256, "%s", ours && name ? name + 1 : "");
    }
    if (length)
        *length = ours ? tone.ms : 0;
}

int InfoBox(char*, HWND) {
    return 0;
}
int IsOurFile(char*) {
    return 0;
}

int Play(char* fn) {
    ToneFile tone;
    if (!readTone(fn, tone))
        return -1;
    if (kPlayFails)
        return 1;
    current = tone;
    // Like most plug-ins, Play starts afresh: a seek asked for before it
    // is forgotten.
    stopping = false;
    paused = false;
    outputGone = false;
    seekTarget = -1;
#if !defined(TINDREL_TONE_OPEN_DELAY_MS)
    if (!openOutput())
        return 1;
#endif
    decoder = std::thread(decode);
    return 0;
}

void Pause() {
    paused = true;
    mod.outMod->Pause(1);
}
void UnPause() {
    paused = false;
    mod.outMod->Pause(0);
}
int IsPaused() {
    return paused ? 1 : 0;
}

void Stop() {
#if defined(TINDREL_TONE_CLOSES_FIRST)
    mod.outMod->Close();
    outputGone = true;
    if (decoder.joinable())
        decoder.join();
#endif
    stopping = true;
    if (decoder.joinable())
        decoder.join();
    mod.outMod->Close();
}

int GetLength() {
    return current.ms;
}
int GetOutputTime() {
    return mod.outMod->GetOutputTime();
}
void SetOutputTime(int ms) {
    seekTarget = ms;
}
void SetVolume(int volume) {
    mod.outMod->SetVolume(volume);
}
void SetPan(int pan) {
    mod.outMod->SetPan(pan);
}
void EQSet(int, char*, int) {}

char kDescription[] = "Tindrel test tone decoder 1.0";
char kExtensions[] = "TONE\0Test tones (*.tone)\0PCMX\0Raw PCM (*.pcmx)\0";

In_Module mod = {
    0x100,   kDescription, nullptr,        nullptr,        kExtensions, 1,       1,       &Config,  &About,
    &Init,   &Quit,        &GetFileInfo,   &InfoBox,       &IsOurFile,  &Play,   &Pause,  &UnPause, &IsPaused,
    &Stop,   &GetLength,   &GetOutputTime, &SetOutputTime, &SetVolume,  &SetPan, nullptr, nullptr,  nullptr,
    nullptr, nullptr,      nullptr,        nullptr,        nullptr,     nullptr, nullptr, nullptr,  &EQSet,
    nullptr, nullptr,
};

} // namespace

extern "C" __attribute__((visibility("default"))) In_Module* winampGetInModule2() {
#if defined(TINDREL_TONE_WITHOUT)
    mod.TINDREL_TONE_WITHOUT = nullptr;
#endif
#if defined(TINDREL_TONE_VERSION)
    mod.version = TINDREL_TONE_VERSION;
#endif
    return &mod;
}

// Counters for the tests, by name; -1 for an unknown name.
extern "C" __attribute__((visibility("default"))) intptr_t tone_probe(const char* what) {
    const struct {
        const char* name;
        intptr_t value;
    } probes[] = {
        {"init", initCount},
        {"quit", quitCount},
        {"about", aboutCount},
        {"config", configCount},
        {"servicesSetAtInit", servicesSetAtInit},
        {"infoNameLength", lastInfoNameLength},
        {"lastParent", reinterpret_cast<intptr_t>(lastParent.load())},
        {"decoding", decoding ? 1 : 0},
    };
    for (const auto& probe : probes)
        if (std::strcmp(probe.name, what) == 0)
            return probe.value;
    return -1;
}
