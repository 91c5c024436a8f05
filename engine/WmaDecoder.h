// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <memory>
#include <string>

namespace tindrel::engine {

// Opens a Windows Media Audio file (ASF with a WMA codec) through FFmpeg;
// only the WMA add-on is built with this. Decodes to 16-bit PCM at the
// file's own rate, mono or stereo (more channels are mixed down to two).
// Throws EngineError: BASS_ERROR_FILEOPEN when the file cannot be read,
// BASS_ERROR_FILEFORM when it is not WMA.
std::unique_ptr<Decoder> OpenWmaDecoder(const std::string& path);

} // namespace tindrel::engine
