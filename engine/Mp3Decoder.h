// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>

namespace tindrel::engine {

// True when the bytes where a file's audio starts (behind its ID3v2 tags)
// hold MPEG audio (layers I to III): a frame header whose frame is followed
// by another of the same kind, or by the end of the file (bytesToEnd from
// the first of head). One header alone proves little: any binary file has a
// sync word somewhere.
bool LooksLikeMpegAudio(std::span<const unsigned char> head, std::size_t bytesToEnd);

// Decodes MPEG audio gaplessly: the encoder's delay and padding, noted in
// the first frame by LAME and by FFmpeg's encoder, are left out, so the
// length is exact before the first sample is decoded. Seeks are exact to
// the sample. Throws EngineError (BASS_ERROR_FILEOPEN, BASS_ERROR_FILEFORM).
std::unique_ptr<Decoder> OpenMp3Decoder(const std::string& path);

} // namespace tindrel::engine
