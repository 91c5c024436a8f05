// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <SDL2/SDL.h>

namespace tindrel::engine {

// The calls of SDL's audio the engine makes. SDL and the sound and window
// systems it links are loaded only when a real output device is first
// asked for: a program that plays on device 0 ("no sound") never maps them.
struct SdlAudio {
    decltype(&SDL_SetHint) SetHint;
    decltype(&SDL_InitSubSystem) InitSubSystem;
    decltype(&SDL_QuitSubSystem) QuitSubSystem;
    decltype(&SDL_WasInit) WasInit;
    decltype(&SDL_Quit) Quit;
    decltype(&SDL_GetNumAudioDevices) GetNumAudioDevices;
    decltype(&SDL_GetAudioDeviceName) GetAudioDeviceName;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
};

// SDL's audio calls, loading SDL on the first call; it stays loaded.
// Throws EngineError(BASS_ERROR_DRIVER) when SDL cannot be loaded.
const SdlAudio& LoadSdlAudio();

} // namespace tindrel::engine
