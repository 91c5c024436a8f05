// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tindrel::test {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + name
    std::string file(const std::string& name) const;
    // Writes a file in this folder and returns its full path.
    std::string write(const std::string& name, const Bytes& bytes) const;

private:
    std::string m_path;
};

Bytes ReadFileBytes(const std::string& path);
// The size of a file, or 0 when there is none.
int64_t FileSizeOf(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
// count bytes whose values follow a pattern that differs per seed, so a
// misplaced range never compares equal by accident.
Bytes PatternBytes(std::size_t count, uint32_t seed);
// The folder holding the committed sample files.
std::string TestDataDir();

} // namespace tindrel::test
