// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// The names an atomic replace leaves beside its target: none when it ends,
// and when its writer was killed between linking and renaming, a name the
// next write to that target removes, without touching names of writers that
// still run or files that only look alike.
#include "platform/AtomicFile.h"

#include "tests/support/FaultInjection.h"
#include "tests/support/FileLock.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
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

// The temporary name a writer of this user gives a file beside name.
std::string leftover(const std::string& name, const std::string& slot) {
    return name + ".tindrel-" + std::to_string(::geteuid()) + "-" + slot;
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

// Only this user's regular files that no running writer holds are taken
// for leftovers; a link there is not followed, a pipe does not hang the
// write, and names of other targets or users stay.
TEST(AtomicFile, TheNextWriteRemovesOnlyAbandonedNamesOfItsOwn) {
    TempDir dir;
    const std::string out = dir.write("out.mp3", PatternBytes(100, 3));
    const std::string victim = dir.write("victim", PatternBytes(10, 8));
    const std::string abandoned = leftover("out.mp3", "1");
    dir.write(abandoned, PatternBytes(10, 5));
    const test::ExclusiveLock runningWriter(dir.write(leftover("out.mp3", "2"), PatternBytes(10, 6)));
    ASSERT_EQ(::symlink(victim.c_str(), dir.file(leftover("out.mp3", "0")).c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.file(leftover("out.mp3", "3")).c_str(), 0600), 0);
    for (const std::string& name : {leftover("other.mp3", "1"), std::string("out.mp3~"),
                                    "out.mp3.tindrel-" + std::to_string(::geteuid() + 1) + "-1"})
        dir.write(name, PatternBytes(10, 4));

    std::vector<std::string> expected = namesIn(dir.path());
    expected.erase(std::find(expected.begin(), expected.end(), abandoned));
    Replace(out, PatternBytes(200, 7));
    EXPECT_EQ(namesIn(dir.path()), expected);
    EXPECT_EQ(ReadFileBytes(victim), PatternBytes(10, 8));
    EXPECT_EQ(ReadFileBytes(out), PatternBytes(200, 7));
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
}

// A writer killed in the middle of an in-place copy leaves a mix in the file
// and the whole new content in its journal. The next write finishes the
// copy; but once anything else wrote the file (through its other name, say)
// the journal is dropped rather than copied over that newer content, and a
// journal of another user is neither copied nor removed.
TEST(AtomicFile, AKilledInPlaceCopyIsFinishedOnlyOverWhatItLeft) {
    constexpr std::size_t kBig = 3 << 20; // three of the copy's blocks
    const Bytes whole = PatternBytes(kBig, 9);
    const Bytes later = PatternBytes(kBig - 10, 11);
    for (const bool writtenSince : {false, true}) {
        TempDir dir;
        const std::string out = dir.write("out.mp3", PatternBytes(kBig, 1));
        const std::string other = dir.file("other.mp3");
        ASSERT_EQ(::link(out.c_str(), other.c_str()), 0);
        const pid_t writer = ::fork();
        if (writer == 0) {
            AtomicFile::SetCopyObserver([](int64_t copied) {
                if (copied > 0 && copied < int64_t(kBig))
                    ::raise(SIGKILL);
            });
            Replace(out, whole);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was not stopped in its copy";
        EXPECT_NE(ReadFileBytes(other), whole);
        if (writtenSince)
            Replace(other, later);
        const std::string journal = dir.file(leftover("out.mp3", "j"));
        if (::geteuid() == 0 && !writtenSince) {
            ASSERT_EQ(::chown(journal.c_str(), 65534, 65534), 0);
            const Bytes mix = ReadFileBytes(other);
            AtomicFile::SweepLeftovers(out);
            EXPECT_EQ(ReadFileBytes(other), mix) << "another user's journal was copied in";
            ASSERT_EQ(::chown(journal.c_str(), 0, 0), 0);
        }
        AtomicFile::SweepLeftovers(out);
        EXPECT_EQ(ReadFileBytes(other), writtenSince ? later : whole) << writtenSince;
        EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"other.mp3", "out.mp3"}));
    }
}

