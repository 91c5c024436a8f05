// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/WmaDecoder.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"
#include "engine/FfmpegLibrary.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <vector>

namespace tindrel::engine {
namespace {

const Ffmpeg& ff() {
    return LoadFfmpeg();
}

// Seeks land this fraction of a second early and decode up to the target.
constexpr int kPrerollPerSecond = 4;

struct FormatCloser {
    void operator()(AVFormatContext* c) const { ff().avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { ff().avcodec_free_context(&c); }
};
struct SwrFreer {
    void operator()(SwrContext* c) const { ff().swr_free(&c); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { ff().av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { ff().av_frame_free(&f); }
};

// The codecs of Windows Media Audio; anything else FFmpeg could decode
// (video, FLAC, Opus, the core library's formats...) is refused, as the
// add-on plays only what the core library leaves to it.
constexpr std::array kWmaCodecs{AV_CODEC_ID_WMAV1, AV_CODEC_ID_WMAV2, AV_CODEC_ID_WMAPRO, AV_CODEC_ID_WMALOSSLESS};

bool isWma(const char* container, AVCodecID codec) {
    return std::strcmp(container, "asf") == 0 &&
           std::find(kWmaCodecs.begin(), kWmaCodecs.end(), codec) != kWmaCodecs.end();
}

// How many frames a WMA 1 or 2 file's time stamps run ahead of its sound:
// one block. The encoder's first block only primes the overlap of the
// next, and the stamps count it, while ASF has no field for that padding
// (FFmpeg reports neither initial padding nor a decoder delay). A block is
// 512, 1024 or 2048 frames by sample rate, and WMA 1 keeps 1024 up to
// 32 kHz. Measured on FFmpeg-encoded files at 16 to 48 kHz, mono and
// stereo; WMA Pro and Lossless have blocks of their own and no encoder here
// to measure them with, so their stamps are taken as they are.
int64_t stampLead(AVCodecID codec, int rate) {
    if (codec != AV_CODEC_ID_WMAV1 && codec != AV_CODEC_ID_WMAV2)
        return 0;
    if (rate <= 16000)
        return 512;
    if (rate <= 22050 || (rate <= 32000 && codec == AV_CODEC_ID_WMAV1))
        return 1024;
    return 2048;
}

class FfmpegDecoder final : public Decoder {
public:
    explicit FfmpegDecoder(const std::string& path);

    int rate() const override { return m_rate; }
    int channels() const override { return m_channels; }
    std::size_t read(int16_t* out, std::size_t frames) override;
    bool finished() const override { return m_finished; }
    bool seek(int64_t frame) override;
    int64_t lengthFrames() const override { return m_length; }

private:
    void openCodec();
    void openResampler();
    int64_t estimateLength() const;
    bool decodeMore();
    bool receiveFrame();
    void appendFrame();

    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecFreer> m_codec;
    std::unique_ptr<SwrContext, SwrFreer> m_swr;
    std::unique_ptr<AVPacket, PacketFreer> m_packet{ff().av_packet_alloc()};
    std::unique_ptr<AVFrame, FrameFreer> m_frame{ff().av_frame_alloc()};
    AVStream* m_stream = nullptr;
    int m_rate = 0;
    int m_channels = 0;
    int64_t m_length = -1;
    int64_t m_startPts = 0;
    int64_t m_lead = 0;             // frames the time stamps run ahead of the sound
    std::vector<int16_t> m_pending; // decoded frames not yet read
    std::size_t m_pendingPos = 0;   // in samples
    int64_t m_nextFrame = 0;        // frame index of the next decoded sample
    int64_t m_skipUntil = 0;        // after a seek: drop frames before this one
    bool m_resync = false;          // take the next frame's time stamp as its place
    bool m_inputEnded = false;
    bool m_finished = false;
    int m_errors = 0;
};

FfmpegDecoder::FfmpegDecoder(const std::string& path) {
    if (!m_packet || !m_frame)
        throw EngineError(BASS_ERROR_MEM);
    AVFormatContext* raw = nullptr;
    if (ff().avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        throw EngineError(BASS_ERROR_FILEFORM);
    m_format.reset(raw);
    openCodec();
    openResampler();
    m_length = estimateLength();
}

void FfmpegDecoder::openCodec() {
    if (ff().avformat_find_stream_info(m_format.get(), nullptr) < 0)
        throw EngineError(BASS_ERROR_FILEFORM);
    int index = ff().av_find_best_stream(m_format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        throw EngineError(BASS_ERROR_FILEFORM);
    m_stream = m_format->streams[index];
    const AVCodecParameters* par = m_stream->codecpar;
    if (!isWma(m_format->iformat->name, par->codec_id))
        throw EngineError(BASS_ERROR_FILEFORM);
    const AVCodec* codec = ff().avcodec_find_decoder(par->codec_id);
    if (!codec)
        throw EngineError(BASS_ERROR_FILEFORM);
    m_codec.reset(ff().avcodec_alloc_context3(codec));
    if (!m_codec || ff().avcodec_parameters_to_context(m_codec.get(), par) < 0)
        throw EngineError(BASS_ERROR_MEM);
    // Lets the decoder keep time stamps right when it trims encoder padding.
    m_codec->pkt_timebase = m_stream->time_base;
    if (ff().avcodec_open2(m_codec.get(), codec, nullptr) < 0)
        throw EngineError(BASS_ERROR_FILEFORM);
    for (unsigned i = 0; i < m_format->nb_streams; ++i)
        m_format->streams[i]->discard = static_cast<int>(i) == index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    m_rate = m_codec->sample_rate;
    m_channels = m_codec->ch_layout.nb_channels == 1 ? 1 : 2;
    if (m_rate <= 0 || m_codec->ch_layout.nb_channels <= 0)
        throw EngineError(BASS_ERROR_FILEFORM);
    m_startPts = m_stream->start_time == AV_NOPTS_VALUE ? 0 : m_stream->start_time;
    m_lead = stampLead(par->codec_id, m_rate);
}

void FfmpegDecoder::openResampler() {
    AVChannelLayout outLayout;
    ff().av_channel_layout_default(&outLayout, m_channels);
    SwrContext* raw = nullptr;
    if (ff().swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, m_rate, &m_codec->ch_layout, m_codec->sample_fmt,
                                 m_rate, 0, nullptr) < 0)
        throw EngineError(BASS_ERROR_MEM);
    m_swr.reset(raw);
    if (ff().swr_init(m_swr.get()) < 0)
        throw EngineError(BASS_ERROR_FORMAT);
}

int64_t FfmpegDecoder::estimateLength() const {
    const AVRational perFrame{1, m_rate};
    int64_t frames = -1;
    if (m_stream->duration != AV_NOPTS_VALUE && m_stream->duration > 0)
        frames = ff().av_rescale_q(m_stream->duration, m_stream->time_base, perFrame);
    else if (m_format->duration != AV_NOPTS_VALUE && m_format->duration > 0)
        frames = ff().av_rescale_q(m_format->duration, AV_TIME_BASE_Q, perFrame);
    if (frames < 0)
        return -1;
    // The container's duration counts the encoder's padding at both ends;
    // the decoder drops it, so the playable length is shorter.
    const AVCodecParameters* par = m_stream->codecpar;
    if (m_stream->start_time != AV_NOPTS_VALUE && m_stream->start_time > 0)
        frames -= ff().av_rescale_q(m_stream->start_time, m_stream->time_base, perFrame);
    frames -= par->trailing_padding;
    return std::max<int64_t>(frames, 0);
}

std::size_t FfmpegDecoder::read(int16_t* out, std::size_t frames) {
    std::size_t done = 0;
    while (done < frames) {
        if (m_pendingPos >= m_pending.size()) {
            m_pending.clear();
            m_pendingPos = 0;
            if (!decodeMore()) {
                m_finished = true;
                // Now the true length is known, whatever the header said.
                m_length = m_nextFrame;
                break;
            }
            continue;
        }
        const std::size_t available = (m_pending.size() - m_pendingPos) / m_channels;
        const std::size_t n = std::min(available, frames - done);
        std::memcpy(out + done * m_channels, m_pending.data() + m_pendingPos, n * m_channels * sizeof(int16_t));
        m_pendingPos += n * m_channels;
        done += n;
    }
    return done;
}

// Decodes until at least one frame is pending; false at the end of the data.
bool FfmpegDecoder::decodeMore() {
    while (m_pending.empty()) {
        if (receiveFrame()) {
            appendFrame();
            continue;
        }
        if (m_inputEnded)
            return false;
        int rc = ff().av_read_frame(m_format.get(), m_packet.get());
        if (rc < 0) {
            m_inputEnded = true;
            ff().avcodec_send_packet(m_codec.get(), nullptr); // drain the decoder
            continue;
        }
        if (m_packet->stream_index == m_stream->index && ff().avcodec_send_packet(m_codec.get(), m_packet.get()) < 0 &&
            ++m_errors > 1000)
            m_inputEnded = true; // a file made only of damaged frames
        ff().av_packet_unref(m_packet.get());
    }
    return true;
}

bool FfmpegDecoder::receiveFrame() {
    return ff().avcodec_receive_frame(m_codec.get(), m_frame.get()) == 0;
}

void FfmpegDecoder::appendFrame() {
    // Frames are counted as they come; only after a seek do the time stamps
    // say where the decoder landed, less the block they run ahead of the
    // sound. (From the start the decoder gives nothing for the first two
    // packets, so the count starts one block into the sound and two blocks
    // behind the stamps: stamps cannot be trusted to count from the start.)
    const int64_t pts = m_frame->best_effort_timestamp;
    if (m_resync && pts != AV_NOPTS_VALUE)
        m_nextFrame = ff().av_rescale_q(pts - m_startPts, m_stream->time_base, AVRational{1, m_rate}) - m_lead;
    m_resync = false;
    const int inCount = m_frame->nb_samples;
    const int outMax = ff().swr_get_out_samples(m_swr.get(), inCount);
    std::vector<int16_t>& buf = m_pending;
    buf.resize(static_cast<std::size_t>(std::max(outMax, 0)) * m_channels);
    uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(buf.data())};
    int got =
        ff().swr_convert(m_swr.get(), outPlanes, outMax, const_cast<const uint8_t**>(m_frame->extended_data), inCount);
    ff().av_frame_unref(m_frame.get());
    buf.resize(static_cast<std::size_t>(std::max(got, 0)) * m_channels);
    // After a seek the demuxer lands on a packet at or before the target;
    // the frames before it are decoded only to be dropped.
    const int64_t frameStart = m_nextFrame;
    m_nextFrame += std::max(got, 0);
    if (frameStart < m_skipUntil) {
        const int64_t drop = std::min<int64_t>(m_skipUntil - frameStart, std::max(got, 0));
        m_pendingPos = static_cast<std::size_t>(drop) * m_channels;
        if (m_pendingPos >= buf.size()) {
            buf.clear();
            m_pendingPos = 0;
        }
    }
}

bool FfmpegDecoder::seek(int64_t frame) {
    if (frame < 0)
        return false;
    // Decoding starts a little before the target: WMA's overlapping blocks
    // need the packet before it, or the first milliseconds after a seek
    // come out faded in. The sound at `from` is stamped one lead later. A
    // seek whose preroll reaches the start decodes from the very start, so
    // a seek to 0 gives what playing from the start gives.
    const int64_t from = std::max<int64_t>(frame - m_rate / kPrerollPerSecond, 0);
    const int64_t ts = from == 0
                           ? m_startPts
                           : ff().av_rescale_q(from + m_lead, AVRational{1, m_rate}, m_stream->time_base) + m_startPts;
    if (ff().avformat_seek_file(m_format.get(), m_stream->index, INT64_MIN, ts, ts, 0) < 0 &&
        ff().av_seek_frame(m_format.get(), m_stream->index, ts, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    ff().avcodec_flush_buffers(m_codec.get());
    ff().swr_close(m_swr.get());
    ff().swr_init(m_swr.get());
    m_pending.clear();
    m_pendingPos = 0;
    m_nextFrame = frame; // in case the decoder gives no time stamps
    m_skipUntil = frame;
    // A seek to 0 starts over and counts as playing from the start does, so
    // the length found at the end is the same.
    m_resync = frame > 0;
    m_inputEnded = false;
    m_finished = false;
    return true;
}

} // namespace

std::unique_ptr<Decoder> OpenWmaDecoder(const std::string& path) {
    // FFmpeg gives one failure for "cannot read" and "cannot recognise";
    // callers are told which it was, and an unreadable file does not load
    // FFmpeg.
    if (!std::ifstream(path, std::ios::binary))
        throw EngineError(BASS_ERROR_FILEOPEN);
    // The decoders' remarks ("estimating duration from bitrate") are for
    // their developers; a failure reaches the caller as an error code.
    static const bool quiet = [] {
        ff().av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)quiet;
    return std::make_unique<FfmpegDecoder>(path);
}

} // namespace tindrel::engine
