// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "tests/support/WaitFor.h"

#include "binding/BassBinding.h"
#include "platform/FakeDialogs.h"
#include "tests/support/TempDir.h"

#include <functional>
#include <string>

namespace tindrel::test {

// The built test plug-in `name` (in_tone, in_noexport, in_nullmodule).
std::string TestPluginFile(const std::string& name);

// A temporary program folder: the audio engine linked in from the build's
// program folder and a Plugins folder for copies of the test plug-ins.
class ProgramFolder {
public:
    ProgramFolder();
    const std::string& path() const { return m_dir.path(); }
    // Copies the test plug-in `name` into Plugins as `as`; returns `as`.
    std::string addPlugin(const std::string& name, const std::string& as) const;
    // A .tone file for the test plug-in; returns its full path.
    std::string writeTone(const std::string& name, int rate, int channels, int bits, int ms, int hz = 440) const;

private:
    TempDir m_dir;
};

// The audio engine through its binding, started on device 0 ("no sound").
class SilentEngine {
public:
    SilentEngine();
    ~SilentEngine();
    BassLibrary bass;
};

} // namespace tindrel::test
