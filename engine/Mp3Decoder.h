// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/Decoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tindrel::engine {

// Where MPEG audio (layers I to III) starts in the bytes behind a file's
// ID3v2 tags, and whether its first frame is the encoder's note of the
// frame count. Audio is believed where frames of one kind follow one
// another as the frame search of every reader of MP3 files confirms it
// (FindAudioStart), the end of the file (bytesToEnd from the first of
// head) ending a run.
struct MpegAudioStart {
    std::size_t offset; // of the first frame, from the first byte looked at
    bool hasInfoFrame;
    uint32_t freeFormatBytes = 0; // a free format stream's frame length
    // Samples of the first frames that the decoder does not give out
    // although a count of the frames includes them.
    int64_t leadSamples = 0;
};
std::optional<MpegAudioStart> FindMpegAudio(std::span<const unsigned char> head, std::size_t bytesToEnd);

// Decodes MPEG audio gaplessly: the encoder's delay and padding, noted in
// the first frame by LAME and by FFmpeg's encoder, are left out, so the
// length is exact before the first sample is decoded; a file without that
// note has its frames counted when it is opened. start.offset is from the
// file's first byte here. Seeks are exact to the sample. Throws EngineError
// (BASS_ERROR_FILEOPEN, BASS_ERROR_FILEFORM).
std::unique_ptr<Decoder> OpenMp3Decoder(const std::string& path, const MpegAudioStart& start);
// The same from a file the caller holds open (and keeps open while the
// decoder lives), read at the decoder's own position.
std::unique_ptr<Decoder> OpenMp3Decoder(int fd, const MpegAudioStart& start);

} // namespace tindrel::engine
