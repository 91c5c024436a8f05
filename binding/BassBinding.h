// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// Run-time binding to the audio library and its WMA add-on: each loader
// opens its library by path and looks up every entry point the program
// calls. A library with a missing entry point is not used at all.

#include "engine/BassApi.h"

#include <string>

namespace tindrel {

// The entry points of the core library, each as X(name).
#define TINDREL_BASS_ENTRY_POINTS(X)                                                                                   \
    X(BASS_GetVersion)                                                                                                 \
    X(BASS_Init)                                                                                                       \
    X(BASS_Start)                                                                                                      \
    X(BASS_GetInfo)                                                                                                    \
    X(BASS_Free)                                                                                                       \
    X(BASS_GetGlobalVolumes)                                                                                           \
    X(BASS_SetGlobalVolumes)                                                                                           \
    X(BASS_ErrorGetCode)                                                                                               \
    X(BASS_StreamCreateFile)                                                                                           \
    X(BASS_StreamCreate)                                                                                               \
    X(BASS_StreamFree)                                                                                                 \
    X(BASS_StreamPlay)                                                                                                 \
    X(BASS_StreamGetLength)                                                                                            \
    X(BASS_MusicLoad)                                                                                                  \
    X(BASS_MusicFree)                                                                                                  \
    X(BASS_MusicPlay)                                                                                                  \
    X(BASS_MusicGetLength)                                                                                             \
    X(BASS_ChannelGetFlags)                                                                                            \
    X(BASS_ChannelPause)                                                                                               \
    X(BASS_ChannelResume)                                                                                              \
    X(BASS_ChannelStop)                                                                                                \
    X(BASS_ChannelIsActive)                                                                                            \
    X(BASS_ChannelSetSync)                                                                                             \
    X(BASS_ChannelGetPosition)                                                                                         \
    X(BASS_ChannelSetPosition)                                                                                         \
    X(BASS_ChannelBytes2Seconds)                                                                                       \
    X(BASS_ChannelSeconds2Bytes)                                                                                       \
    X(BASS_ChannelGetData)                                                                                             \
    X(BASS_ChannelSetAttributes)                                                                                       \
    X(BASS_ChannelGetAttributes)

// The entry points of the WMA add-on.
#define TINDREL_BASS_WMA_ENTRY_POINTS(X)                                                                               \
    X(BASS_WMA_StreamCreateFile)                                                                                       \
    X(BASS_WMA_ChannelSetSync)

// Folder + FileName, with a separator between them unless Folder already
// ends with one.
std::string JoinLibraryPath(const std::string& Folder, const std::string& FileName);

// An open shared library; closes it when destroyed.
class LibraryHandle {
public:
    LibraryHandle() = default;
    ~LibraryHandle() { close(); }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;

    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    // nullptr when the library has no such export.
    void* symbol(const char* name) const;

private:
    void* m_handle = nullptr;
};

#define TINDREL_DECLARE_ENTRY_POINT(name) decltype(&::name) name = nullptr;

// The core audio library.
class BassLibrary {
public:
    ~BassLibrary() { Unload(); }

    // True when already loaded; otherwise loads Folder/FileName and looks up
    // every entry point. A missing file or entry point unloads it again and
    // gives false.
    bool Load(const std::string& Folder, const std::string& FileName);
    // Calls BASS_Free, then unloads; does nothing when not loaded.
    void Unload();
    bool Loaded() const { return m_library.isOpen(); }

    TINDREL_BASS_ENTRY_POINTS(TINDREL_DECLARE_ENTRY_POINT)

private:
    void clearEntryPoints();
    LibraryHandle m_library;
};

// The WMA add-on; it plays through the core library, which must be
// initialised before its streams are created.
class BassWmaLibrary {
public:
    ~BassWmaLibrary() { Unload(); }

    bool Load(const std::string& Folder, const std::string& FileName);
    void Unload();
    bool Loaded() const { return m_library.isOpen(); }

    TINDREL_BASS_WMA_ENTRY_POINTS(TINDREL_DECLARE_ENTRY_POINT)

private:
    void clearEntryPoints();
    LibraryHandle m_library;
};

#undef TINDREL_DECLARE_ENTRY_POINT

} // namespace tindrel
