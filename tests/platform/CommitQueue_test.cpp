// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// Files put in place on the queue's worker thread: a commit that fails there
// is reported to the caller, the files before it stay in place, and the
// ones after it leave the old files as they were and no name behind.
#include "platform/CommitQueue.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

TEST(CommitQueue, AFailedCommitIsReportedAndTheFilesAfterItAreAbandoned) {
    const std::vector<std::string> names = {"a.mp3", "b.mp3", "c.mp3", "d.mp3"};
    const Bytes old = PatternBytes(300, 1);
    // -1: no commit fails; else the file whose name a folder takes after
    // the file was made, so that only its commit can fail.
    for (const int failing : {-1, 0, 2, 3}) {
        SCOPED_TRACE("failing file " + std::to_string(failing));
        TempDir dir;
        std::vector<AtomicFile> files;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string path = dir.write(names[i], old);
            files.push_back(AtomicFile::Create(path));
            const Bytes fresh = PatternBytes(200'000, uint32_t(10 + i));
            files.back().stream().writeAll(fresh.data(), fresh.size());
            if (int(i) == failing) {
                fs::remove(path);
                fs::create_directory(path);
            }
        }
        bool reported = false;
        try {
            CommitQueue queue(2);
            for (AtomicFile& file : files)
                queue.Add(std::move(file));
            queue.Finish();
        } catch (const StreamWriteError&) {
            reported = true;
        }
        EXPECT_EQ(reported, failing >= 0);
        for (int i = 0; i < int(names.size()); ++i) {
            const std::string path = dir.file(names[i]);
            if (i == failing)
                EXPECT_TRUE(fs::is_directory(path) && fs::is_empty(path));
            else if (failing >= 0 && i > failing)
                EXPECT_TRUE(ReadFileBytes(path) == old) << names[i] << " changed";
            else
                EXPECT_TRUE(ReadFileBytes(path) == PatternBytes(200'000, uint32_t(10 + i)))
                    << names[i] << " is not new";
        }
        EXPECT_EQ(std::size_t(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator())),
                  names.size())
            << "a temporary name was left";
    }
}

// Files made through the queue into one folder look at it once, and still
// sweep what a killed writer of the same user left beside their names (a
// long name's temporary names keep only its start), never another user's.
TEST(CommitQueue, FilesOfOneFolderStillSweepTheirOwnLeftovers) {
    TempDir dir;
    const std::string user = std::to_string(::geteuid());
    const std::string longName = std::string(236, 'n') + ".mp3";
    const std::vector<std::string> names = {"a.mp3", "b.mp3", longName};
    const std::vector<std::string> own = {"b.mp3.tindrel-" + user + "-0", "b.mp3.tindrel-" + user + "-j",
                                          longName.substr(0, 205) + ".tindrel-" + user + "-2"};
    const std::string others = "a.mp3.tindrel-" + std::to_string(::geteuid() + 1) + "-0";
    for (const std::string& name : names)
        dir.write(name, PatternBytes(300, 1));
    for (const std::string& name : own)
        dir.write(name, PatternBytes(50, 2));
    dir.write(others, PatternBytes(50, 3));
    {
        CommitQueue queue;
        for (std::size_t i = 0; i < names.size(); ++i) {
            AtomicFile file = queue.Create(dir.file(names[i]));
            const Bytes fresh = PatternBytes(1000, uint32_t(10 + i));
            file.stream().writeAll(fresh.data(), fresh.size());
            queue.Add(std::move(file));
        }
        queue.Finish();
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_TRUE(ReadFileBytes(dir.file(names[i])) == PatternBytes(1000, uint32_t(10 + i))) << names[i];
    for (const std::string& name : own)
        EXPECT_FALSE(fs::exists(dir.file(name))) << name << " was not swept";
    EXPECT_TRUE(fs::exists(dir.file(others)));
}

} // namespace
} // namespace tindrel
