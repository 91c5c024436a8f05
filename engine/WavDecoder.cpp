// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/WavDecoder.h"

#include "engine/BassApi.h"
#include "engine/Downmix.h"
#include "engine/EngineError.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <vector>

namespace tindrel::engine {
namespace {

enum Coding : uint16_t { kPcm = 1, kMsAdpcm = 2, kFloat = 3, kALaw = 6, kMuLaw = 7, kExtensible = 0xFFFE };

struct WavLayout {
    uint16_t coding = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    std::size_t blockAlign = 0;
    std::size_t framesPerBlock = 1;  // 1 except for ADPCM
    std::vector<int16_t> adpcmCoefs; // pairs
    std::streamoff dataStart = 0;
    std::size_t dataBytes = 0;
    int64_t factFrames = -1;
};

uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void readFormat(const std::vector<unsigned char>& fmt, WavLayout& wav) {
    if (fmt.size() < 16)
        throw EngineError(BASS_ERROR_FILEFORM);
    wav.coding = le16(&fmt[0]);
    wav.channels = le16(&fmt[2]);
    wav.rate = static_cast<int>(le32(&fmt[4]));
    wav.blockAlign = le16(&fmt[12]);
    wav.bits = le16(&fmt[14]);
    // The extensible record names the real coding in the first two bytes of
    // its sub-format GUID.
    if (wav.coding == kExtensible && fmt.size() >= 26)
        wav.coding = le16(&fmt[24]);
    if (wav.coding == kMsAdpcm) {
        if (fmt.size() < 22)
            throw EngineError(BASS_ERROR_FILEFORM);
        wav.framesPerBlock = le16(&fmt[18]);
        const std::size_t coefCount = le16(&fmt[20]);
        if (fmt.size() < 22 + coefCount * 4 || coefCount == 0)
            throw EngineError(BASS_ERROR_FILEFORM);
        for (std::size_t i = 0; i < coefCount * 2; ++i)
            wav.adpcmCoefs.push_back(static_cast<int16_t>(le16(&fmt[22 + 2 * i])));
    }
}

bool formatIsPlayable(const WavLayout& wav) {
    if (wav.channels < 1 || wav.rate <= 0 || wav.blockAlign == 0)
        return false;
    const std::size_t ch = static_cast<std::size_t>(wav.channels);
    switch (wav.coding) {
    case kPcm:
        return (wav.bits == 8 || wav.bits == 16 || wav.bits == 24 || wav.bits == 32) &&
               wav.blockAlign == ch * static_cast<std::size_t>(wav.bits) / 8;
    case kFloat:
        return (wav.bits == 32 || wav.bits == 64) && wav.blockAlign == ch * static_cast<std::size_t>(wav.bits) / 8;
    case kALaw:
    case kMuLaw:
        return wav.blockAlign == ch;
    case kMsAdpcm:
        // Each channel's block header is 7 bytes; the rest holds two
        // samples a byte and channel, after the header's own two.
        return wav.bits == 4 && wav.blockAlign > 7 * ch && wav.framesPerBlock == (wav.blockAlign - 7 * ch) * 2 / ch + 2;
    default:
        return false;
    }
}

// Walks the chunks up to "data". Chunks are padded to an even size.
WavLayout readLayout(std::ifstream& in, std::streamoff fileSize) {
    unsigned char riff[12];
    if (!in.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        throw EngineError(BASS_ERROR_FILEFORM);
    WavLayout wav;
    bool haveFormat = false;
    unsigned char chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), 8)) {
        const uint32_t size = le32(chunk + 4);
        const std::streamoff body = in.tellg();
        if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                break;
            wav.dataStart = body;
            // A writer that could not go back leaves the size 0 or too large.
            const auto rest = static_cast<std::size_t>(fileSize - body);
            wav.dataBytes = size == 0 || size > rest ? rest : size;
            return wav;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::vector<unsigned char> fmt(std::min<uint32_t>(size, 4096));
            if (!in.read(reinterpret_cast<char*>(fmt.data()), static_cast<std::streamsize>(fmt.size())))
                break;
            readFormat(fmt, wav);
            haveFormat = true;
        } else if (std::memcmp(chunk, "fact", 4) == 0 && size >= 4) {
            unsigned char count[4];
            if (in.read(reinterpret_cast<char*>(count), 4))
                wav.factFrames = le32(count);
        }
        in.clear();
        in.seekg(body + size + (size & 1));
    }
    throw EngineError(BASS_ERROR_FILEFORM);
}

float aLaw(unsigned char code) {
    code ^= 0x55;
    const int exponent = (code >> 4) & 7, mantissa = code & 0x0F;
    int value = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
    return static_cast<float>((code & 0x80) ? value : -value) / 32768.0f;
}

float muLaw(unsigned char code) {
    code = static_cast<unsigned char>(~code);
    const int exponent = (code >> 4) & 7, mantissa = code & 0x0F;
    const int value = (((mantissa << 3) + 0x84) << exponent) - 0x84;
    return static_cast<float>((code & 0x80) ? -value : value) / 32768.0f;
}

