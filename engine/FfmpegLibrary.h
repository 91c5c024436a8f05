// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

namespace tindrel::engine {

// Every FFmpeg call the WMA decoder makes, with the library it lives in.
#define TINDREL_FFMPEG_CALLS(X)                                                                                        \
    X(avutil, av_channel_layout_default)                                                                               \
    X(avutil, av_frame_alloc)                                                                                          \
    X(avutil, av_frame_free)                                                                                           \
    X(avutil, av_frame_unref)                                                                                          \
    X(avutil, av_log_set_level)                                                                                        \
    X(avutil, av_rescale_q)                                                                                            \
    X(avcodec, av_packet_alloc)                                                                                        \
    X(avcodec, av_packet_free)                                                                                         \
    X(avcodec, av_packet_unref)                                                                                        \
    X(avcodec, avcodec_alloc_context3)                                                                                 \
    X(avcodec, avcodec_find_decoder)                                                                                   \
    X(avcodec, avcodec_flush_buffers)                                                                                  \
    X(avcodec, avcodec_free_context)                                                                                   \
    X(avcodec, avcodec_open2)                                                                                          \
    X(avcodec, avcodec_parameters_to_context)                                                                          \
    X(avcodec, avcodec_receive_frame)                                                                                  \
    X(avcodec, avcodec_send_packet)                                                                                    \
    X(avformat, av_find_best_stream)                                                                                   \
    X(avformat, av_read_frame)                                                                                         \
    X(avformat, av_seek_frame)                                                                                         \
    X(avformat, avformat_close_input)                                                                                  \
    X(avformat, avformat_find_stream_info)                                                                             \
    X(avformat, avformat_open_input)                                                                                   \
    X(avformat, avformat_seek_file)                                                                                    \
    X(swresample, swr_alloc_set_opts2)                                                                                 \
    X(swresample, swr_close)                                                                                           \
    X(swresample, swr_convert)                                                                                         \
    X(swresample, swr_free)                                                                                            \
    X(swresample, swr_get_out_samples)                                                                                 \
    X(swresample, swr_init)

// FFmpeg's calls, looked up in the libraries of the version the add-on was
// built with. FFmpeg and the hundred-odd libraries it needs are mapped
// only when the first WMA file is opened, so loading the add-on (which the
// player does at start) costs next to nothing.
struct Ffmpeg {
#define TINDREL_FFMPEG_MEMBER(library, name) decltype(&::name) name;
    TINDREL_FFMPEG_CALLS(TINDREL_FFMPEG_MEMBER)
#undef TINDREL_FFMPEG_MEMBER
};

// Loads FFmpeg on the first call; it stays loaded (its dependencies leak
// each time they are unmapped and mapped again). Throws
// EngineError(BASS_ERROR_NOTAVAIL) when a library or a call is missing.
const Ffmpeg& LoadFfmpeg();

} // namespace tindrel::engine
