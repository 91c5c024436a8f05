// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// A stand-in for the audio engine with every entry point the player looks
// up, whose version, device start and device record the tests choose through
// the environment:
//   TINDREL_FAKE_VERSION   the version word (default: the real engine's)
//   TINDREL_FAKE_INIT_FAILS  when set, BASS_Init fails
//   TINDREL_FAKE_START_FAILS when set, BASS_Start fails
//   TINDREL_FAKE_DSVER     the device record's DirectSound version (default 9)
#include "engine/BassApi.h"

#include <cstdlib>

namespace {

DWORD fromEnvironment(const char* name, DWORD fallback) {
    const char* value = std::getenv(name);
    return value ? static_cast<DWORD>(std::strtoul(value, nullptr, 0)) : fallback;
}

} // namespace

extern "C" {

DWORD BASS_GetVersion() { return fromEnvironment("TINDREL_FAKE_VERSION", BASS_VERSION_WORD); }
BOOL BASS_Init(int, DWORD, DWORD, void*) { return std::getenv("TINDREL_FAKE_INIT_FAILS") ? 0 : 1; }
BOOL BASS_Start() { return std::getenv("TINDREL_FAKE_START_FAILS") ? 0 : 1; }
BOOL BASS_GetInfo(BASS_INFO* info) {
    info->dsver = fromEnvironment("TINDREL_FAKE_DSVER", 9);
    return 1;
}
BOOL BASS_Free() { return 1; }
BOOL BASS_GetGlobalVolumes(DWORD* music, DWORD* sample, DWORD* stream) {
    *music = *sample = *stream = 100;
    return 1;
}
BOOL BASS_SetGlobalVolumes(int, int, int) { return 1; }
// A code no real call produces, so the tests see it came from here.
int BASS_ErrorGetCode() { return 4242; }
HSTREAM BASS_StreamCreateFile(BOOL, const void*, QWORD, QWORD, DWORD) { return 0; }
HSTREAM BASS_StreamCreate(DWORD, DWORD, STREAMPROC*, void*) { return 0; }
BOOL BASS_StreamFree(HSTREAM) { return 0; }
BOOL BASS_StreamPlay(HSTREAM, BOOL, DWORD) { return 0; }
QWORD BASS_StreamGetLength(HSTREAM) { return QWORD(-1); }
HMUSIC BASS_MusicLoad(BOOL, const void*, QWORD, DWORD, DWORD) { return 0; }
BOOL BASS_MusicFree(HMUSIC) { return 0; }
BOOL BASS_MusicPlay(HMUSIC) { return 0; }
DWORD BASS_MusicGetLength(HMUSIC, BOOL) { return DWORD(-1); }
DWORD BASS_ChannelGetFlags(DWORD) { return 0; }
BOOL BASS_ChannelPause(DWORD) { return 0; }
BOOL BASS_ChannelResume(DWORD) { return 0; }
BOOL BASS_ChannelStop(DWORD) { return 0; }
DWORD BASS_ChannelIsActive(DWORD) { return 0; }
HSYNC BASS_ChannelSetSync(DWORD, DWORD, QWORD, SYNCPROC*, void*) { return 0; }
QWORD BASS_ChannelGetPosition(DWORD) { return QWORD(-1); }
BOOL BASS_ChannelSetPosition(DWORD, QWORD) { return 0; }
float BASS_ChannelBytes2Seconds(DWORD, QWORD) { return -1; }
QWORD BASS_ChannelSeconds2Bytes(DWORD, float) { return QWORD(-1); }
DWORD BASS_ChannelGetData(DWORD, void*, DWORD) { return DWORD(-1); }
BOOL BASS_ChannelSetAttributes(DWORD, int, int, int) { return 0; }
BOOL BASS_ChannelGetAttributes(DWORD, DWORD*, DWORD*, int*) { return 0; }

} // extern "C"
