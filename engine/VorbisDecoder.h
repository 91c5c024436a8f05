// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <memory>
#include <string>

namespace tindrel::engine {

// Decodes an Ogg Vorbis file; lengths and seeks are exact to the sample
// (the granule positions say where each page ends). Throws EngineError:
// BASS_ERROR_FILEOPEN, or BASS_ERROR_FILEFORM when the Ogg stream is not
// Vorbis.
std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path);

} // namespace tindrel::engine
