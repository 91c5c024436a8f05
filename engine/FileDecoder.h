// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/BassApi.h"
#include "engine/Decoder.h"

#include <memory>
#include <string>

namespace tindrel::engine {

// Opens a file of one of the core library's formats, MPEG audio (layers I
// to III), Ogg Vorbis or WAV, told apart by their first bytes, and decodes
// it to 16-bit PCM at the file's own rate, mono or stereo (more channels
// are mixed down to two). WMA is the add-on's and is refused here.
// Throws EngineError: BASS_ERROR_FILEOPEN when the file cannot be read,
// BASS_ERROR_FILEFORM when it is none of those formats.
std::unique_ptr<Decoder> OpenFileDecoder(const std::string& path);
// The same for a file the caller holds open (path is its name) and keeps
// open while the decoder lives: MPEG audio is decoded from that very file,
// at the decoder's own position, without another open by name.
std::unique_ptr<Decoder> OpenFileDecoder(int fd, const std::string& path);

// The path a stream-creating call names. Only plain files are opened;
// memory blocks and file sections are not needed by Tindrel and are refused
// (BASS_ERROR_NOTAVAIL) rather than misread; no name is BASS_ERROR_FILEOPEN.
std::string FileArgument(BOOL mem, const void* file, QWORD offset, QWORD length);

} // namespace tindrel::engine
