// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/FfmpegLibrary.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"

#include <dlfcn.h>
#include <string>

namespace tindrel::engine {
namespace {

// The libraries' file names carry the major version of the headers built
// against, so a later FFmpeg with another calling interface is not taken.
std::string fileName(const char* library, int major) {
#if defined(__APPLE__)
    return std::string("lib") + library + "." + std::to_string(major) + ".dylib";
#else
    return std::string("lib") + library + ".so." + std::to_string(major);
#endif
}

struct Handles {
    void* avutil = dlopen(fileName("avutil", LIBAVUTIL_VERSION_MAJOR).c_str(), RTLD_NOW | RTLD_LOCAL);
    void* avcodec = dlopen(fileName("avcodec", LIBAVCODEC_VERSION_MAJOR).c_str(), RTLD_NOW | RTLD_LOCAL);
    void* avformat = dlopen(fileName("avformat", LIBAVFORMAT_VERSION_MAJOR).c_str(), RTLD_NOW | RTLD_LOCAL);
    void* swresample = dlopen(fileName("swresample", LIBSWRESAMPLE_VERSION_MAJOR).c_str(), RTLD_NOW | RTLD_LOCAL);
};

template <typename Function> bool lookUp(void* library, const char* name, Function& to) {
    to = library ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
    return to != nullptr;
}

// Null when a library or a call is missing.
const Ffmpeg* loadOnce() {
    static const Handles handles;
    static Ffmpeg api{};
    bool complete = true;
#define TINDREL_FFMPEG_LOOKUP(library, name) complete = lookUp(handles.library, #name, api.name) && complete;
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
