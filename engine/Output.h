// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace tindrel::engine {

// Fills `frames` interleaved stereo 16-bit frames.
using RenderFunction = std::function<void(int16_t* out, std::size_t frames)>;

// Where mixed sound goes. The render function is called on the output's own
// thread, only between start() and destruction.
class Output {
public:
    virtual ~Output() = default;
    virtual void start() = 0;
    virtual int rate() const = 0;
    // Time from mixing a block to hearing it, roughly.
    virtual int latencyMs() const = 0;
};

// device: -1 for the system's default device, n >= 1 for the n-th device.
// Throws EngineError with BASS_ERROR_DEVICE or BASS_ERROR_DRIVER.
std::unique_ptr<Output> OpenSdlOutput(int device, int rate, RenderFunction render);
// "No sound": the same mixing clock, run by a thread of the engine's own.
std::unique_ptr<Output> OpenSilentOutput(int rate, RenderFunction render);

} // namespace tindrel::engine
