// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// The published records of Winamp 2 input plug-ins and their output module,
// as Tindrel declares them. A plug-in is a shared library exporting
//
//     extern "C" In_Module* winampGetInModule2(void);
//
// Both records are plain C structs: members in their published order, no
// packing changes, C calling convention. Plug-ins include this header.

#include <cstdint>

namespace tindrel {

// Opaque handles. A library handle is what dlopen gives; a window handle given
// to a plug-in points at a HostWindowRecord (below), through which it posts.
using HWND = void*;
using HINSTANCE = void*;

extern "C" {

struct Out_Module {
    int version; // 0x10
    char* description;
    int id;
    HWND hMainWindow;
    HINSTANCE hDllInstance;
    void (*Config)(HWND parent);
    void (*About)(HWND parent);
    void (*Init)(void);
    void (*Quit)(void);
    // >= 0: success and the latency in ms; < 0: failure.
    int (*Open)(int samplerate, int numchannels, int bitspersamp, int bufferlenms, int prebufferms);
    void (*Close)(void);
    // 0 accepted, 1 refused.
    int (*Write)(char* buf, int len);
    int (*CanWrite)(void);
    int (*IsPlaying)(void);
    int (*Pause)(int pause);
    void (*SetVolume)(int volume);
    void (*SetPan)(int pan);
    void (*Flush)(int t);
    int (*GetOutputTime)(void);
    int (*GetWrittenTime)(void);
};

struct In_Module {
    int version; // 0x100
    char* description;
    HWND hMainWindow;
    HINSTANCE hDllInstance;
    // "ext\0description\0...\0\0"; one ext may list several, separated by ';'.
    char* FileExtensions;
    int is_seekable;
    int UsesOutputPlug;
    void (*Config)(HWND parent);
    void (*About)(HWND parent);
    void (*Init)(void);
    void (*Quit)(void);
    void (*GetFileInfo)(char* file, char* title, int* length_in_ms);
    int (*InfoBox)(char* file, HWND parent);
    int (*IsOurFile)(char* fn);
    // 0 success, -1 file not found, anything else an error.
    int (*Play)(char* fn);
    void (*Pause)(void);
    void (*UnPause)(void);
    int (*IsPaused)(void);
    void (*Stop)(void);
    int (*GetLength)(void);
    int (*GetOutputTime)(void);
    void (*SetOutputTime)(int time_in_ms);
    void (*SetVolume)(int volume);
    void (*SetPan)(int pan);
    void (*SAVSAInit)(int maxlatency_in_ms, int srate);
    void (*SAVSADeInit)(void);
    void (*SAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
    int (*SAGetMode)(void);
    void (*SAAdd)(void* data, int timestamp, int csa);
    void (*VSAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
    int (*VSAGetMode)(int* specNch, int* waveNch);
    void (*VSAAdd)(void* data, int timestamp);
    void (*VSASetInfo)(int nch, int srate);
    int (*dsp_isactive)(void);
    int (*dsp_dosamples)(short int* samples, int numsamples, int bps, int nch, int srate);
    void (*EQSet)(int on, char data[10], int preamp);
    void (*SetInfo)(int bitrate, int srate, int stereo, int synched);
    Out_Module* outMod;
};

using GetInModule2Proc = In_Module* (*)(void);

} // extern "C"

// The In_Module version the record above describes; a record of another
// version has other members or other texts behind them.
inline constexpr int kInModuleVersion = 0x100;

// A plug-in tells the host that its output has played out by posting this
// message, with both parameters 0, to its hMainWindow.
inline constexpr uint32_t kPluginEndOfFileMessage = 1026;

// What every window handle that Tindrel gives a plug-in points at. There is
// no system message queue to post to, so the handle carries the host's
// posting function; post() may be called from any thread.
struct HostWindowRecord {
    uint32_t size; // sizeof(HostWindowRecord)
    void (*post)(HWND window, uint32_t msg, uintptr_t wParam, intptr_t lParam);
};

// The plug-in side of posting a message to a window handle from the host.
inline void host_post_message(HWND window, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    const auto* record = static_cast<const HostWindowRecord*>(window);
    if (record && record->size >= sizeof(HostWindowRecord) && record->post)
        record->post(window, msg, wParam, lParam);
}

static_assert(sizeof(int) == 4, "the records use 32-bit int");

} // namespace tindrel
