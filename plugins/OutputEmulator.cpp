// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/OutputEmulator.h"

#include "binding/BassBinding.h"
#include "platform/Dialogs.h"
#include "plugins/PcmRing.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>

namespace tindrel {

namespace {

constexpr uint32_t kStartWhenFreeAtMost = 8192;
// A plug-in that has written nothing for this long while there was room has
// come to the end of its input.
constexpr auto kInputIdle = std::chrono::milliseconds(200);
using Clock = std::chrono::steady_clock;

struct Emulator {
    const BassLibrary* bass = nullptr;
    IDialogs* dialogs = nullptr;
    std::function<void()> onClosed;
    Out_Module module{};
    HostWindowRecord handle{};
    std::unique_ptr<MessageWindow> window;
    std::atomic<MessageWindow*> playerWindow{nullptr};
    std::atomic<bool> ready{false};

    // The reader's busy flag alone leaves a gap between testing it and
    // writing; the lock closes it. Everything below it is
    // read and written with the lock held.
    std::mutex lock;
    PcmRing ring;
    int32_t sampleRate = 0, bitsPerSample = 0, channels = 0, bytesPer200ms = 0;
    int32_t timeOffset = 0;
    uint64_t writtenBytes = 0;
    Clock::time_point lastWrite; // since Open, Flush or the last stored block
    // The engine keeps counting a user stream's position across a stop, so
    // the clock restarts from the position it had at the last Flush.
    uint64_t positionBase = 0;
    TStartPlayInfo startPlayInfo;
    // Written on the UI thread only; what the player is given to read.
    TStartPlayInfo forwardedInfo;

