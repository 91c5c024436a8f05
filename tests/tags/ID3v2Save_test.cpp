// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tags/ID3v2.h"

#include "platform/EditLock.h"

#include "tests/support/FaultInjection.h"
#include "tests/tags/TagTestFiles.h"

#include <gtest/gtest.h>

#include <thread>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tindrel {
namespace {

using namespace std::string_literals;
using test::Bytes;
using test::Concat;
using test::CopySample;
using test::FileExists;
using test::FileMode;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;
using test::ToBytes;

TID3v2 FullTag() {
    TID3v2 tag;
    tag.SetTitle("Caf\xc3\xa9 Title");
    tag.SetArtist("The Artist");
    tag.SetAlbum("The Album");
    tag.SetTrack(12);
    tag.SetYear("1987");
    tag.SetGenre("Jazz");
    tag.SetComment("a comment");
    return tag;
}

TEST(ID3v2BuildTag, WritesOnlyTheFramesThatHoldText) {
    TID3v2 tag;
    EXPECT_EQ(tag.BuildTag(), "ID3\3\0\0\0\0\0\0"s);
    tag.SetTitle("abc");
    EXPECT_EQ(tag.BuildTag(), "ID3\3\0\0\0\0\0\x0e"
                              "TIT2\0\0\0\4\0\0\0abc"s);
    tag.SetTitle("");
    tag.SetTrack(7);
    tag.SetComment("hi");
    EXPECT_EQ(tag.BuildTag(), "ID3\3\0\0\0\0\0\x1d"
                              "TRCK\0\0\0\2\0\0\0"
                              "7"
                              "COMM\0\0\0\7\0\0\0eng\0hi"s);
}

// Text beyond Latin-1 goes into UTF-16 with its byte-order mark; the rest of
// the tag keeps the Latin-1 bytes above.
TEST(ID3v2BuildTag, TextBeyondLatin1IsWrittenAsUtf16) {
    TID3v2 tag;
    tag.SetTitle("Zo\xc3\xab \xe2\x82\xac");
    tag.SetComment("\xe6\x9d\xb1");
    tag.SetAlbum("Caf\xc3\xa9");
    EXPECT_EQ(tag.BuildTag(), "ID3\3\0\0\0\0\0\x3c"
                              "TIT2\0\0\0\x0d\0\0\x01\xff\xfeZ\0o\0\xeb\0 \0\xac\x20"
                              "TALB\0\0\0\x05\0\0\0Caf\xe9"
                              "COMM\0\0\0\x0c\0\0\x01"
                              "eng\xff\xfe\0\0\xff\xfe\x71\x67"s);
}

TEST(ID3v2BuildTag, SizesAboveSevenBitsAreSynchsafe) {
    TID3v2 tag;
    tag.SetAlbum(std::string(200, 'a')); // frame of 211 bytes
    const std::string built = tag.BuildTag();
    EXPECT_EQ(built.substr(6, 4), "\0\0\x01\x53"s); // 211 = 1 * 128 + 83
    EXPECT_EQ(built.substr(14, 4), "\0\0\0\xc9"s);  // frame sizes are plain: 201
    EXPECT_EQ(built.size(), 221u);
}

TEST(ID3v2Setters, TrimTrailingControlBytesOnly) {
    TID3v2 tag;
    tag.SetTitle("  title \t\n\0"s);
    tag.SetComment(std::string(600, 'c') + "   ");
    EXPECT_EQ(tag.Title(), "  title");
    EXPECT_EQ(tag.Comment(), std::string(600, 'c'));
}

TEST(ID3v2Save, RoundTripsEveryField) {
    TempDir dir;
    const std::string path = CopySample(dir, "plain.mp3");
    ASSERT_TRUE(FullTag().Save(path));
    TID3v2 back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back.MajorVersion(), 3);
    EXPECT_EQ(back.Title(), "Caf\xc3\xa9 Title");
    EXPECT_EQ(back.Artist(), "The Artist");
    EXPECT_EQ(back.Album(), "The Album");
    EXPECT_EQ(back.Track(), 12);
    EXPECT_EQ(back.Year(), "1987");
    EXPECT_EQ(back.Genre(), "Jazz");
    EXPECT_EQ(back.Comment(), "a comment");
}

TEST(ID3v2Save, ReplacesTheOldTagAndKeepsTheAudio) {
    struct Case {
        const char* sample;
        std::size_t oldTagSize;
    };
    // A version 2.4 tag with padding, a version 2.3 tag, and no tag at all.
    const Case cases[] = {{"mid3v2-v24.mp3", 8 * 128 + 0x35 + 10}, {"id3v2-tool.mp3", 585}, {"plain.mp3", 0}};
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = CopySample(dir, c.sample);
        const Bytes before = ReadFileBytes(path);
        TID3v2 tag;
        ASSERT_TRUE(tag.Load(path));
        tag.SetTitle("new");
        ASSERT_TRUE(tag.Save(path)) << c.sample;
        EXPECT_EQ(tag.TagSize(), int32_t(c.oldTagSize)) << "Save leaves the object's header fields";
        const Bytes expected =
            Concat(ToBytes(tag.BuildTag()), Bytes(before.begin() + long(c.oldTagSize), before.end()));
        EXPECT_EQ(ReadFileBytes(path), expected) << c.sample;
        EXPECT_FALSE(FileExists(path + "~")) << c.sample;
    }
}

