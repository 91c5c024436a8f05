// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// Every writer of the tool run as root into a sticky folder that another
// user (nobody, 65534) shares, as /tmp is shared, while that user plants
// links, hard links, pipes and files of its own at every name the writer
// uses: the output or piece names, the tag target, and the temporary and
// journal names beside them. Whatever is planted, no file outside the
// folder changes, no secret is disclosed to that user, no output is
// set-ID or the other user's, nothing hangs, and nothing of the other
// user's is removed.
#include "tests/cli/RunProgram.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <poll.h>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tindrel {
namespace {

using test::Bytes;
using test::ProgramResult;

constexpr uid_t kOther = 65534;
// Longer than an ID3v1 block, so that a tag save would take it for a file.
const std::string kSecret = [] {
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "root's secret, never to be shown to anybody else " + std::to_string(i) + "\n";
    return text;
}();
const std::string kPlanted = "planted by another user";

// Runs plant as the other user in a child process; true when it ran.
bool asOtherUser(const std::function<void()>& plant) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(kOther) != 0 || ::setuid(kOther) != 0)
            ::_exit(2);
        plant();
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void writeText(const std::string& path, const std::string& text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, mode);
    if (fd >= 0) {
        (void)!::write(fd, text.data(), text.size());
        ::fchmod(fd, mode);
        ::close(fd);
    }
}