    std::atomic<HSTREAM> outStream{0};
    std::atomic<bool> readerBusy{false};
    std::atomic<bool> startPending{false}, inputEnded{false}, seekPending{false};
    // A "Write error" box was shown for this playback: a plug-in that
    // ignores CanWrite retries its refused writes for as long as it plays,
    // and the user is told once, not after every dismissal.
    std::atomic<bool> writeErrorShown{false};
};

Emulator g;

uint32_t usedSpace() {
    std::lock_guard guard(g.lock);
    return g.ring.UsedSpace();
}

int32_t msFor(uint64_t bytes) {
    const double perSecond = double(g.bitsPerSample >> 3) * g.sampleRate * g.channels;
    if (perSecond <= 0)
        return g.timeOffset;
    return static_cast<int32_t>(std::nearbyint(double(bytes) * 1000.0 / perSecond)) + g.timeOffset;
}

void postToPlayer(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (MessageWindow* player = g.playerWindow.load())
        player->post(msg, wParam, lParam);
}

// A plug-in posts its end of file as (0, 0). The stream it had open when
// it posted goes with the notice, so that a notice that arrives after the
// next file was opened is recognised as stale.
void postFromPlugin(HWND, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (msg == WM_PLUGIN_EOF)
        wParam = g.outStream.load();
    if (g.window)
        g.window->post(msg, wParam, lParam);
}

// Queues the start notice once per Open or restarting Flush; called with
// the lock held.
void requestStart() {
    if (!g.startPending.exchange(false) || g.outStream.load() == 0 || !g.window)
        return;
    g.startPlayInfo = {static_cast<uint16_t>(g.bitsPerSample), static_cast<uint32_t>(g.sampleRate),
                       static_cast<uint16_t>(g.channels)};
    g.window->post(WM_PLUGIN_STARTPLAY, 0, reinterpret_cast<intptr_t>(&g.startPlayInfo));
}

// A file shorter than the start test's 400 ms never passes it: once the
// input has ended, whatever is buffered starts playing.
void startWhatIsBuffered() {
    std::lock_guard guard(g.lock);
    if (g.ring.UsedSpace() > 0)
        requestStart();
}

// Not every plug-in says when its input ended; one that stopped writing
// although the ring had room has reached it. Asked whenever the plug-in
// asks for the output's room or times; called with the lock held.
void startIfInputIdle() {
    if (g.startPending && g.ring.UsedSpace() > 0 && g.ring.FreeSpace() > kStartWhenFreeAtMost &&
        Clock::now() - g.lastWrite >= kInputIdle)
        requestStart();
}

// The emulator's window procedure, on the UI thread.
void EmulatorWndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    switch (msg) {
    case WM_PLUGIN_EOF: {
        // The end of a stream closed since, or posted by a plug-in after it
        // closed its output (as it stops, not at the end of its file).
        const HSTREAM stream = g.outStream.load();
        if (stream == 0 || wParam != stream)
            break;
        g.inputEnded = true;
        startWhatIsBuffered();
        postToPlayer(WM_PLUGIN_EOF, stream, 0);
        break;
    }
    case WM_PLUGIN_STARTPLAY: {
        if (const HSTREAM stream = g.outStream.load())
            g.bass->BASS_StreamPlay(stream, 0, 0);
        {
            std::lock_guard guard(g.lock);
            g.forwardedInfo = *reinterpret_cast<const TStartPlayInfo*>(lParam);
        }
        postToPlayer(WM_PLUGIN_STARTPLAY, wParam, reinterpret_cast<intptr_t>(&g.forwardedInfo));
        break;
    }
    case WM_PLUGIN_CLOSED:
        if (g.onClosed)
            g.onClosed();
        break;
    case WM_EMULATOR_WRITE_ERROR:
        g.dialogs->messageBox(QStringLiteral("Error"), QStringLiteral("Write error : No Space"), MessageIcon::Error,
                              MessageButtons::OkCancel);
        break;
    default:
        break;
    }
}

void Config(HWND) {
    g.dialogs->messageBox(QStringLiteral("Confirm"), QStringLiteral("No configuration is needed."),
                          MessageIcon::Information);
}

void About(HWND) {
    g.dialogs->messageBox(QStringLiteral("Confirm"),
                          QStringLiteral("This is a Winamp output plug-in emulator using BASS"),
                          MessageIcon::Information);
}

void Init() {
    if (g.ready)
        return;
    g.window = std::make_unique<MessageWindow>(&EmulatorWndProc);
    g.ready = true;
}

void Quit() {
    g.ready = false;
    g.window.reset();
}

void Close();

int Open(int rate, int channels, int bits, int, int) {
    // The ring and the user stream carry 8- or 16-bit mono or stereo only;
    // anything else would play as noise with wrong positions.
    if (!g.ready || (bits != 8 && bits != 16) || (channels != 1 && channels != 2))
        return -1;
    // A second Open without Close must not leave two streams draining one
    // ring.
    Close();
    DWORD flags = 0;
    if (bits == 8)
        flags |= BASS_SAMPLE_8BITS;
    if (channels == 1)
        flags |= BASS_SAMPLE_MONO;
    const HSTREAM stream = rate > 0 ? g.bass->BASS_StreamCreate(DWORD(rate), flags, &OutStreamProc, nullptr) : 0;
    {
        std::lock_guard guard(g.lock);
        if (stream != 0) {
            g.sampleRate = rate;
            g.bitsPerSample = bits;
            g.channels = channels;
            g.bytesPer200ms = ((bits / 8) * rate * channels * 2) / 10;
            g.timeOffset = 0;
            g.positionBase = 0;
        }
        g.ring.Reset();
        g.writtenBytes = 0;
        g.lastWrite = Clock::now();
        g.readerBusy = false;
        g.seekPending = false;
        g.startPending = true;
        g.inputEnded = false;
        g.writeErrorShown = false;
    }
    if (stream == 0)
        return -1;
    g.outStream = stream;
    postToPlayer(WM_PLUGIN_STREAM, stream, 0);
    return 0;
}

void Close() {
    const HSTREAM stream = g.outStream.exchange(0);
    if (stream == 0)
        return;
    // Freeing the stream waits for a callback in progress; end its waits
    // for data first, so closing never hangs for seconds.
    g.inputEnded = true;
    if (g.bass->BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING)
        g.bass->BASS_ChannelStop(stream);
    g.bass->BASS_StreamFree(stream);
}

int Write(char* buf, int len) {
    std::lock_guard guard(g.lock);
    int result = 0;
    if (len < 0 || !g.ring.Write(buf, static_cast<uint32_t>(len))) {
        if (len >= 0 && g.window && !g.writeErrorShown.exchange(true))
            g.window->post(WM_EMULATOR_WRITE_ERROR);
        result = 1;
    } else {
        g.writtenBytes += static_cast<uint32_t>(len);
        g.lastWrite = Clock::now();
    }
    if (g.startPending && (g.ring.FreeSpace() <= kStartWhenFreeAtMost ||
                           g.ring.UsedSpace() >= 2 * static_cast<uint32_t>(g.bytesPer200ms)))
        requestStart();
    return result;
}

int CanWrite() {
    if (g.readerBusy)
        return 0;
    std::lock_guard guard(g.lock);
    startIfInputIdle();
    return static_cast<int>(g.ring.FreeSpace()) - 1;
}

// Playing or still buffered. A plug-in asks this once it has written its
// last block, to learn when its output has played out; so a start still
// pending is made now, or a short file would wait for ever.
int IsPlaying() {
    const HSTREAM stream = g.outStream.load();
    if (stream == 0)
        return 0;
    const DWORD state = g.bass->BASS_ChannelIsActive(stream);
    if (state == BASS_ACTIVE_PLAYING)
        return 1;
    if (state == BASS_ACTIVE_PAUSED)
        return 0;
    if (g.startPending)
        startWhatIsBuffered();
    return usedSpace() > 0 ? 1 : 0;
}

int Pause(int pause) {
    const HSTREAM stream = g.outStream.load();
    const bool wasPaused = g.bass->BASS_ChannelIsActive(stream) == BASS_ACTIVE_PAUSED;
    if (pause == 0) {
        if (wasPaused)
            g.bass->BASS_ChannelResume(stream);
        else
            g.bass->BASS_StreamPlay(stream, 1, 0);
    } else if (!wasPaused) {
        g.bass->BASS_ChannelPause(stream);
    }
    return wasPaused ? 1 : 0;
}

void SetVolume(int volume) {
    int v = static_cast<int>(std::nearbyint(volume * 100.0 / 255.0));
    if (v < 0)
        v = 99;
    g.bass->BASS_SetGlobalVolumes(v, v, v);
}

void SetPan(int pan) {
    g.bass->BASS_ChannelSetAttributes(g.outStream.load(), BASS_ATTRIB_KEEP, BASS_ATTRIB_KEEP,
                                      static_cast<int>(std::nearbyint(pan * 0.78125)));
}

void Flush(int t) {
    const HSTREAM stream = g.outStream.load();
    const DWORD state = g.bass->BASS_ChannelIsActive(stream);
    const bool restart = state == BASS_ACTIVE_PLAYING || state == BASS_ACTIVE_STALLED;
    if (state == BASS_ACTIVE_PAUSED && !g.seekPending)
        return;
    g.bass->BASS_ChannelStop(stream);
    const QWORD position = g.bass->BASS_ChannelGetPosition(stream);
    std::lock_guard guard(g.lock);
    if (restart)
        g.startPending = true;
    g.timeOffset = t;
    g.positionBase = position == QWORD(-1) ? 0 : position;
    g.ring.Reset();
    g.writtenBytes = 0;
    g.lastWrite = Clock::now();
    g.seekPending = false;
}

int GetOutputTime() {
    const HSTREAM stream = g.outStream.load();
    const QWORD position = stream ? g.bass->BASS_ChannelGetPosition(stream) : QWORD(-1);
    std::lock_guard guard(g.lock);
    const uint64_t played = position == QWORD(-1) || position < g.positionBase ? 0 : position - g.positionBase;
    startIfInputIdle();
    return msFor(played);
}

int GetWrittenTime() {
    std::lock_guard guard(g.lock);
    startIfInputIdle();
    return msFor(g.writtenBytes);
}

char kDescription[] = "BASS Winamp output plug-in emulator";

} // namespace