TEST(ID3v2Save, ATagDeclaredPastTheEndStaysBehindTheNewOne) {
    TempDir dir;
    const Bytes old = Concat(ToBytes("ID3\3\0\0\0\0\1\0"s), PatternBytes(100, 3)); // declares 128 bytes
    const std::string path = dir.write("f", old);
    TID3v2 tag;
    tag.SetTitle("abc");
    ASSERT_TRUE(tag.Save(path));
    EXPECT_EQ(ReadFileBytes(path), Concat(ToBytes(tag.BuildTag()), old));
}

TEST(ID3v2Save, KeepsThePermissionBits) {
    TempDir dir;
    const std::pair<unsigned, unsigned> cases[] = {{0640, 0640}, {0600, 0600}, {0755, 0755}, {0444, 0644}};
    for (const auto& [before, after] : cases) {
        const std::string path = CopySample(dir, "plain.mp3");
        ASSERT_EQ(::chmod(path.c_str(), before), 0);
        ASSERT_TRUE(FullTag().Save(path));
        EXPECT_EQ(FileMode(path), after) << std::oct << before;
    }
}

// The new file is made without a name, so nothing planted beside the file
// is followed, and nothing there that Tindrel did not make is removed.
TEST(ID3v2Save, LeavesTheNamesBesideTheFileAlone) {
    TempDir dir;
    const std::string path = CopySample(dir, "plain.mp3");
    const Bytes elsewhere = PatternBytes(50, 4);
    const std::string other = dir.write("other", elsewhere);
    ASSERT_EQ(::symlink(other.c_str(), (path + "~").c_str()), 0);
    const std::string backup = dir.write("plain.mp3.bak~", PatternBytes(30, 5));
    ASSERT_TRUE(FullTag().Save(path));
    EXPECT_EQ(ReadFileBytes(other), elsewhere);
    EXPECT_EQ(ReadFileBytes(backup), PatternBytes(30, 5));
    struct stat st {};
    EXPECT_EQ(::lstat((path + "~").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// Another user who may write the folder plants links to a file of theirs
// under every name a save could use, all through 200 saves: no save writes
// through one, and the file stays a file.
TEST(ID3v2Save, LinksPlantedBesideTheFileAreNeverFollowed) {
    TempDir dir;
    const std::string path = CopySample(dir, "plain.mp3");
    const std::string victim = dir.write("victim", PatternBytes(40, 6));
    std::vector<std::string> names = {path + "~"};
    for (const char* slot : {"0", "1", "2", "3", "j"})
        names.push_back(path + ".tindrel-" + std::to_string(::geteuid()) + "-" + slot);
    std::atomic<bool> done{false};
    std::thread planter([&] {
        while (!done)
            for (const std::string& name : names)
                (void)::symlink(victim.c_str(), name.c_str());
    });
    int saved = 0;
    for (int i = 0; i < 200; ++i) {
        TID3v2 tag = FullTag();
        tag.SetTitle("take " + std::to_string(i));
        saved += tag.Save(path) ? 1 : 0;
    }
    done = true;
    planter.join();
    EXPECT_GT(saved, 0);
    EXPECT_EQ(ReadFileBytes(victim), PatternBytes(40, 6));
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(ID3v2Save, ThroughASymbolicLinkRebuildsTheFileItPointsTo) {
    TempDir dir;
    const std::string real = CopySample(dir, "plain.mp3");
    const Bytes audio = ReadFileBytes(real);
    const std::string link = dir.file("link.mp3");
    ASSERT_EQ(::symlink("plain.mp3", link.c_str()), 0);
    ASSERT_TRUE(FullTag().Save(link));
    EXPECT_EQ(ReadFileBytes(real), Concat(ToBytes(FullTag().BuildTag()), audio));
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_FALSE(FileExists(link + "~"));
    EXPECT_FALSE(FileExists(real + "~"));
}

// Every refused save leaves the file, its mode and the folder as they were.
class ID3v2SaveRefused : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = CopySample(m_dir, "id3v2-tool.mp3");
        ASSERT_EQ(::chmod(m_path.c_str(), 0444), 0);
        m_before = ReadFileBytes(m_path);
    }
    void ExpectUntouched() {
        EXPECT_EQ(ReadFileBytes(m_path), m_before);
        EXPECT_EQ(FileMode(m_path), 0444u);
        EXPECT_FALSE(FileExists(m_path + "~"));
    }

    TempDir m_dir;
    std::string m_path;
    Bytes m_before;
};

TEST_F(ID3v2SaveRefused, WhileAnotherHolderHasTheFileLocked) {
    test::ExclusiveLock lock(m_path);
    EXPECT_FALSE(FullTag().Save(m_path));
    ExpectUntouched();
}

TEST_F(ID3v2SaveRefused, WhenTheNewFileCannotBeWrittenCompletely) {
    {
        test::FileSizeLimit limit(1000); // the sample is 2,176 bytes
        EXPECT_FALSE(FullTag().Save(m_path));
    }
    ExpectUntouched();
}

TEST_F(ID3v2SaveRefused, InAReadOnlyFolder) {
    const std::vector<std::string> owned = {m_dir.path(), m_path};
    auto save = [&] { return FullTag().Save(m_path); };
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0555), 0);
    const std::optional<bool> readOnly = test::RunAsOrdinaryUser(owned, save);
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0755), 0);
    if (!readOnly)
        GTEST_SKIP() << "this root may not become an ordinary user";
    EXPECT_FALSE(*readOnly);
    ExpectUntouched();
    // The same user in the same folder made writable again saves the tag.
    EXPECT_EQ(test::RunAsOrdinaryUser(owned, save), std::optional<bool>(true));
    EXPECT_NE(ReadFileBytes(m_path), m_before);
    EXPECT_FALSE(FileExists(m_path + "~"));
}

