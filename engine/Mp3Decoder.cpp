// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/Mp3Decoder.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <vector>

#include <mpg123.h>

namespace tindrel::engine {
namespace {

// kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index]; index 0 is free format.
constexpr std::array<std::array<std::array<uint16_t, 15>, 3>, 2> kBitRates{{
    {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}}},
    {{{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}},
}};
// Hz by [version bits][index]; version bits 1 are reserved.
constexpr std::array<std::array<uint32_t, 3>, 4> kSampleRates{
    {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}}};

// Where a search for the first frame gives up.
constexpr std::size_t kSearchBytes = 64 * 1024;
// How many frames in a row make audio that does not start the file.
constexpr int kFramesBehindJunk = 4;
// Reads that give nothing (damaged frames, a change of format) before a
// file is taken to have ended.
constexpr int kMaxFruitlessReads = 1000;

struct FrameHeader {
    unsigned version; // the two version bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    unsigned layer;   // 1..3
    uint32_t rate;
    std::size_t length; // bytes, 0 for free format
};

std::optional<FrameHeader> parseHeader(const unsigned char* h) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const unsigned version = (h[1] >> 3) & 3, layerBits = (h[1] >> 1) & 3;
    const unsigned bitRateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
    if (version == 1 || layerBits == 0 || bitRateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    FrameHeader frame{version, 4 - layerBits, kSampleRates[version][rateIndex], 0};
    const std::size_t kbps = kBitRates[version == 3 ? 0 : 1][frame.layer - 1][bitRateIndex];
    if (kbps == 0)
        return frame;
    if (frame.layer == 1)
        frame.length = (12 * kbps * 1000 / frame.rate + padding) * 4;
    else if (frame.layer == 3 && version != 3)
        frame.length = 72 * kbps * 1000 / frame.rate + padding; // half the samples a frame
    else
        frame.length = 144 * kbps * 1000 / frame.rate + padding;
    return frame;
}

// Whether the frame at p is the encoder's note (LAME's "Info", or "Xing")
// that gives the number of frames: it sits right behind the frame's side
// information, whose size depends on the version and the channel mode.
bool hasInfoFrame(std::span<const unsigned char> head, std::size_t p, const FrameHeader& frame) {
    if (frame.layer != 3)
        return false;
    const bool mono = (head[p + 3] >> 6) == 3;
    const bool crc = (head[p + 1] & 1) == 0;
    const std::size_t side = frame.version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const std::size_t at = p + 4 + (crc ? 2 : 0) + side;
    return at + 4 <= head.size() && (std::memcmp(&head[at], "Xing", 4) == 0 || std::memcmp(&head[at], "Info", 4) == 0);
}

// Samples a frame holds.
std::size_t samplesPerFrame(const FrameHeader& frame) {
    if (frame.layer == 1)
        return 384;
    return frame.layer == 3 && frame.version != 3 ? 576 : 1152;
}

// The frames the decoder gives for a file without the encoder's note: every
// whole frame from `start` on, frames at another sample rate (a joined
// file) counted at the output rate they are converted to. Bytes that are no
// frame are stepped over one at a time, as the decoder resynchronises.
// -1 for free format, whose frames cannot be walked by their headers.
int64_t countOutputFrames(const std::string& path, std::size_t start, int outputRate) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> buffer(64 * 1024);
    std::size_t bufferStart = 0, bufferEnd = 0; // file offsets held in buffer
    std::map<uint32_t, uint64_t> samplesAtRate;
    for (std::size_t at = start;;) {
        if (at + 4 > bufferEnd) {
            in.clear();
            in.seekg(static_cast<std::streamoff>(at));
            in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
            bufferStart = at;
            bufferEnd = at + static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
            if (at + 4 > bufferEnd)
                break;
        }
        const std::optional<FrameHeader> frame = parseHeader(&buffer[at - bufferStart]);
        if (!frame) {
            ++at;
            continue;
        }
        if (frame->length == 0)
            return -1;
        // A frame cut off by the end of the file is not played.
        if (!in && at + frame->length > bufferEnd)
            break;
        samplesAtRate[frame->rate] += samplesPerFrame(*frame);
        at += frame->length;
    }
    uint64_t total = 0;
    for (const auto& [rate, samples] : samplesAtRate)
        total += (samples * static_cast<uint64_t>(outputRate) + rate / 2) / rate;
    return static_cast<int64_t>(total);
}

struct HandleDeleter {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

class Mp3Decoder final : public Decoder {
public:
    Mp3Decoder(const std::string& path, const MpegAudioStart& start);

    int rate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    std::size_t read(int16_t* out, std::size_t frames) override;
    bool finished() const override { return m_finished; }
    bool seek(int64_t frame) override;
    int64_t lengthFrames() const override { return m_length; }

private:
    void setUp();