// Runs on the engine's mixing thread, so it never waits: a short delivery
// only stalls this stream until the plug-in writes again, while a wait here
// would silence every channel and hold up the calls that ask the engine
// about this one.
DWORD OutStreamProc(HSTREAM, void* buffer, DWORD length, void*) {
    std::lock_guard guard(g.lock);
    g.readerBusy = true;
    const DWORD delivered = g.ring.Read(static_cast<char*>(buffer), length);
    g.readerBusy = false;
    return delivered;
}

bool StartOutputEmulator(const BassLibrary& bass, IDialogs& dialogs, std::function<void()> onClosed) {
    g.ready = false;
    if (!g.ring.Allocate())
        return false;
    g.bass = &bass;
    g.dialogs = &dialogs;
    g.onClosed = std::move(onClosed);
    g.handle = {sizeof(HostWindowRecord), &postFromPlugin};
    g.module = Out_Module{0x10,   kDescription, 0x10001, &g.handle, nullptr,        &Config,        &About,
                          &Init,  &Quit,        &Open,   &Close,    &Write,         &CanWrite,      &IsPlaying,
                          &Pause, &SetVolume,   &SetPan, &Flush,    &GetOutputTime, &GetWrittenTime};
    g.module.Init();
    return g.ready;
}

void StopOutputEmulator() {
    if (g.module.Quit)
        g.module.Quit();
    g.ring.Free();
    g.playerWindow = nullptr;
}

bool EmulatorReady() {
    return g.ready;
}
Out_Module* EmulatorOutModule() {
    return &g.module;
}
HWND EmulatorHandle() {
    return &g.handle;
}
MessageWindow* EmulatorWindow() {
    return g.window.get();
}
void SetEmulatorPlayerWindow(MessageWindow* window) {
    g.playerWindow = window;
}
MessageWindow* EmulatorPlayerWindow() {
    return g.playerWindow.load();
}
void MarkEmulatorSeekPending() {
    g.seekPending = true;
}

TEmulatorState EmulatorState() {
    std::lock_guard guard(g.lock);
    return {g.ring.ReadPos(),    g.ring.WritePos(),   g.ring.FreeSpace(), g.ring.UsedSpace(),
            g.sampleRate,        g.bitsPerSample,     g.channels,         g.bytesPer200ms,
            g.timeOffset,        g.writtenBytes,      g.outStream.load(), g.startPending.load(),
            g.inputEnded.load(), g.seekPending.load()};
}

} // namespace tindrel
