// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// The calling interface of Tindrel's audio engine (libbass / libbasswma).
// Handles are 32-bit, byte counts 64-bit; Boolean results are non-zero on
// success. Every call records its outcome, read back with BASS_ErrorGetCode
// on the same thread.

#include <cstdint>

#if defined(_WIN32)
#define BASS_API __declspec(dllexport)
#else
#define BASS_API __attribute__((visibility("default")))
#endif

extern "C" {

using BOOL = int;
using DWORD = uint32_t;
using QWORD = uint64_t;
using HSTREAM = DWORD;
using HMUSIC = DWORD;
using HSYNC = DWORD;

// API level 1.8: major in the low word, minor in the high word.
constexpr DWORD BASS_VERSION_WORD = 0x00080001;

// Error codes.
enum : int {
    BASS_OK = 0,
    BASS_ERROR_MEM = 1,       // out of memory
    BASS_ERROR_FILEOPEN = 2,  // the file could not be opened
    BASS_ERROR_DRIVER = 3,    // no usable output driver
    BASS_ERROR_HANDLE = 5,    // not a valid channel handle
    BASS_ERROR_FORMAT = 6,    // sample format not supported
    BASS_ERROR_POSITION = 7,  // position outside the channel
    BASS_ERROR_INIT = 8,      // BASS_Init has not succeeded
    BASS_ERROR_START = 9,     // BASS_Start has not succeeded
    BASS_ERROR_ALREADY = 14,  // already initialised / already in that state
    BASS_ERROR_NOPAUSE = 16,  // the channel is not paused
    BASS_ERROR_ILLTYPE = 19,  // request type not valid
    BASS_ERROR_ILLPARAM = 20, // a parameter is out of range
    BASS_ERROR_DEVICE = 23,   // no such device
    BASS_ERROR_NOPLAY = 24,   // the channel is not playing
    BASS_ERROR_NOTFILE = 27,  // the operation needs a file stream
    BASS_ERROR_NOTAVAIL = 37, // the value is not available for this channel
    BASS_ERROR_FILEFORM = 41, // the file's format is not one this library plays
    BASS_ERROR_UNKNOWN = -1,
};

// Sample and channel flags (BASS_StreamCreate, BASS_ChannelGetFlags).
constexpr DWORD BASS_SAMPLE_8BITS = 1;
constexpr DWORD BASS_SAMPLE_MONO = 2;
// BASS_MusicLoad: compute the play length while loading.
constexpr DWORD BASS_MUSIC_CALCLEN = 0x2000;
// A stream callback ORs this into its result when the stream has ended.
constexpr DWORD BASS_STREAMPROC_END = 0x80000000u;

// BASS_ChannelIsActive results.
constexpr DWORD BASS_ACTIVE_STOPPED = 0;
constexpr DWORD BASS_ACTIVE_PLAYING = 1;
constexpr DWORD BASS_ACTIVE_STALLED = 2;
constexpr DWORD BASS_ACTIVE_PAUSED = 3;

// Sync types.
constexpr DWORD BASS_SYNC_END = 2;

// BASS_ChannelGetData request codes; any other value is a byte count.
constexpr DWORD BASS_DATA_FFT512 = 0x80000000u;  // 256 magnitudes
constexpr DWORD BASS_DATA_FFT2048 = 0x80000002u; // 1024 magnitudes

// Values for BASS_ChannelSetAttributes that leave an attribute unchanged.
constexpr int BASS_ATTRIB_KEEP = -1;
constexpr int BASS_PAN_KEEP = -101;

// Output devices for BASS_Init.
constexpr int BASS_DEVICE_DEFAULT = -1;
constexpr int BASS_DEVICE_NOSOUND = 0;

// Device information; the caller sets size before BASS_GetInfo.
struct BASS_INFO {
    DWORD size;    // size of this record (56)
    DWORD flags;   // capabilities (0)
    DWORD hwsize;  // hardware memory (0: all mixing in software)
    DWORD hwfree;  // free hardware memory (0)
    DWORD freesam; // free hardware sample slots (0)
    DWORD free3d;  // free 3D sample slots (0)
    DWORD minrate; // lowest channel rate
    DWORD maxrate; // highest channel rate
    BOOL eax;      // environmental effects (never)
    DWORD minbuf;  // recommended minimum buffer length, ms
    DWORD dsver;   // DirectSound version equivalent: 9, full effect support
    DWORD latency; // output latency, ms
    DWORD initflags;
    DWORD speakers; // speaker count
};
static_assert(sizeof(BASS_INFO) == 56, "the device record has a fixed size");

// Called once per ending of a channel, from the engine's own thread.
using SYNCPROC = void(HSYNC handle, DWORD channel, DWORD data, void* user);
// Fills buffer with up to length bytes; returns the bytes written, with
// BASS_STREAMPROC_END added when the stream ends. Called on the mixing thread.
using STREAMPROC = DWORD(HSTREAM handle, void* buffer, DWORD length, void* user);

// ---- libbass ----
BASS_API DWORD BASS_GetVersion();
BASS_API BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win);
BASS_API BOOL BASS_Start();
BASS_API BOOL BASS_GetInfo(BASS_INFO* info);
BASS_API BOOL BASS_Free();
BASS_API BOOL BASS_GetGlobalVolumes(DWORD* musvol, DWORD* samvol, DWORD* strvol);
BASS_API BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol);
BASS_API int BASS_ErrorGetCode();

BASS_API HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
BASS_API HSTREAM BASS_StreamCreate(DWORD freq, DWORD flags, STREAMPROC* proc, void* user);
BASS_API BOOL BASS_StreamFree(HSTREAM handle);
BASS_API BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags);
// (QWORD)-1 when the length is unknown or the handle is bad.
BASS_API QWORD BASS_StreamGetLength(HSTREAM handle);

BASS_API HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags);
BASS_API BOOL BASS_MusicFree(HMUSIC handle);
BASS_API BOOL BASS_MusicPlay(HMUSIC handle);
// playlen non-zero: the play length in bytes; zero: the order count.
// (DWORD)-1 on error.
BASS_API DWORD BASS_MusicGetLength(HMUSIC handle, BOOL playlen);

BASS_API DWORD BASS_ChannelGetFlags(DWORD handle);
BASS_API BOOL BASS_ChannelPause(DWORD handle);
BASS_API BOOL BASS_ChannelResume(DWORD handle);
BASS_API BOOL BASS_ChannelStop(DWORD handle);
BASS_API DWORD BASS_ChannelIsActive(DWORD handle);
BASS_API HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user);
// Bytes of 16-bit PCM (8-bit for 8-bit user streams) at the channel's own
// rate and channel count; (QWORD)-1 on error.
BASS_API QWORD BASS_ChannelGetPosition(DWORD handle);
BASS_API BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos);
// Negative on error.
BASS_API float BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
// (QWORD)-1 on error.
BASS_API QWORD BASS_ChannelSeconds2Bytes(DWORD handle, float pos);
// length is a request code or a byte count; returns the bytes written to
// buffer, or (DWORD)-1 on error.
BASS_API DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
// freq: 100..100000 Hz, 0 the channel's own rate; volume 0..100; pan
// -100..100. BASS_ATTRIB_KEEP / BASS_PAN_KEEP leave a value unchanged.
BASS_API BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan);
// Any pointer may be null.
BASS_API BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan);

// ---- libbasswma ----
BASS_API HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
BASS_API HSYNC BASS_WMA_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user);

} // extern "C"
