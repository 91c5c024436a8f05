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

} // namespace
} // namespace tindrel
