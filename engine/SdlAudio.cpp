// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/SdlAudio.h"

#include "engine/BassApi.h"
#include "engine/EngineError.h"

#include <dlfcn.h>
#include <mutex>

namespace tindrel::engine {
namespace {

#if defined(__APPLE__)
constexpr const char* kSdlFile = "libSDL2-2.0.0.dylib";
#else
constexpr const char* kSdlFile = "libSDL2-2.0.so.0";
#endif

template <typename Function> void lookUp(void* library, const char* name, Function& to, bool& complete) {
    to = reinterpret_cast<Function>(dlsym(library, name));
    complete = complete && to != nullptr;
}

// Null when SDL or one of its calls is missing.
const SdlAudio* loadOnce() {
    // Never unloaded: SDL keeps threads and global state that outlive a
    // single device.
    void* library = dlopen(kSdlFile, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    static SdlAudio api{};
    bool complete = true;
    lookUp(library, "SDL_SetHint", api.SetHint, complete);
    lookUp(library, "SDL_InitSubSystem", api.InitSubSystem, complete);
    lookUp(library, "SDL_QuitSubSystem", api.QuitSubSystem, complete);
    lookUp(library, "SDL_WasInit", api.WasInit, complete);
    lookUp(library, "SDL_Quit", api.Quit, complete);
    lookUp(library, "SDL_GetNumAudioDevices", api.GetNumAudioDevices, complete);
    lookUp(library, "SDL_GetAudioDeviceName", api.GetAudioDeviceName, complete);
    lookUp(library, "SDL_OpenAudioDevice", api.OpenAudioDevice, complete);
    lookUp(library, "SDL_CloseAudioDevice", api.CloseAudioDevice, complete);
    lookUp(library, "SDL_PauseAudioDevice", api.PauseAudioDevice, complete);
    return complete ? &api : nullptr;
}

} // namespace

const SdlAudio& LoadSdlAudio() {
    static const SdlAudio* const api = loadOnce();
    if (!api)
        throw EngineError(BASS_ERROR_DRIVER);
    return *api;
}

} // namespace tindrel::engine
