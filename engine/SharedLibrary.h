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

} // namespace tindrel::engine
