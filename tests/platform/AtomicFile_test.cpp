// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// The names an atomic replace leaves beside its target: none when it ends,
// and when its writer was killed between linking and renaming, a name the
// next write to that target removes, without touching names of writers that
// still run or files that only look alike.
#include "platform/AtomicFile.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void Replace(const std::string& path, const Bytes& bytes) {
    AtomicFile file = AtomicFile::Create(path);
    file.stream().writeAll(bytes.data(), bytes.size());
    file.Commit();
}

// A process number that no process has: a child that has ended and been
// reaped.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST(AtomicFile, ReplacesInPlaceKeepingTheModeAndLeavesNoOtherName) {
    TempDir dir;
    const std::string out = dir.write("out.mp3", PatternBytes(100, 1));
    ::chmod(out.c_str(), 0640);
    const Bytes fresh = PatternBytes(5'000, 2);
    Replace(out, fresh);
    EXPECT_EQ(ReadFileBytes(out), fresh);
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.mp3"});
    {
        AtomicFile abandoned = AtomicFile::Create(out);
        abandoned.stream().writeAll(fresh.data(), 10);
    }
    EXPECT_EQ(ReadFileBytes(out), fresh);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"out.mp3"});
}

TEST(AtomicFile, TheNextWriteRemovesOnlyNamesLeftByEndedWriters) {
    TempDir dir;
    const std::string out = dir.write("out.mp3", PatternBytes(100, 3));
    const std::string dead = "out.mp3.tindrel-" + std::to_string(EndedProcess()) + "-7";
    const std::string running = "out.mp3.tindrel-" + std::to_string(::getppid()) + "-7";
    const std::vector<std::string> lookAlikes = {
        "out.mp3.tindrel-12x-7",                                      // not a process number
        "out.mp3.tindrel-",                                           // nothing after the mark
        "other.mp3.tindrel-" + std::to_string(EndedProcess()) + "-7", // another target's
        "out.mp3~",
    };
    for (const std::string& name : lookAlikes)
        dir.write(name, PatternBytes(10, 4));
    dir.write(dead, PatternBytes(10, 5));
    dir.write(running, PatternBytes(10, 6));
    fs::create_directory(dir.file("out.mp3.tindrel-" + std::to_string(EndedProcess()) + "-8"));

    const std::size_t before = namesIn(dir.path()).size();
    Replace(out, PatternBytes(200, 7));
    const std::vector<std::string> after = namesIn(dir.path());
    EXPECT_EQ(after.size(), before - 1);
    EXPECT_EQ(std::count(after.begin(), after.end(), dead), 0);
    EXPECT_EQ(std::count(after.begin(), after.end(), running), 1);
    for (const std::string& name : lookAlikes)
        EXPECT_EQ(std::count(after.begin(), after.end(), name), 1) << name;
}

// A pipe, a socket or a device is never replaced by a regular file, and a
// name as long as a file name may be still gets its replacement.
TEST(AtomicFile, RefusesWhatIsNotARegularFileAndTakesTheLongestNames) {
    TempDir dir;
    const std::string fifo = dir.file("fifo.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::vector<std::string> special = {fifo};
    // A device node like /dev/null's, where the system lets us make one.
    const std::string device = dir.file("null.mp3");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        special.push_back(device);
    for (const std::string& path : special) {
        try {
            AtomicFile::Create(path, true);
            ADD_FAILURE() << path << " was replaced";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + path + "\". It is not a regular file");
        }
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode)) << path;
    }
    if (special.size() > 1)
        ::unlink(device.c_str());

    const std::string longest = dir.file(std::string(251, 'n') + ".mp3"); // 255 bytes
    Replace(longest, PatternBytes(10, 1));
    Replace(longest, PatternBytes(20, 2)); // over an existing file: linked beside it first
    EXPECT_EQ(ReadFileBytes(longest), PatternBytes(20, 2));
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"fifo.mp3", std::string(251, 'n') + ".mp3"}));
}

// The replacement carries the replaced file's extended attributes (where a
// download came from, say), as the tag editor's rebuild of a file must.
TEST(AtomicFile, KeepsTheExtendedAttributes) {
    TempDir dir;
    const std::string path = dir.write("song.mp3", PatternBytes(10, 1));
    const std::string origin = "https://example.org/song.mp3";
    if (::setxattr(path.c_str(), "user.xdg.origin.url", origin.data(), origin.size(), 0) != 0)
        GTEST_SKIP() << "this file system keeps no user attributes";
    Replace(path, PatternBytes(20, 2));
    std::string value(100, '\0');
    const ssize_t length = ::getxattr(path.c_str(), "user.xdg.origin.url", value.data(), value.size());
    ASSERT_GT(length, 0);
    EXPECT_EQ(value.substr(0, std::size_t(length)), origin);
    EXPECT_EQ(ReadFileBytes(path), PatternBytes(20, 2));
}

// A file with a second name keeps it: both names see the new content, the
// file stays the same file, and no journal is left. A journal a killed
// writer left is copied in by the next write before it writes.
TEST(AtomicFile, AHardLinkedFileIsRewrittenInPlace) {
    TempDir dir;
    const std::string out = dir.write("out.mp3", PatternBytes(3'000, 1));
    const std::string other = dir.file("other.mp3");
    ASSERT_EQ(::link(out.c_str(), other.c_str()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(out.c_str(), &before), 0);
    for (const std::size_t size : {5'000u, 1'000u, 1'000u}) {
        const Bytes fresh = PatternBytes(size, uint32_t(size));
        Replace(out, fresh);
        EXPECT_EQ(ReadFileBytes(other), fresh) << size;
        struct stat after {};
        ASSERT_EQ(::stat(out.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_nlink, 2u);
        EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"other.mp3", "out.mp3"}));
    }

    // What a writer killed in the middle of its copy leaves: a mix in the
    // file and the whole new content in its journal.
    const Bytes whole = PatternBytes(4'000, 9);
    Bytes mix = whole;
    mix.resize(2'500);
    test::WriteFileBytes(out, mix);
    const std::string journal =
        "out.mp3.tindrel-" + std::to_string(EndedProcess()) + "-j" + std::to_string(before.st_ino);
    // One of another user, as could be planted in a shared folder, is never
    // copied in (nor removed).
    const std::string planted = dir.write(journal, PatternBytes(4'000, 10));
    if (::geteuid() == 0 && ::chown(planted.c_str(), 65534, 65534) == 0) {
        AtomicFile::SweepLeftovers(out);
        EXPECT_EQ(ReadFileBytes(other), mix);
        EXPECT_EQ(ReadFileBytes(planted), PatternBytes(4'000, 10));
        ::unlink(planted.c_str());
    }
    dir.write(journal, whole);
    dir.write("out.mp3.tindrel-" + std::to_string(EndedProcess()) + "-j1", PatternBytes(10, 2)); // another file's
    AtomicFile::SweepLeftovers(out);
    EXPECT_EQ(ReadFileBytes(other), whole);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"other.mp3", "out.mp3"}));
}

} // namespace
} // namespace tindrel
