// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FileStream.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tindrel {
namespace {

using test::Bytes;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

TEST(FileStream, CopyFromTakesTheRangeAtTheSourcePosition) {
    TempDir dir;
    const Bytes source = PatternBytes(200'000, 1);
    FileStream in = FileStream::openRead(dir.write("in", source));
    {
        FileStream out = FileStream::create(dir.file("out"));
        in.seek(1'234);
        out.copyFrom(in, 150'000, 61'440);
    }
    EXPECT_EQ(ReadFileBytes(dir.file("out")), Bytes(source.begin() + 1'234, source.begin() + 151'234));
}

TEST(FileStream, ARangePastTheEndKeepsTheWholeBlocksThatFit) {
    TempDir dir;
    const Bytes source = PatternBytes(150'000, 2);
    FileStream in = FileStream::openRead(dir.write("in", source));
    {
        FileStream out = FileStream::create(dir.file("out"));
        in.seek(10'000);
        EXPECT_THROW(
            {
                try {
                    out.copyFrom(in, 200'000, 61'440);
                } catch (const std::runtime_error& e) {
                    EXPECT_STREQ(e.what(), "Stream read error");
                    throw;
                }
            },
            std::runtime_error);
    }
    // 140,000 bytes were left: two whole blocks of 61,440.
    EXPECT_EQ(ReadFileBytes(dir.file("out")), Bytes(source.begin() + 10'000, source.begin() + 10'000 + 122'880));
}

TEST(FileStream, OpenAndCreateFailuresNameThePathAndTheReason) {
    TempDir dir;
    try {
        FileStream::openRead(dir.file("none"));
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir.file("none") + "\". No such file or directory");
    }
    try {
        FileStream::create(dir.path());
        ADD_FAILURE();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir.path() + "\". Is a directory");
    }
}

TEST(FileStream, ReadExactRefusesAShortFile) {
    TempDir dir;
    FileStream in = FileStream::openRead(dir.write("in", PatternBytes(10, 3)));
    char buffer[11];
    EXPECT_THROW(in.readExact(buffer, sizeof buffer), std::runtime_error);
}

} // namespace
} // namespace tindrel
