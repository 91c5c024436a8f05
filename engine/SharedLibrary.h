// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <dlfcn.h>
#include <string>

namespace tindrel::engine {

// A library loaded at run time, by a file name that carries the major
// version of the headers built against, so that a later release with
// another calling interface is not taken. Null when it cannot be loaded.
inline void* OpenSharedLibrary(const char* library, int major) {
#if defined(__APPLE__)
    const std::string name = std::string("lib") + library + "." + std::to_string(major) + ".dylib";
#else
    const std::string name = std::string("lib") + library + ".so." + std::to_string(major);
#endif
    return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

// Looks the call up in the library (which may be null): false when missing.
template <typename Function> bool LookUpCall(void* library, const char* name, Function& to) {
    to = library ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
    return to != nullptr;
}

// The calls of one library as a struct of pointers, filled when the first
// of them is needed: a library that only some commands use costs the
// others nothing at start. CALLS(X) lists the calls as X(name).
#define TINDREL_LIBRARY_MEMBER(name) decltype(&::name) name;
#define TINDREL_LIBRARY_LOOKUP(name) complete = ::tindrel::engine::LookUpCall(library, #name, calls.name) && complete;
#define TINDREL_LIBRARY_FILLER(Api, CALLS)                                                                             \
    [](void* library, Api& calls) {                                                                                    \
        bool complete = true;                                                                                          \
        CALLS(TINDREL_LIBRARY_LOOKUP)                                                                                  \
        return complete;                                                                                               \
    }

// Loads the library and fills Api with fill(library, api); null when the
// library or a call is missing. Call it once, for a function's static.
template <typename Api, typename Fill> const Api* LoadLibraryCalls(const char* library, int major, Fill fill) {
    static Api api{};
    void* const handle = OpenSharedLibrary(library, major);
    return handle && fill(handle, api) ? &api : nullptr;
}

} // namespace tindrel::engine
