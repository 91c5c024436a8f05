// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/FfmpegLibrary.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"
#include "engine/SharedLibrary.h"

namespace tindrel::engine {
namespace {

struct Handles {
    void* avutil = OpenSharedLibrary("avutil", LIBAVUTIL_VERSION_MAJOR);
    void* avcodec = OpenSharedLibrary("avcodec", LIBAVCODEC_VERSION_MAJOR);
    void* avformat = OpenSharedLibrary("avformat", LIBAVFORMAT_VERSION_MAJOR);
    void* swresample = OpenSharedLibrary("swresample", LIBSWRESAMPLE_VERSION_MAJOR);
};

// Null when a library or a call is missing.
const Ffmpeg* loadOnce() {
    static const Handles handles;
    static Ffmpeg api{};
    bool complete = true;
#define TINDREL_FFMPEG_LOOKUP(library, name) complete = LookUpCall(handles.library, #name, api.name) && complete;
    TINDREL_FFMPEG_CALLS(TINDREL_FFMPEG_LOOKUP)
#undef TINDREL_FFMPEG_LOOKUP
    return complete ? &api : nullptr;
}

} // namespace

const Ffmpeg& LoadFfmpeg() {
    static const Ffmpeg* const api = loadOnce();
    if (!api)
        throw EngineError(BASS_ERROR_NOTAVAIL);
    return *api;
}

} // namespace tindrel::engine
