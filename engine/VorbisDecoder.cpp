// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/VorbisDecoder.h"

#include "engine/BassApi.h"
#include "engine/Downmix.h"
#include "engine/EngineError.h"
#include "engine/SharedLibrary.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <vorbis/vorbisfile.h>

namespace tindrel::engine {
namespace {

// Loaded when the first Ogg file is opened: a command that plays none (a
// cut, a tag) does not map the three libraries at start.
#define TINDREL_VORBISFILE_CALLS(X)                                                                                    \
    X(ov_clear)                                                                                                        \
    X(ov_info)                                                                                                         \
    X(ov_open_callbacks)                                                                                               \
    X(ov_pcm_seek)                                                                                                     \
    X(ov_pcm_total)                                                                                                    \
    X(ov_read_float)

struct VorbisFile {
    TINDREL_VORBISFILE_CALLS(TINDREL_LIBRARY_MEMBER)
};

// The library's file name has carried major version 3 since its first
// stable release. Throws EngineError(BASS_ERROR_NOTAVAIL) when it cannot
// be used.
const VorbisFile& vorbisFile() {
    return LibraryCalls<VorbisFile>("vorbisfile", 3, TINDREL_LIBRARY_FILLER(VorbisFile, TINDREL_VORBISFILE_CALLS),
                                    [] { throw EngineError(BASS_ERROR_NOTAVAIL); });
}

class VorbisDecoder final : public Decoder {
public:
    explicit VorbisDecoder(const std::string& path);
    ~VorbisDecoder() override { vorbisFile().ov_clear(&m_file); }
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    int rate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    std::size_t read(int16_t* out, std::size_t frames) override;
    bool finished() const override { return m_finished; }
    bool seek(int64_t frame) override;
    int64_t lengthFrames() const override { return m_length; }

private:
    OggVorbis_File m_file{};
    int m_rate = 0;
    int m_channels = 0;
    int64_t m_length = -1;
    int64_t m_position = 0;
    bool m_finished = false;
    std::vector<float> m_interleaved;
};

VorbisDecoder::VorbisDecoder(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw EngineError(BASS_ERROR_FILEOPEN);
    const VorbisFile& ov = vorbisFile();
    // On success the Vorbis file owns the stdio file and closes it in ov_clear.
    if (ov.ov_open_callbacks(file, &m_file, nullptr, 0, OV_CALLBACKS_DEFAULT) != 0) {
        std::fclose(file);
        throw EngineError(BASS_ERROR_FILEFORM);
    }
    const vorbis_info* info = ov.ov_info(&m_file, -1);
    if (!info || info->rate <= 0 || info->channels < 1) {
        ov.ov_clear(&m_file);
        throw EngineError(BASS_ERROR_FILEFORM);
    }
    m_rate = static_cast<int>(info->rate);
    m_channels = OutputChannels(info->channels);
    const ogg_int64_t total = ov.ov_pcm_total(&m_file, -1);
    m_length = total >= 0 ? static_cast<int64_t>(total) : -1;
}

std::size_t VorbisDecoder::read(int16_t* out, std::size_t frames) {
    std::size_t done = 0;
    int damaged = 0;
    while (done < frames && !m_finished) {
        float** planes = nullptr;
        int link = 0;
        const long got = vorbisFile().ov_read_float(
            &m_file, &planes, static_cast<int>(std::min<std::size_t>(frames - done, 4096)), &link);
        if (got == 0 || (got < 0 && ++damaged > 100)) {
            m_finished = true;
            m_length = m_position + static_cast<int64_t>(done);
            break;
        }
        if (got < 0)
            continue; // a hole in the stream: vorbisfile goes on after it
        // A chained file may change its channel count from one link to the next.
        const int fileChannels = vorbisFile().ov_info(&m_file, link)->channels;
        m_interleaved.resize(static_cast<std::size_t>(got) * static_cast<std::size_t>(fileChannels));
        for (long i = 0; i < got; ++i)
            for (int c = 0; c < fileChannels; ++c)
                m_interleaved[static_cast<std::size_t>(i * fileChannels + c)] = planes[c][i];
        int16_t* to = out + done * static_cast<std::size_t>(m_channels);
        if (OutputChannels(fileChannels) == m_channels) {
            MixToOutput(m_interleaved.data(), fileChannels, SpeakerOrder::Vorbis, to, static_cast<std::size_t>(got));
        } else {
            // Mono in a stereo stream or the other way round.
            for (long i = 0; i < got; ++i) {
                const float* frame = &m_interleaved[static_cast<std::size_t>(i * fileChannels)];
                const float mono = fileChannels == 1 ? frame[0] : (frame[0] + frame[1]) / 2;
                for (int c = 0; c < m_channels; ++c)
                    to[i * m_channels + c] = ToInt16(m_channels == 1 ? mono : fileChannels == 1 ? mono : frame[c]);
            }
        }
        done += static_cast<std::size_t>(got);
    }
    m_position += static_cast<int64_t>(done);
    return done;
}

bool VorbisDecoder::seek(int64_t frame) {
    if (frame < 0 || vorbisFile().ov_pcm_seek(&m_file, static_cast<ogg_int64_t>(frame)) != 0)
        return false;
    m_position = frame;
    m_finished = false;
    return true;
}

} // namespace

std::unique_ptr<Decoder> OpenVorbisDecoder(const std::string& path) {
    return std::make_unique<VorbisDecoder>(path);
}

} // namespace tindrel::engine
