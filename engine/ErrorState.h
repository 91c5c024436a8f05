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

// Runs body; the error code of whatever it threw, or BASS_OK.
template <typename Body> int ErrorOf(Body&& body) noexcept {
    try {
        body();
        return BASS_OK;
    } catch (const EngineError& e) {
        return e.code();
    } catch (const std::bad_alloc&) {
        return BASS_ERROR_MEM;
    } catch (...) {
        return BASS_ERROR_UNKNOWN;
    }
}

// Runs body at the C boundary: its result on success (error code OK), or
// failure with the error code of whatever it threw. Nothing escapes.
template <typename R, typename Body> R Guarded(R failure, Body&& body) noexcept {
    R result = failure;
    SetLastError(ErrorOf([&] { result = body(); }));
    return result;
}

} // namespace tindrel::engine