// A change in place writes only the changed runs, through the journal: a
// writer killed while it writes them leaves the file with each run old or
// new, and the next write finishes the change, the tail that grows or
// shrinks included; once anything else wrote the file the journal is
// dropped instead.
int64_t g_killAt = -1;

TEST(AtomicFile, AChangeInPlaceKilledHalfwayIsFinishedOnlyOverWhatItLeft) {
    constexpr std::size_t kSize = 1 << 20;
    constexpr std::size_t kTail = kSize - 100;
    struct Case {
        int64_t killAt; // the offset reached at which the writer is killed
        std::size_t newTail;
        bool writtenSince;
    };
    for (const Case c :
         {Case{-1, 300, false}, Case{kSize / 2, 300, false}, Case{kSize, 10, false}, Case{kSize / 2, 10, true}}) {
        SCOPED_TRACE(testing::Message() << c.killAt << " " << c.newTail << " " << c.writtenSince);
        TempDir dir;
        const Bytes before = PatternBytes(kSize, 3);
        const std::string out = dir.write("out.mp3", before);
        const std::string other = dir.file("other.mp3");
        ASSERT_EQ(::link(out.c_str(), other.c_str()), 0);
        Bytes after = before;
        std::vector<std::pair<std::size_t, std::size_t>> runs;
        for (std::size_t k = 0, at = 17; at + 1 + k % 30 <= kTail; ++k, at += 1000) {
            runs.emplace_back(at, 1 + k % 30);
            for (std::size_t i = at; i < at + 1 + k % 30; ++i)
                after[i] ^= 0x5A;
        }
        const Bytes tail = PatternBytes(c.newTail, 4);
        after.resize(kTail);
        after.insert(after.end(), tail.begin(), tail.end());
        g_killAt = c.killAt;
        const pid_t writer = ::fork();
        if (writer == 0) {
            AtomicFile::SetCopyObserver([](int64_t reached) {
                if (g_killAt >= 0 && reached >= g_killAt)
                    ::raise(SIGKILL);
            });
            AtomicFile file = AtomicFile::Create(out);
            for (const auto& [at, length] : runs)
                file.Change(int64_t(at), std::span(before).subspan(at, length), std::span(after).subspan(at, length));
            file.Change(kTail, std::span(before).subspan(kTail), tail);
            file.CommitChanges();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ASSERT_EQ(WIFSIGNALED(status), c.killAt >= 0);
        Bytes left = ReadFileBytes(other);
        if (c.killAt >= 0) {
            EXPECT_NE(left, after);
        }
        if (c.writtenSince) {
            left[17] = uint8_t(~before[17]);
            test::WriteFileBytes(other, left);
        }
        AtomicFile::SweepLeftovers(out);
        EXPECT_EQ(ReadFileBytes(other), c.writtenSince ? left : after);
        EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"other.mp3", "out.mp3"}));
    }
}

// A journal that cannot be written (a full disk, a size limit) fails the
// change before the file is touched, and the message names the journal and
// the system's reason, whether it fails while the runs are added (a journal
// longer than the writer buffers) or at its end.
TEST(AtomicFile, AChangeWhoseJournalCannotBeWrittenNamesIt) {
    constexpr std::size_t kSize = 1 << 20;
    for (const std::size_t every : {std::size_t(25), std::size_t(100'000)}) {
        SCOPED_TRACE(every);
        TempDir dir;
        const Bytes before = PatternBytes(kSize, 5);
        const std::string out = dir.write("out.mp3", before);
        Bytes after = before;
        std::string message;
        {
            test::FileSizeLimit limit(100);
            try {
                AtomicFile file = AtomicFile::Create(out);
                for (std::size_t at = 0; at + 10 <= kSize; at += every) {
                    for (std::size_t i = at; i < at + 10; ++i)
                        after[i] ^= 0x33;
                    file.Change(int64_t(at), std::span(before).subspan(at, 10), std::span(after).subspan(at, 10));
                }
                file.CommitChanges();
            } catch (const StreamWriteError& e) {
                message = e.what();
            }
        }
        EXPECT_EQ(message, "Stream write error in file \"" + leftover(out, "j") + "\". File too large");
        EXPECT_EQ(ReadFileBytes(out), before);
        EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"out.mp3"}));
    }
}

} // namespace
} // namespace tindrel
