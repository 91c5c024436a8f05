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

// The calls of the library, loaded and filled by fill(library, calls) the
// first time this is called for Api, and kept. When the library or a call
// is missing, missing() throws, then and at every later call.
template <typename Api, typename Fill, typename Missing>
const Api& LibraryCalls(const char* library, int major, Fill fill, Missing missing) {
    static const Api* const api = [&]() -> const Api* {
        static Api calls{};
        void* const handle = OpenSharedLibrary(library, major);
        return handle && fill(handle, calls) ? &calls : nullptr;
    }();
    if (!api)
        missing();
    return *api;
}

} // namespace tindrel::engine
