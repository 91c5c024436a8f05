// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <memory>
#include <string>

namespace tindrel::engine {

// Renders a tracker module (MOD, S3M, XM, IT, ...) once through, in stereo
// at the output rate. Throws EngineError: BASS_ERROR_FILEOPEN when the file
// cannot be read, BASS_ERROR_FILEFORM when it is not a module.
std::unique_ptr<Decoder> OpenModuleDecoder(const std::string& path, int rate);

} // namespace tindrel::engine
