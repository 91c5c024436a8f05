// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers

// A stand-in library that lacks most entry points, so that the loaders'
// refusal of an incomplete library can be tested.

#include "engine/BassApi.h"

extern "C" {

#if defined(TINDREL_INCOMPLETE_WMA)
BASS_API HSTREAM BASS_WMA_StreamCreateFile(BOOL, const void*, QWORD, QWORD, DWORD) {
    return 0;
}
#else
BASS_API DWORD BASS_GetVersion() {
    return BASS_VERSION_WORD;
}
BASS_API BOOL BASS_Free() {
    return 1;
}
#endif
}