// A record lock (fcntl or lockf), which many programs take instead of
// flock, is honoured too; the lock is taken by another process, as it would
// be by another program.
TEST_F(ID3v2SaveRefused, WhileAnotherProgramHoldsARecordLock) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(m_path.c_str(), O_RDONLY);
        struct flock lock {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        const char done = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &done, 1);
        ::pause();
        ::_exit(0);
    }
    char done = 0;
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    ASSERT_EQ(done, 'y');
    TID3v2 tag = FullTag();
    EXPECT_FALSE(tag.Save(m_path));
    EXPECT_EQ(tag.LastError(), "Another program holds the file locked.");
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    ExpectUntouched();
}

// Another user's file that this user may not write stays theirs, even in a
// folder this user may write.
TEST_F(ID3v2SaveRefused, ForAnotherUsersFile) {
    ASSERT_EQ(::chmod(m_path.c_str(), 0644), 0);
    const std::optional<bool> saved = test::RunAsOrdinaryUser({m_dir.path()}, [&] { return FullTag().Save(m_path); });
    if (!saved || ::geteuid() != 0)
        GTEST_SKIP() << "needs root that may become an ordinary user";
    EXPECT_FALSE(*saved);
    EXPECT_EQ(ReadFileBytes(m_path), m_before);
    struct stat st {};
    ASSERT_EQ(::stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
}

TEST_F(ID3v2SaveRefused, ForAMissingOrTooShortFile) {
    EXPECT_FALSE(FullTag().Save(m_dir.file("missing")));
    EXPECT_FALSE(FileExists(m_dir.file("missing")));
    EXPECT_FALSE(FileExists(m_dir.file("missing~")));
    const std::string shortFile = m_dir.write("short", PatternBytes(9, 2));
    EXPECT_FALSE(FullTag().Save(shortFile));
    EXPECT_EQ(ReadFileBytes(shortFile), PatternBytes(9, 2));
    ExpectUntouched();
}

} // namespace
} // namespace tindrel

namespace tindrel {
namespace {

// Two editors of one file, each in its own process and each changing its
// own field 500 times, read, change and save under the edit lock: neither
// ever finds the value it last saved undone by the other.
// The file is in memory where the system has such a folder, so that the
// thousand flushes of the saves cost nothing.
TEST(ID3v2Save, TwoEditorsUnderTheEditLockLoseNoUpdate) {
    std::string folder = "/dev/shm/tindrel-test-XXXXXX";
    const TempDir fallback;
    if (::access("/dev/shm", W_OK) != 0 || !::mkdtemp(folder.data())) {
        folder = fallback.path() + "/editors";
        std::filesystem::create_directory(folder);
    }
    const std::string path = folder + "/plain.mp3";
    std::filesystem::copy_file(test::TestDataDir() + "/tags/plain.mp3", path);
    struct Remove {
        std::string folder;
        ~Remove() { std::filesystem::remove_all(folder); }
    } remove{folder};
    const auto edit = [&path](bool title) {
        int lost = 0;
        std::string saved;
        for (int round = 0; round < 500; ++round) {
            const EditLock lock = EditLock::Acquire(path);
            TID3v2 tag;
            tag.Load(path);
            lost += (title ? tag.Title() : tag.Artist()) != saved ? 1 : 0;
            const std::string next = std::to_string(round);
            title ? tag.SetTitle(next) : tag.SetArtist(next);
            if (tag.Save(path))
                saved = next;
        }
        return lost;
    };
    pid_t editors[2];
    for (int i = 0; i < 2; ++i) {
        editors[i] = ::fork();
        if (editors[i] == 0)
            ::_exit(std::min(edit(i == 0), 100));
    }
    for (const pid_t editor : editors) {
        int status = 0;
        ASSERT_EQ(::waitpid(editor, &status, 0), editor);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "updates saved and then lost";
    }
    TID3v2 tag;
    ASSERT_TRUE(tag.Load(path));
    EXPECT_EQ(tag.Title(), "499");
    EXPECT_EQ(tag.Artist(), "499");
}

} // namespace
} // namespace tindrel
