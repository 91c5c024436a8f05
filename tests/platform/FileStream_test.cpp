// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/FileStream.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

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

// The holes of a sparse source stay holes in a new file, one at the end
// included; copied into bytes a file already holds, they become zeros.
TEST(FileStream, HolesOfASparseSourceStayHolesWhereTheCopyAppends) {
    TempDir dir;
    constexpr int64_t kSize = 8 << 20;
    const Bytes head = PatternBytes(5'000, 1);
    const Bytes middle = PatternBytes(5'000, 2);
    const std::string sparse = dir.file("sparse.mp3");
    {
        FileStream file = FileStream::create(sparse);
        file.writeAll(head.data(), head.size());
        file.seek(kSize / 2);
        file.writeAll(middle.data(), middle.size());
        ASSERT_EQ(::ftruncate(file.fd(), kSize), 0);
    }
    struct stat st {};
    ASSERT_EQ(::stat(sparse.c_str(), &st), 0);
    if (st.st_blocks * 512 > kSize / 4)
        GTEST_SKIP() << "this file system keeps no holes";
    for (const bool over : {false, true}) {
        const std::string copy = dir.file(over ? "over.mp3" : "new.mp3");
        FileStream out = FileStream::create(copy);
        if (over) {
            const Bytes old(std::size_t(kSize), 0x55);
            out.writeAll(old.data(), old.size());
            out.seek(0);
        }
        FileStream in = FileStream::openRead(sparse);
        out.copyFrom(in, kSize, std::size_t(1) << 20);
        out.close();
        Bytes expected(std::size_t(kSize), 0);
        std::copy(head.begin(), head.end(), expected.begin());
        std::copy(middle.begin(), middle.end(), expected.begin() + kSize / 2);
        EXPECT_TRUE(ReadFileBytes(copy) == expected) << over;
        ASSERT_EQ(::stat(copy.c_str(), &st), 0);
        if (!over)
            EXPECT_LT(st.st_blocks * 512, kSize / 4) << "the holes were filled";
    }
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