std::string readText(const std::string& path) {
    const Bytes bytes = test::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

struct Writer {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> outputs; // the names it writes in the shared folder
};

enum class Plant { LinkToSecret, LinkToSetID, HardLinkToSecret, Pipe, File };
const Plant kPlants[] = {Plant::LinkToSecret, Plant::LinkToSetID, Plant::HardLinkToSecret, Plant::Pipe, Plant::File};

class SharedFolderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (::geteuid() != 0)
            return;
        s_sources = new test::TempDir;
        ::chmod(s_sources->path().c_str(), 0755);
        // Two pauses, so that the pauses split writes pieces too.
        s_source = test::MakeMp3(s_sources->path(), "talk.mp3",
                                 {{test::Sound::Tone, 1.2},
                                  {test::Sound::Zero, 0.8},
                                  {test::Sound::Tone, 1.2},
                                  {test::Sound::Zero, 0.8},
                                  {test::Sound::Tone, 1.2}});
        const std::string sheet = "FILE \"talk.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                                  "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:02:00\n";
        s_sheet = s_sources->write("talk.cue", Bytes(sheet.begin(), sheet.end()));
    }
    static void TearDownTestSuite() {
        delete s_sources;
        s_sources = nullptr;
    }

    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "planting files as another user needs root (the CI runs as root)";
        ASSERT_FALSE(s_source.empty()) << "sox and lame made no source";
        ::chmod(dir.path().c_str(), 0755);
        shared = dir.file("shared");
        ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
        ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        secret = dir.file("secret");
        setID = dir.file("setid-program");
        song = shared + "/song.mp3";
    }

    std::vector<Writer> writers() const {
        const std::string& src = s_source;
        const std::vector<std::string> parts = {"talk_chunk_1.mp3", "talk_chunk_2.mp3"};
        const std::vector<std::string> pauses = {"talk_chunk_1.mp3", "talk_chunk_2.mp3", "talk_chunk_3.mp3"};
        return {
            {"join", {"join", "--force", "-o", shared + "/all.mp3", src, src}, {"all.mp3"}},
            {"cut", {"split", src, "--end", "00:01.000", "-o", shared + "/cut.mp3", "--force"}, {"cut.mp3"}},
            {"parts", {"split", src, "--parts", "2", "-d", shared}, parts},
            {"exact", {"split", src, "--parts", "2", "--exact", "-d", shared}, parts},
            {"pauses", {"split", src, "--silences", "-d", shared}, pauses},
            {"CUE", {"split", src, "--cue", s_sheet, "-d", shared}, {"01 - One.mp3", "02 - Two.mp3"}},
            {"ID3v1 tag", {"tag", song, "--v1-title", "One"}, {"song.mp3"}},
            {"ID3v2 tag", {"tag", song, "--v2-title", "Two"}, {"song.mp3"}},
            {"both tags", {"tag", song, "--v1-title", "One", "--v2-title", "Two"}, {"song.mp3"}},
        };
    }

    // The names a writer of output uses beside it.
    static std::vector<std::string> besideNames(const std::string& output) {
        return {output + ".tindrel-0-0", output + ".tindrel-0-1", output + ".tindrel-0-j"};
    }

    // A fresh shared folder holding root's own song to tag, and root's
    // files as they were.
    void clearShared() {
        for (const std::string& file : {secret, setID})
            ::unlink(file.c_str());
        writeText(secret, kSecret, 0600);
        writeText(setID, "#!/bin/sh\n", 04755);
        std::filesystem::remove_all(shared);
        ASSERT_EQ(::mkdir(shared.c_str(), 0777), 0);
        ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
        std::filesystem::copy_file(s_source, song);
    }

    // Plants kind at each name (relative to the shared folder), remembering
    // what the other user made.
    void plant(Plant kind, const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            const std::string path = shared + "/" + name;
            ::unlink(path.c_str()); // root's song gives way to the plant
            if (kind == Plant::HardLinkToSecret) {
                // Where the kernel does not guard hard links (containers,
                // other systems) the other user makes this one; here root
                // makes it in its place.
                ASSERT_EQ(::link(secret.c_str(), path.c_str()), 0) << path;
                continue;
            }
            ASSERT_TRUE(asOtherUser([&] {
                if (kind == Plant::LinkToSecret && ::symlink(secret.c_str(), path.c_str()) != 0)
                    ::_exit(1);
                if (kind == Plant::LinkToSetID && ::symlink(setID.c_str(), path.c_str()) != 0)
                    ::_exit(1);
                if (kind == Plant::Pipe && ::mkfifo(path.c_str(), 0666) != 0)
                    ::_exit(1);
                if (kind == Plant::File)
                    writeText(path, kPlanted, 0666);
            })) << path;
            struct stat st {};
            ASSERT_EQ(::lstat(path.c_str(), &st), 0) << path;
            planted[path] = st.st_ino;
        }
    }

    // What the other user may read in the shared folder.
    std::string readableByOther() const {
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            if (::setgid(kOther) != 0 || ::setuid(kOther) != 0)
                ::_exit(2);
            for (const auto& entry : std::filesystem::directory_iterator(shared)) {
                const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
                char buffer[65536];
                for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0;)
                    (void)!::write(fds[1], buffer, std::size_t(got));
                if (fd >= 0)
                    ::close(fd);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        std::string seen;
        char buffer[65536];
        for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            seen.append(buffer, std::size_t(got));
        ::close(fds[0]);
        ::waitpid(child, nullptr, 0);
        return seen;
    }

    void expectNothingGivenAway(const std::string& what, bool plantsChurn = false) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(readText(secret) == kSecret) << "the secret was changed";
        EXPECT_TRUE(readText(setID) == "#!/bin/sh\n") << "the set-ID program was changed";
        struct stat st {};
        ASSERT_EQ(::stat(secret.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        ASSERT_EQ(::stat(setID.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 04755u);
        for (const auto& [path, inode] : planted) {
            EXPECT_TRUE(plantsChurn || (::lstat(path.c_str(), &st) == 0 && st.st_ino == inode))
                << path << ": the other user's file was removed";
        }
        for (const auto& entry : std::filesystem::directory_iterator(shared)) {
            const std::string path = entry.path().string();
            ASSERT_EQ(::lstat(path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & (S_ISUID | S_ISGID), 0u) << path << " is set-ID";
            if (st.st_uid == kOther && S_ISREG(st.st_mode)) {
                EXPECT_TRUE(readText(path) == kPlanted) << path << " was written for the other user";
            }
        }
        EXPECT_EQ(readableByOther().find(kSecret), std::string::npos) << "the secret was disclosed";
    }

    test::TempDir dir;
    std::string shared, secret, setID, song;
    std::map<std::string, ino_t> planted;
    static test::TempDir* s_sources;
    static std::string s_source, s_sheet;
};

test::TempDir* SharedFolderTest::s_sources = nullptr;
std::string SharedFolderTest::s_source;
std::string SharedFolderTest::s_sheet;

// Each writer against each kind of plant, first at its output names and
// then at the names it uses beside them.
TEST_F(SharedFolderTest, NoWriterHandsAFileToAnotherUser) {
    for (const Writer& writer : writers()) {
        for (const Plant kind : kPlants) {
            for (const bool beside : {false, true}) {
                clearShared();
                planted.clear();
                std::vector<std::string> names;
                for (const std::string& output : writer.outputs) {
                    const std::vector<std::string> more = beside ? besideNames(output) : std::vector{output};
                    names.insert(names.end(), more.begin(), more.end());
                }
                plant(kind, names);
                const ProgramResult r = test::RunCliProgram(writer.args);
                const std::string what = std::string(writer.name) + ", plant " + std::to_string(int(kind)) +
                                         (beside ? " beside" : " at the output") + ": " + r.err;
                EXPECT_LT(r.status, 128) << what;
                expectNothingGivenAway(what);
                // Another user's file at the name is refused with that reason.
                if (!beside && kind != Plant::HardLinkToSecret && kind != Plant::Pipe && writer.outputs.size() == 1) {
                    EXPECT_EQ(r.status, 1) << what;
                }
            }
        }
    }
}

// The other user plants, removes and plants again at every name as fast as
// it can while the writers run.
TEST_F(SharedFolderTest, APlantingLoopRacingTheWritersGetsNothing) {
    clearShared();
    std::vector<std::string> names;
    for (const Writer& writer : writers())
        for (const std::string& output : writer.outputs)
            for (const std::string& name : besideNames(output))
                names.push_back(shared + "/" + name);
    for (const char* output : {"all.mp3", "cut.mp3", "talk_chunk_1.mp3", "01 - One.mp3"})
        names.push_back(shared + "/" + output);
    int stop[2];
    ASSERT_EQ(::pipe(stop), 0);
    const pid_t planter = ::fork();
    if (planter == 0) {
        ::close(stop[1]);
        if (::setgid(kOther) != 0 || ::setuid(kOther) != 0)
            ::_exit(2);
        pollfd done{stop[0], POLLIN, 0};
        for (unsigned round = 0; ::poll(&done, 1, 0) == 0; ++round) {
            for (const std::string& name : names) {
                ::unlink(name.c_str());
                switch (round % 3) {
                case 0:
                    (void)::symlink((round & 4 ? setID : secret).c_str(), name.c_str());
                    break;
                case 1:
                    (void)::mkfifo(name.c_str(), 0666);
                    break;
                default:
                    writeText(name, kPlanted, 0666);
                }
            }
        }
        ::_exit(0);
    }
    ::close(stop[0]);
    for (int pass = 0; pass < 4; ++pass) {
        for (const Writer& writer : writers()) {
            const ProgramResult r = test::RunCliProgram(writer.args);
            EXPECT_LT(r.status, 128) << writer.name << ": " << r.err;
            // Root's outputs make way, so that the planter races every run.
            for (const std::string& output : writer.outputs) {
                struct stat st {};
                const std::string path = shared + "/" + output;
                if (path != song && ::lstat(path.c_str(), &st) == 0 && st.st_uid == 0)
                    ::unlink(path.c_str());
            }
        }
    }
    ::close(stop[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(planter, &status, 0), planter);
    expectNothingGivenAway("racing", true);
}

} // namespace
} // namespace tindrel
