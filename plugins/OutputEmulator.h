// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// The output module every input plug-in gets: its PCM goes into a ring and
// from there into a user stream of the audio engine, so the engine plays,
// pauses and times plug-in sound like any other channel. One emulator per
// process, started and ended by the plug-in host.
//
// Three threads meet here: the UI thread (message windows, the player's
// calls into the plug-in), the plug-in's decoding thread (Open, Write,
// CanWrite, Flush, Close) and the engine's mixing thread (OutStreamProc).

#include "engine/BassApi.h"
#include "platform/MessageWindow.h"
#include "plugins/WinampPlugin.h"

#include <cstdint>
#include <functional>

namespace tindrel {

class BassLibrary;
class IDialogs;

// Messages of the plug-in pathway; the numbers are fixed.
inline constexpr uint32_t WM_PLUGIN_EOF = WM_USER + 2;
inline constexpr uint32_t WM_PLUGIN_STARTPLAY = WM_USER + 101;
inline constexpr uint32_t WM_PLUGIN_CLOSED = WM_USER + 103;
inline constexpr uint32_t WM_PLUGIN_STREAM = WM_USER + 105;
inline constexpr uint32_t WM_NEW_FFT_DATA = WM_USER + 108;
inline constexpr uint32_t WM_PLUGIN_FIRST = WM_USER + 109;
// Write may run on the plug-in's thread; its error box is shown on the UI
// thread through this message to the emulator's own window.
inline constexpr uint32_t WM_EMULATOR_WRITE_ERROR = WM_USER + 110;
static_assert(WM_PLUGIN_EOF == kPluginEndOfFileMessage);

// The format of the sound that started; WM_PLUGIN_STARTPLAY's LParam points
// at one of these.
struct TStartPlayInfo {
    uint16_t Bits = 0;
    uint32_t SampleRate = 0;
    uint16_t Channels = 0;
};

// Allocates the ring, fills the Out_Module record and runs its Init, which
// makes the emulator's message window. Returns EmulatorReady. onClosed runs on
// the UI thread when WM_PLUGIN_CLOSED reaches the emulator's window.
bool StartOutputEmulator(const BassLibrary& bass, IDialogs& dialogs, std::function<void()> onClosed);
// Runs the module's Quit and frees the ring. Safe when never started.
void StopOutputEmulator();

bool EmulatorReady();
Out_Module* EmulatorOutModule();
// The emulator's window as the plug-ins see it (a HostWindowRecord).
HWND EmulatorHandle();
MessageWindow* EmulatorWindow();
// Target of WM_PLUGIN_STREAM and of the forwarded end and start notices.
void SetEmulatorPlayerWindow(MessageWindow* window);
MessageWindow* EmulatorPlayerWindow();
// Lets the next Flush act on a paused stream.
void MarkEmulatorSeekPending();

// The engine's user-stream callback: delivers up to length bytes from the
// ring. Runs on the mixing thread.
DWORD OutStreamProc(HSTREAM handle, void* buffer, DWORD length, void* user);

// A consistent copy of the emulator's state, for tests and diagnostics.
struct TEmulatorState {
    uint32_t ReadPos, WritePos, FreeSpace, UsedSpace;
    int32_t SampleRate, BitsPerSample, Channels, BytesPer200ms, TimeOffset;
    uint64_t WrittenBytes;
    HSTREAM OutStream;
    bool StartPending, InputEnded, SeekPending;
};
TEmulatorState EmulatorState();

} // namespace tindrel
