// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/tags/TagTestFiles.h"

namespace tindrel::test {

std::string CopySample(const TempDir& dir, const std::string& name) {
    return dir.write(name, ReadFileBytes(TestDataDir() + "/tags/" + name));
}

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace tindrel::test
