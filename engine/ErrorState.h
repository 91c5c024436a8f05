// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "engine/BassApi.h"
#include "engine/EngineError.h"

#include <new>

namespace tindrel::engine {

// The last error of the calling thread, as BASS_ErrorGetCode reports it.
void SetLastError(int code);
int LastError();

// Runs body at the C boundary: its result on success (error code OK), or
// failure with the error code of whatever it threw. Nothing escapes.
template <typename R, typename Body> R Guarded(R failure, Body&& body) noexcept {
    try {
        R result = body();
        SetLastError(BASS_OK);
        return result;
    } catch (const EngineError& e) {
        SetLastError(e.code());
    } catch (const std::bad_alloc&) {
        SetLastError(BASS_ERROR_MEM);
    } catch (...) {
        SetLastError(BASS_ERROR_UNKNOWN);
    }
    return failure;
}

} // namespace tindrel::engine
