// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <cstdint>

namespace tindrel::engine {

// How the WMA add-on gives the core library a stream it has opened: it
// calls BASS_StreamCreate with kDecoderHandoffFlag and a DecoderHandoff as
// the user value. The core takes the decoder (or reports the add-on's
// error code) and from then on the stream is an ordinary channel. Both
// libraries are built from this tree, so the record's layout is shared; the
// magic and size guard against a caller that sets the flag by mistake.
constexpr uint32_t kDecoderHandoffFlag = 0x40000000u;
constexpr uint32_t kDecoderHandoffMagic = 0x54444830u; // "TDH0"

struct DecoderHandoff {
    uint32_t magic = kDecoderHandoffMagic;
    uint32_t size = sizeof(DecoderHandoff);
    Decoder* decoder = nullptr; // ownership passes to the core
    int error = 0;              // the add-on's error when decoder is null
    uint32_t flags = 0;         // channel flags to report
};

} // namespace tindrel::engine
