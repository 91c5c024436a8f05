// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <memory>
#include <string>

namespace tindrel::engine {

// Reads a RIFF WAVE file: integer PCM of 8 to 32 bits, 32- and 64-bit
// float, A-law, mu-law and Microsoft ADPCM, plain or in the extensible
// format record. Throws EngineError: BASS_ERROR_FILEOPEN, or
// BASS_ERROR_FILEFORM for anything else (compressed kinds it cannot read
// included).
std::unique_ptr<Decoder> OpenWavDecoder(const std::string& path);

} // namespace tindrel::engine
