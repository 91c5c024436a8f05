// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "binding/BassBinding.h"
#include "tests/binding/AudioCapture.h"
#include "tests/support/TempDir.h"

#include <chrono>
#include <string>

namespace tindrel::test {

// Where the build puts libbass.so and libbasswma.so.
std::string ProgramFolder();
// A committed engine sample file.
std::string EngineSample(const std::string& name);

enum class Device { NoSound, DiskCapture };

// Both libraries loaded through the binding and the engine started, either
// on device 0 or on SDL's disk driver, which writes everything played to a
// file (faster than real time, so that tests stay short).
class EngineSession {
public:
    static constexpr int kRate = 44100;

    explicit EngineSession(Device device);
    ~EngineSession();

    BassLibrary bass;
    BassWmaLibrary wma;
    TempDir dir;

    // Polls until the channel no longer plays; false on timeout.
    bool WaitUntilStopped(DWORD handle, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Closes the device and reads what it played.
    Capture FinishCapture();

private:
    std::string m_captureFile;
};

} // namespace tindrel::test
