// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "tests/support/FaultInjection.h"

#include "tests/support/FileLock.h"
#include "tests/support/TempDir.h"

#include <string>

namespace tindrel::test {

// A temporary copy of a committed tag sample, named as the sample.
std::string CopySample(const TempDir& dir, const std::string& name);

// The bytes of a text, for building hand-made tags.
Bytes ToBytes(const std::string& text);
// a followed by b.
Bytes Concat(Bytes a, const Bytes& b);

// True when path names an existing file or folder.
bool FileExists(const std::string& path);
// The permission bits of a file.
unsigned FileMode(const std::string& path);

} // namespace tindrel::test
