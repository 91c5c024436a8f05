// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tindrel {

class FileStream;

// The lowest and highest sample (of either channel) within a stretch of audio.
struct Peak {
    int16_t low = 0;
    int16_t high = 0;
    void take(const Peak& other);
};

// An outline of a whole Layer III file read from its frames without
// decoding them: each frame's loudest coded granule sets its height, since
// the decoder scales a granule by 2^(1/4) per step of its global gain. It is
// an envelope, not the samples' peaks, but a long file shows at once where
// decoding all of it takes seconds.
struct WaveformOverview {
    int rate = 0;
    // The length the decoder plays, in frames of audio.
    int64_t lengthFrames = 0;
    // Audio frames each entry covers (one MPEG frame's samples), and how many
    // of the first entry's samples the decoder skips as the encoder's delay.
    int64_t step = 1;
    int64_t skipped = 0;
    std::vector<Peak> peaks;

    // The outline of [from, to) in the decoder's frames of audio.
    Peak over(int64_t from, int64_t to) const;
};

// Reads the outline of the Layer III stream in file; nothing when the file
// holds no Layer III audio (other layers and formats are decoded instead).
// Throws "Stream read error" when the system refuses a read.
std::optional<WaveformOverview> ReadWaveformOverview(const FileStream& file);

} // namespace tindrel