    std::unique_ptr<mpg123_handle, HandleDeleter> m_handle;
    int m_rate = 0;
    int m_channels = 0;
    int64_t m_length = -1;
    int64_t m_position = 0; // frames given out since the start
    bool m_finished = false;
};

Mp3Decoder::Mp3Decoder(const std::string& path, const MpegAudioStart& start) {
    int error = MPG123_OK;
    m_handle.reset(mpg123_new(nullptr, &error));
    if (!m_handle)
        throw EngineError(BASS_ERROR_MEM);
    setUp();
    if (mpg123_open(m_handle.get(), path.c_str()) != MPG123_OK)
        throw EngineError(BASS_ERROR_FILEOPEN);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(m_handle.get(), &rate, &channels, &encoding) != MPG123_OK || rate <= 0 || channels < 1)
        throw EngineError(BASS_ERROR_FILEFORM);
    // From here on every frame comes out in this format, whatever later
    // frames of a joined file say.
    mpg123_format_none(m_handle.get());
    mpg123_format(m_handle.get(), rate, channels == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);
    m_rate = static_cast<int>(rate);
    m_channels = channels == 1 ? 1 : 2;
    // Without the encoder's note the library would guess the length from
    // the file's size and the first frame's bit rate, counting the tags
    // and missing any change of rate; the frame headers tell the length
    // the decoder will play.
    if (!start.hasInfoFrame)
        m_length = countOutputFrames(path, start.offset, m_rate);
    if (m_length < 0) {
        const off_t length = mpg123_length(m_handle.get());
        m_length = length >= 0 ? static_cast<int64_t>(length) : -1;
    }
}

void Mp3Decoder::setUp() {
    mpg123_handle* h = m_handle.get();
    // Gapless decoding is what makes lengths exact; the tags are read by
    // Tindrel's own readers, so the decoder only steps over them.
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_FUZZY, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
}

std::size_t Mp3Decoder::read(int16_t* out, std::size_t frames) {
    const std::size_t frameBytes = static_cast<std::size_t>(m_channels) * sizeof(int16_t);
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    std::size_t done = 0;
    int fruitless = 0;
    while (done < frames && !m_finished) {
        std::size_t got = 0;
        const int rc = mpg123_read(m_handle.get(), bytes + done * frameBytes, (frames - done) * frameBytes, &got);
        done += got / frameBytes;
        // A damaged frame is skipped and decoding goes on after it; a file
        // made of nothing but damage ends.
        const bool ended = rc == MPG123_DONE || (got == 0 && ++fruitless > kMaxFruitlessReads);
        if (ended) {
            m_finished = true;
            // Now the true length is known, whatever the header said.
            m_length = m_position + static_cast<int64_t>(done);
        }
    }
    m_position += static_cast<int64_t>(done);
    return done;
}

bool Mp3Decoder::seek(int64_t frame) {
    if (frame < 0)
        return false;
    const off_t landed = mpg123_seek(m_handle.get(), static_cast<off_t>(frame), SEEK_SET);
    if (landed < 0)
        return false;
    m_position = static_cast<int64_t>(landed);
    m_finished = false;
    return true;
}

} // namespace

std::optional<MpegAudioStart> FindMpegAudio(std::span<const unsigned char> head, std::size_t bytesToEnd) {
    const std::size_t end = std::min(head.size(), kSearchBytes);
    for (std::size_t p = 0; p + 4 <= end; ++p) {
        const std::optional<FrameHeader> first = parseHeader(&head[p]);
        if (!first)
            continue;
        // Free format gives no length to check the next frame by: believe
        // it only where the audio must begin.
        if (first->length == 0) {
            if (p == 0)
                return MpegAudioStart{p, false};
            continue;
        }
        // Audio right behind the tags needs one more frame to be believed;
        // frames found further in, behind junk, need a longer run, or any
        // file holding a couple of MPEG frames (a module's sample, say)
        // would pass.
        const int wanted = p == 0 ? 2 : kFramesBehindJunk;
        int run = 1;
        bool reachesEnd = false;
        for (std::size_t at = p + first->length; run < wanted; ++run) {
            if (at >= bytesToEnd) {
                reachesEnd = true;
                break;
            }
            if (at + 4 > head.size())
                break;
            const std::optional<FrameHeader> next = parseHeader(&head[at]);
            if (!next || next->length == 0 || next->version != first->version || next->layer != first->layer ||
                next->rate != first->rate)
                break;
            at += next->length;
        }
        if (run >= wanted || reachesEnd)
            return MpegAudioStart{p, hasInfoFrame(head, p, *first)};
    }
    return std::nullopt;
}

std::unique_ptr<Decoder> OpenMp3Decoder(const std::string& path, const MpegAudioStart& start) {
    return std::make_unique<Mp3Decoder>(path, start);
}

} // namespace tindrel::engine