class WavDecoder final : public Decoder {
public:
    WavDecoder(std::ifstream in, WavLayout layout);

    int rate() const override { return m_wav.rate; }
    int channels() const override { return OutputChannels(m_wav.channels); }
    std::size_t read(int16_t* out, std::size_t frames) override;
    bool finished() const override { return m_finished; }
    bool seek(int64_t frame) override;
    int64_t lengthFrames() const override { return m_length; }

private:
    std::size_t decodeBlocks(std::size_t frames);
    void decodeAdpcmBlock(const unsigned char* block, std::size_t bytes, std::size_t frames);
    float sampleAt(const unsigned char* p) const;

    std::ifstream m_in;
    WavLayout m_wav;
    int64_t m_length = 0;
    int64_t m_position = 0;
    bool m_finished = false;
    std::vector<unsigned char> m_raw;
    std::vector<float> m_samples; // decoded, interleaved, file's channels
    std::size_t m_samplesPos = 0; // in frames
    std::size_t m_skip = 0;       // frames to drop after an ADPCM seek
};

WavDecoder::WavDecoder(std::ifstream in, WavLayout layout) : m_in(std::move(in)), m_wav(std::move(layout)) {
    const std::size_t blocks = m_wav.dataBytes / m_wav.blockAlign;
    m_length = static_cast<int64_t>(blocks * m_wav.framesPerBlock);
    if (m_wav.coding == kMsAdpcm) {
        const std::size_t rest = m_wav.dataBytes % m_wav.blockAlign;
        const std::size_t ch = static_cast<std::size_t>(m_wav.channels);
        if (rest > 7 * ch)
            m_length += static_cast<int64_t>(2 + (rest - 7 * ch) * 2 / ch);
        if (m_wav.factFrames >= 0)
            m_length = std::min(m_length, m_wav.factFrames);
    }
    m_in.seekg(m_wav.dataStart);
}

float WavDecoder::sampleAt(const unsigned char* p) const {
    switch (m_wav.coding) {
    case kALaw:
        return aLaw(*p);
    case kMuLaw:
        return muLaw(*p);
    case kFloat:
        if (m_wav.bits == 32) {
            const uint32_t bits = le32(p);
            float value;
            std::memcpy(&value, &bits, 4);
            return value;
        } else {
            const uint64_t bits = static_cast<uint64_t>(le32(p)) | static_cast<uint64_t>(le32(p + 4)) << 32;
            double value;
            std::memcpy(&value, &bits, 8);
            return static_cast<float>(value);
        }
    default:
        break;
    }
    switch (m_wav.bits) {
    case 8:
        return static_cast<float>(p[0] - 128) / 128.0f;
    case 16:
        return static_cast<float>(static_cast<int16_t>(le16(p))) / 32768.0f;
    case 24:
        return static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                                       static_cast<uint32_t>(p[1]) << 16 |
                                                       static_cast<uint32_t>(p[2]) << 24)) /
               2147483648.0f;
    default:
        return static_cast<float>(static_cast<int32_t>(le32(p))) / 2147483648.0f;
    }
}

// Decodes the next stretch of the data chunk into m_samples: up to `want`
// frames of plain samples, or one ADPCM block. 0 at the end of the data.
std::size_t WavDecoder::decodeBlocks(std::size_t want) {
    m_samples.clear();
    m_samplesPos = 0;
    const std::streamoff at = m_in.tellg();
    const std::streamoff end = m_wav.dataStart + static_cast<std::streamoff>(m_wav.dataBytes);
    if (at < 0 || at >= end)
        return 0;
    const auto left = static_cast<std::size_t>(end - at);
    const std::size_t ch = static_cast<std::size_t>(m_wav.channels);
    if (m_wav.coding == kMsAdpcm) {
        m_raw.resize(std::min(left, m_wav.blockAlign));
        if (m_raw.size() <= 7 * ch || !m_in.read(reinterpret_cast<char*>(m_raw.data()), m_raw.size()))
            return 0;
        const std::size_t frames = std::min(m_wav.framesPerBlock, 2 + (m_raw.size() - 7 * ch) * 2 / ch);
        decodeAdpcmBlock(m_raw.data(), m_raw.size(), frames);
        m_samplesPos = std::min(m_skip, frames);
        m_skip = 0;
        return frames;
    }
    const std::size_t frames = std::min({want, std::size_t{4096}, left / m_wav.blockAlign});
    m_raw.resize(frames * m_wav.blockAlign);
    if (frames == 0 || !m_in.read(reinterpret_cast<char*>(m_raw.data()), static_cast<std::streamsize>(m_raw.size())))
        return 0;
    const std::size_t bytesPerSample = m_wav.blockAlign / ch;
    m_samples.resize(frames * ch);
    for (std::size_t i = 0; i < m_samples.size(); ++i)
        m_samples[i] = sampleAt(&m_raw[i * bytesPerSample]);
    return frames;
}

