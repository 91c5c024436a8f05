// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "binding/BassBinding.h"

#include <dlfcn.h>

namespace tindrel {
namespace {

constexpr char kSeparator = '/';

// Looks up one entry point into its pointer; false when it is missing.
template <typename Pointer> bool resolve(const LibraryHandle& library, const char* name, Pointer& target) {
    target = reinterpret_cast<Pointer>(library.symbol(name));
    return target != nullptr;
}

} // namespace

std::string JoinLibraryPath(const std::string& Folder, const std::string& FileName) {
    if (!Folder.empty() && Folder.back() == kSeparator)
        return Folder + FileName;
    return Folder + kSeparator + FileName;
}

bool LibraryHandle::open(const std::string& path) {
    close();
    // The system's error boxes have no counterpart here; a failed load only
    // leaves the handle empty.
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return m_handle != nullptr;
}

void LibraryHandle::close() {
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
}

void* LibraryHandle::symbol(const char* name) const {
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

#define TINDREL_RESOLVE_ENTRY_POINT(name) complete = resolve(m_library, #name, name) && complete;
#define TINDREL_CLEAR_ENTRY_POINT(name) name = nullptr;

namespace {

// The loading rule both libraries share: already loaded is success; a
// library without all its entry points is closed again and forgotten.
template <typename ResolveAll, typename ClearAll>
bool loadComplete(LibraryHandle& library, const std::string& Folder, const std::string& FileName, ResolveAll resolveAll,
                  ClearAll clearAll) {
    if (library.isOpen())
        return true;
    if (!library.open(JoinLibraryPath(Folder, FileName)))
        return false;
    if (resolveAll())
        return true;
    clearAll();
    library.close();
    return false;
}

} // namespace

bool BassLibrary::Load(const std::string& Folder, const std::string& FileName) {
    return loadComplete(
        m_library, Folder, FileName,
        [this] {
            bool complete = true;
            TINDREL_BASS_ENTRY_POINTS(TINDREL_RESOLVE_ENTRY_POINT)
            return complete;
        },
        [this] { clearEntryPoints(); });
}

void BassLibrary::Unload() {
    if (!Loaded())
        return;
    if (BASS_Free)
        BASS_Free();
    clearEntryPoints();
    m_library.close();
}

void BassLibrary::clearEntryPoints() {
    TINDREL_BASS_ENTRY_POINTS(TINDREL_CLEAR_ENTRY_POINT)
}

bool BassWmaLibrary::Load(const std::string& Folder, const std::string& FileName) {
    return loadComplete(
        m_library, Folder, FileName,
        [this] {
            bool complete = true;
            TINDREL_BASS_WMA_ENTRY_POINTS(TINDREL_RESOLVE_ENTRY_POINT)
            return complete;
        },
        [this] { clearEntryPoints(); });
}

void BassWmaLibrary::Unload() {
    clearEntryPoints();
    m_library.close();
}

void BassWmaLibrary::clearEntryPoints() {
    TINDREL_BASS_WMA_ENTRY_POINTS(TINDREL_CLEAR_ENTRY_POINT)
}

} // namespace tindrel
