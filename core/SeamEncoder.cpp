// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "core/SeamEncoder.h"

#include "engine/SharedLibrary.h"

#include <lame/lame.h>

#include <memory>
#include <stdexcept>

namespace tindrel {

namespace {

// The encoder is loaded by the first seam an exact cut or join encodes,
// not by every command at start.
#define TINDREL_LAME_CALLS(X)                                                                                          \
    X(lame_close)                                                                                                      \
    X(lame_encode_buffer)                                                                                              \
    X(lame_encode_buffer_interleaved)                                                                                  \
    X(lame_encode_flush)                                                                                               \
    X(lame_get_encoder_delay)                                                                                          \
    X(lame_init)                                                                                                       \
    X(lame_init_params)                                                                                                \
    X(lame_set_VBR)                                                                                                    \
    X(lame_set_VBR_hard_min)                                                                                           \
    X(lame_set_VBR_max_bitrate_kbps)                                                                                   \
    X(lame_set_VBR_min_bitrate_kbps)                                                                                   \
    X(lame_set_VBR_quality)                                                                                            \
    X(lame_set_bWriteVbrTag)                                                                                           \
    X(lame_set_disable_reservoir)                                                                                      \
    X(lame_set_error_protection)                                                                                       \
    X(lame_set_in_samplerate)                                                                                          \
    X(lame_set_mode)                                                                                                   \
    X(lame_set_no_short_blocks)                                                                                        \
    X(lame_set_num_channels)                                                                                           \
    X(lame_set_out_samplerate)                                                                                         \
    X(lame_set_quality)

struct LameCalls {
    TINDREL_LAME_CALLS(TINDREL_LIBRARY_MEMBER)
};

// The library's file name has carried major version 0 in every release.
const LameCalls& lameLibrary() {
    return engine::LibraryCalls<LameCalls>("mp3lame", 0, TINDREL_LIBRARY_FILLER(LameCalls, TINDREL_LAME_CALLS), [] {
        throw std::runtime_error("The MP3 encoder library libmp3lame (version 0) cannot be loaded.");
    });
}

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lameLibrary().lame_close(flags); }
};
using Lame = std::unique_ptr<lame_global_flags, LameCloser>;

MPEG_mode lameMode(uint8_t modeCode) {
    switch (modeCode) {
    case 1:
        return JOINT_STEREO;
    case kModeMono:
        return MONO;
    default: // dual channel is coded as plain stereo
        return STEREO;
    }
}

Lame openEncoder(const TMPEGFrame& format, uint16_t kbps) {
    const LameCalls& api = lameLibrary();
    Lame lame(api.lame_init());
    if (!lame)
        throw std::runtime_error("The MP3 encoder could not be started.");
    const int rate = TableSampleRate(format);
    lame_global_flags* f = lame.get();
    api.lame_set_in_samplerate(f, rate);
    api.lame_set_out_samplerate(f, rate);
    api.lame_set_num_channels(f, format.ModeCode == kModeMono ? 1 : 2);
    api.lame_set_mode(f, lameMode(format.ModeCode));
    // Every frame at the one bit rate, but chosen by the variable-rate
    // coder's noise target: at a constant rate the encoder stops once the
    // noise is just masked and leaves most of a high-rate frame empty, and
    // a second encoding so near the mask is heard against the first (some
    // 26 dB below the signal at 22.05 kHz); this one fills the frame.
    api.lame_set_VBR(f, vbr_mtrh);
    api.lame_set_VBR_quality(f, 2.0f);
    api.lame_set_VBR_min_bitrate_kbps(f, kbps);
    api.lame_set_VBR_max_bitrate_kbps(f, kbps);
    api.lame_set_VBR_hard_min(f, 1);
    api.lame_set_quality(f, 2);
    api.lame_set_error_protection(f, format.Protected ? 1 : 0);
    // A bridge frame is decoded after frames of the source, not after the
    // encoder's own: none may take main data from the one before it.
    api.lame_set_disable_reservoir(f, 1);
    api.lame_set_bWriteVbrTag(f, 0);
    // Long blocks only: the frames beside a bridge are the source's, mostly
    // long, and a short block next to a long one that did not announce it
    // leaves the transform's aliasing uncancelled across the join (a burst
    // some 20 dB below the signal at MPEG 2 rates, where a frame is one
    // granule and the switch lands on the bridge's edge).
    api.lame_set_no_short_blocks(f, 1);
    if (api.lame_init_params(f) < 0)
        throw std::runtime_error("The MP3 encoder refused " + std::to_string(rate) + " Hz at " + std::to_string(kbps) +
                                 " kbit/s.");
    return lame;
}

} // namespace

SeamEncoder::SeamEncoder(const TMPEGFrame& format, uint16_t kbps) : m_format(format), m_kbps(kbps) {
    openEncoder(m_format, m_kbps);
}

int SeamEncoder::EncoderDelay() const {
    return lameLibrary().lame_get_encoder_delay(openEncoder(m_format, m_kbps).get());
}

std::vector<std::vector<uint8_t>> SeamEncoder::Encode(std::span<const int16_t> samples) const {
    const LameCalls& api = lameLibrary();
    const Lame lame = openEncoder(m_format, m_kbps);
    const int channels = m_format.ModeCode == kModeMono ? 1 : 2;
    const int frames = int(samples.size() / std::size_t(channels));
    // The size lame's documentation asks for, and room for the flush.
    std::vector<unsigned char> out(std::size_t(frames) * 5 / 4 + 7200 + 16384);
    // lame takes the samples as not const but does not change them.
    auto* pcm = const_cast<short*>(samples.data());
    const int written = channels == 2
                            ? api.lame_encode_buffer_interleaved(lame.get(), pcm, frames, out.data(), int(out.size()))
                            : api.lame_encode_buffer(lame.get(), pcm, pcm, frames, out.data(), int(out.size()));
    if (written < 0)
        throw std::runtime_error("The MP3 encoder failed on the samples around a seam.");
    const int flushed = api.lame_encode_flush(lame.get(), out.data() + written, int(out.size()) - written);
    if (flushed < 0)
        throw std::runtime_error("The MP3 encoder failed on the samples around a seam.");
    return SplitFrames(std::span(out.data(), std::size_t(written + flushed)));
}

std::vector<std::vector<uint8_t>> SplitFrames(std::span<const uint8_t> bytes) {
    std::vector<std::vector<uint8_t>> frames;
    for (std::size_t at = 0; at + 4 <= bytes.size();) {
        if (!LooksLikeFrameHeader(bytes.data() + at))
            break;
        TMPEGFrame header;
        DecodeFrameHeader(bytes.data() + at, header);
        const std::size_t length = FrameLength(header);
        if (length < 4 || at + length > bytes.size())
            break;
        frames.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + length));
        at += length;
    }
    return frames;
}

} // namespace tindrel
