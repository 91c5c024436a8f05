// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers

// The exported functions of the WMA add-on. It opens ASF files itself and
// hands the decoder to the core library, which plays it like any stream and
// reports the add-on's errors through its own error code.

#include "engine/BassApi.h"
#include "engine/DecoderHandoff.h"
#include "engine/ErrorState.h"
#include "engine/FileDecoder.h"
#include "engine/WmaDecoder.h"

using namespace tindrel::engine;

extern "C" {

HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD /*flags*/) {
    DecoderHandoff handoff;
    handoff.error =
        ErrorOf([&] { handoff.decoder = OpenWmaDecoder(FileArgument(mem, file, offset, length)).release(); });
    return BASS_StreamCreate(0, kDecoderHandoffFlag, nullptr, &handoff);
}

HSYNC BASS_WMA_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user) {
    return BASS_ChannelSetSync(handle, type, param, proc, user);
}

} // extern "C"