// Microsoft ADPCM: each block starts, per channel, with a predictor index,
// the step size and the last two samples (the older one is played first);
// then one 4-bit code a sample, high nibble first, channels interleaved.
void WavDecoder::decodeAdpcmBlock(const unsigned char* block, std::size_t bytes, std::size_t frames) {
    static constexpr std::array<int, 16> kAdapt{230, 230, 230, 230, 307, 409, 512, 614,
                                                768, 614, 512, 409, 307, 230, 230, 230};
    static constexpr int kMaxAdpcmDelta = std::numeric_limits<int>::max() / 768;
    const std::size_t ch = static_cast<std::size_t>(m_wav.channels);
    const std::size_t pairs = m_wav.adpcmCoefs.size() / 2;
    std::vector<int> coef1(ch), coef2(ch), delta(ch), s1(ch), s2(ch);
    for (std::size_t c = 0; c < ch; ++c) {
        const std::size_t index = block[c] < pairs ? block[c] : 0;
        coef1[c] = m_wav.adpcmCoefs[2 * index];
        coef2[c] = m_wav.adpcmCoefs[2 * index + 1];
        delta[c] = static_cast<int16_t>(le16(block + ch + 2 * c));
        s1[c] = static_cast<int16_t>(le16(block + 3 * ch + 2 * c));
        s2[c] = static_cast<int16_t>(le16(block + 5 * ch + 2 * c));
    }
    m_samples.assign(frames * ch, 0.0f);
    for (std::size_t c = 0; c < ch && frames > 0; ++c) {
        m_samples[c] = static_cast<float>(s2[c]) / 32768.0f;
        if (frames > 1)
            m_samples[ch + c] = static_cast<float>(s1[c]) / 32768.0f;
    }
    const unsigned char* codes = block + 7 * ch;
    const std::size_t total = std::min((frames - std::min<std::size_t>(frames, 2)) * ch, (bytes - 7 * ch) * 2);
    for (std::size_t i = 0; i < total; ++i) {
        const std::size_t c = i % ch;
        const int code = (i % 2 == 0) ? codes[i / 2] >> 4 : codes[i / 2] & 0x0F;
        const int signedCode = code >= 8 ? code - 16 : code;
        int sample = ((s1[c] * coef1[c] + s2[c] * coef2[c]) >> 8) + signedCode * delta[c];
        sample = std::clamp(sample, -32768, 32767);
        s2[c] = s1[c];
        s1[c] = sample;
        // A hostile block's steps can only grow; held where the next
        // product still fits.
        delta[c] = std::clamp((kAdapt[static_cast<std::size_t>(code)] * delta[c]) >> 8, 16, kMaxAdpcmDelta);
        m_samples[2 * ch + i] = static_cast<float>(sample) / 32768.0f;
    }
}

std::size_t WavDecoder::read(int16_t* out, std::size_t frames) {
    const std::size_t ch = static_cast<std::size_t>(m_wav.channels);
    const std::size_t outCh = static_cast<std::size_t>(channels());
    std::size_t done = 0;
    while (done < frames && !m_finished) {
        const int64_t left = m_length - m_position - static_cast<int64_t>(done);
        if (left <= 0 || (m_samplesPos * ch >= m_samples.size() && decodeBlocks(frames - done) == 0)) {
            m_finished = true;
            m_length = m_position + static_cast<int64_t>(done);
            break;
        }
        const std::size_t available = m_samples.size() / ch - m_samplesPos;
        const std::size_t n = std::min({available, frames - done, static_cast<std::size_t>(left)});
        MixToOutput(&m_samples[m_samplesPos * ch], m_wav.channels, SpeakerOrder::Wav, out + done * outCh, n);
        m_samplesPos += n;
        done += n;
    }
    m_position += static_cast<int64_t>(done);
    return done;
}

bool WavDecoder::seek(int64_t frame) {
    if (frame < 0 || frame > m_length)
        return false;
    const auto block = static_cast<std::size_t>(frame) / m_wav.framesPerBlock;
    m_in.clear();
    m_in.seekg(m_wav.dataStart + static_cast<std::streamoff>(block * m_wav.blockAlign));
    m_skip = static_cast<std::size_t>(frame) % m_wav.framesPerBlock;
    m_samples.clear();
    m_samplesPos = 0;
    m_position = frame;
    m_finished = false;
    return true;
}

} // namespace

std::unique_ptr<Decoder> OpenWavDecoder(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        throw EngineError(BASS_ERROR_FILEOPEN);
    const std::streamoff size = in.tellg();
    in.seekg(0);
    WavLayout layout = readLayout(in, size);
    if (!formatIsPlayable(layout))
        throw EngineError(BASS_ERROR_FILEFORM);
    return std::make_unique<WavDecoder>(std::move(in), std::move(layout));
}

} // namespace tindrel::engine
