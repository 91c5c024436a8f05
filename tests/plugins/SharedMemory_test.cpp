// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/SharedMemory.h"

#include "engine/BassApi.h"
#include "plugins/AppExec.h"
#include "plugins/WindowLink.h"
#include "tests/plugins/PluginFixture.h"

#include <QThread>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tindrel {
namespace {

std::string uniqueName(const std::string& stem) {
    return "TindrelTest" + stem + std::to_string(::getpid());
}

// Exit code of the probe process creating the block `name`. A plain fork and
// exec, which the thread sanitizer follows (a vfork-style spawn it does not).
int probeProcess(const std::string& name, int size) {
    const std::string sizeText = std::to_string(size);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(TINDREL_SHARED_MEMORY_PROBE, "shared_memory_probe", name.c_str(), sizeText.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The permissions column of /proc/self/maps for the mapping at address.
std::string protection(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto at = reinterpret_cast<uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        uintptr_t from = 0, to = 0;
        char perms[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &from, &to, perms) == 3 && at >= from && at < to)
            return perms;
    }
    return {};
}

TEST(SharedMemory, OnlyTheFirstCreatorGetsTheBlock) {
    FakeDialogs dialogs;
    TSharedMemory memory(dialogs);
    memory.SetShareName(uniqueName("Block"));
    memory.SetSize(kVisBlockSize);
    ASSERT_TRUE(memory.OpenMapping());
    void* view = memory.MapView();
    ASSERT_NE(view, nullptr);
    std::memset(view, 0x5A, kVisBlockSize);

    EXPECT_EQ(probeProcess(memory.ShareName(), kVisBlockSize), 1); // the second creator: false, no view
    EXPECT_TRUE(memory.UnmapView(view));
    memory.CloseHandles();
    EXPECT_FALSE(memory.HasMapping());
    EXPECT_EQ(memory.MapView(), nullptr);
    EXPECT_FALSE(memory.UnmapView(view));
    EXPECT_EQ(probeProcess(memory.ShareName(), kVisBlockSize), 0); // the name went with its creator
}

TEST(SharedMemory, ABlockLeftByAKilledCreatorIsTakenOver) {
    const std::string name = uniqueName("Stale");
    // A creator that ends without closing anything, as a killed one does.
    const pid_t child = ::fork();
    if (child == 0) {
        FakeDialogs dialogs;
        TSharedMemory memory(dialogs);
        memory.SetShareName(name);
        memory.SetSize(kVisBlockSize);
        ::_exit(memory.OpenMapping() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string left = "/dev/shm/" + name;
    ASSERT_EQ(::access(left.c_str(), F_OK), 0) << "the killed creator left no name";
    {
        // Only a block a few seconds old is taken for stale: its creator
        // might still be about to lock a newer one.
        FakeDialogs dialogs;
        TSharedMemory early(dialogs);
        early.SetShareName(name);
        early.SetSize(kVisBlockSize);
        EXPECT_FALSE(early.OpenMapping());
        EXPECT_EQ(::access(left.c_str(), F_OK), 0);
    }
    const timespec aMinuteAgo[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, left.c_str(), aMinuteAgo, 0), 0);

    FakeDialogs dialogs;
    TSharedMemory memory(dialogs);
    memory.SetShareName(name);
    memory.SetSize(kVisBlockSize);
    EXPECT_TRUE(memory.OpenMapping());
    EXPECT_TRUE(memory.HasMutex());
    // Now held by a live creator, the block is refused to the next one.
    EXPECT_EQ(probeProcess(name, kVisBlockSize), 1);
    memory.CloseHandles();
    EXPECT_NE(::access(left.c_str(), F_OK), 0);
}

TEST(SharedMemory, ACreatorRemovesOnlyItsOwnName) {
    const std::string name = uniqueName("Own");
    const std::string path = "/dev/shm/" + name;
    FakeDialogs dialogs;
    TSharedMemory first(dialogs), second(dialogs);
    for (TSharedMemory* memory : {&first, &second}) {
        memory->SetShareName(name);
        memory->SetSize(kVisBlockSize);
    }
    ASSERT_TRUE(first.OpenMapping());
    // As when another process has taken the first block for a stale one.
    ASSERT_EQ(::shm_unlink(("/" + name).c_str()), 0);
    ASSERT_TRUE(second.OpenMapping());
    first.CloseHandles();
    EXPECT_EQ(::access(path.c_str(), F_OK), 0) << "the first creator removed the second one's name";
    second.CloseHandles();
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
    EXPECT_NE(::access(("/dev/shm/sem." + name + "_SMMutex").c_str(), F_OK), 0) << "the mutex name stayed";
}

TEST(SharedMemory, AReadOnlyViewCannotBeWritten) {
    FakeDialogs dialogs;
    TSharedMemory memory(dialogs);
    memory.SetShareName(uniqueName("ReadOnly"));
    memory.SetSize(4096);
    ASSERT_TRUE(memory.OpenMapping());
    void* writable = memory.MapView();
    memory.SetReadOnly(true);
    void* readable = memory.MapView();
    ASSERT_TRUE(writable && readable);
    EXPECT_EQ(protection(writable).substr(0, 2), "rw");
    EXPECT_EQ(protection(readable).substr(0, 2), "r-");
    memory.UnmapView(writable);
    memory.UnmapView(readable);
}

TEST(SharedMemory, TheNoticeReachesTheTargetWindowOrWarnsWhenAsked) {
    FakeDialogs dialogs;
    TSharedMemory memory(dialogs);
    memory.SetShareName(uniqueName("Notice"));
    memory.SetSize(16);
    const std::string target = uniqueName("VisOut");
    memory.SetTargetApplication(target);
    memory.SetMsgOutOnErr(true);
    memory.NotifyTarget(10, kVisBlockSize); // no mutex yet: nothing at all
    EXPECT_TRUE(dialogs.messages().empty());
    ASSERT_TRUE(memory.OpenMapping());

    memory.NotifyTarget(10, kVisBlockSize);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].caption, "Warning...");
    EXPECT_EQ(dialogs.messages()[0].text.toStdString(), "The application : [" + target +
                                                            "] is not active on your system.\n"
                                                            "The notification message has not been sent.");
    {
        NamedWindow window("TApplication", target);
        ASSERT_TRUE(window.Listening());
        memory.NotifyTarget(10, kVisBlockSize);
        const std::optional<TWindowMessage> received = window.Receive();
        ASSERT_TRUE(received);
        EXPECT_EQ(received->msg, memory.SendingDataMsg());
        EXPECT_EQ(received->wParam, 10u);
        EXPECT_EQ(received->lParam, kVisBlockSize);
        EXPECT_FALSE(window.Receive());
        EXPECT_EQ(memory.TargetWindow(), WindowAddress("TApplication", target));
    }
    memory.SetTargetApplication("");
    dialogs.clear();
    memory.NotifyTarget(10, kVisBlockSize);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST(WindowLink, RegisteredMessagesAreStableNumbersPerName) {
    const uint32_t sending = RegisterWindowMessage("WM_SendingData");
    EXPECT_EQ(sending, RegisterWindowMessage("WM_SendingData"));
    EXPECT_NE(sending, RegisterWindowMessage("WM_RequestingData"));
    for (const char* name : {"WM_SendingData", "WM_RequestingData", ""}) {
        EXPECT_GE(RegisterWindowMessage(name), 0xC000u);
        EXPECT_LE(RegisterWindowMessage(name), 0xFFFFu);
    }
    // A title cannot lead the window's address out of its folder.
    EXPECT_EQ(WindowAddress("TApplication", "../x").find("/../"), std::string::npos);
}

// Without a runtime folder the windows live in tindrel-UID of the shared
// temporary folder, which someone else may have made first.
TEST(WindowLink, TheFallbackFolderIsUsedOnlyWhenItIsOurOwnPrivateFolder) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedRuntime = runtime ? runtime : "";
    const char* tmp = std::getenv("TMPDIR");
    const std::string savedTmp = tmp ? tmp : "";
    test::TempDir temp;
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", temp.path().c_str(), 1);
    const std::string folder = temp.path() + "/tindrel-" + std::to_string(::getuid());
    const std::string elsewhere = temp.file("elsewhere");
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    const struct {
        const char* what;
        std::function<void()> make;
        bool usable;
    } cases[] = {
        {"made by us", [] {}, true},
        {"open to others", [&] { ::mkdir(folder.c_str(), 0700), ::chmod(folder.c_str(), 0777); }, false},
        {"a link", [&] { ::symlink(elsewhere.c_str(), folder.c_str()); }, false},
    };
    for (const auto& c : cases) {
        ::rmdir(folder.c_str());
        ::unlink(folder.c_str());
        c.make();
        NamedWindow window("TApplication", uniqueName("Fallback"));
        EXPECT_EQ(window.Listening(), c.usable) << c.what;
        EXPECT_EQ(FindWindow("TApplication", uniqueName("Fallback")).has_value(), c.usable) << c.what;
    }
    if (savedRuntime.empty())
        ::unsetenv("XDG_RUNTIME_DIR");
    else
        ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    if (savedTmp.empty())
        ::unsetenv("TMPDIR");
    else
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
}

TEST(AppExec, ThePathKeepsNoFinalSeparatorExceptAtARoot) {
    const struct {
        const char *set, *kept;
    } cases[] = {
        {"/", "/"}, {"C:/", "C:/"}, {"D:/Apps/", "D:/Apps"}, {"/opt/vis/", "/opt/vis"}, {"/opt/vis", "/opt/vis"},
        {"", ""}};
    for (const auto& c : cases) {
        TAppExec exec;
        exec.SetExePath(c.set);
        EXPECT_EQ(exec.ExePath(), c.kept) << c.set;
    }
    TAppExec exec;
    EXPECT_EQ(exec.ErrNo(), -1);
    EXPECT_EQ(exec.ShowCommand(), 1);
    EXPECT_TRUE(exec.ChangeDir());
    EXPECT_FALSE(exec.Wait());
    const struct {
        TWindowState state;
        uint16_t show;
    } states[] = {{TWindowState::Maximized, 3}, {TWindowState::Minimized, 2}, {TWindowState::Normal, 1}};
    for (const auto& s : states) {
        exec.SetWindowState(s.state);
        EXPECT_EQ(exec.ShowCommand(), s.show);
    }
    std::vector<std::string> params{"-a", "b"};
    exec.SetExeParams(params);
    params.push_back("c");
    EXPECT_EQ(exec.ExeParams(), (std::vector<std::string>{"-a", "b"}));
}

// A user stream of one constant frame, played on the silent device.
DWORD constantFrames(HSTREAM, void* buffer, DWORD length, void* user) {
    const auto* frame = static_cast<const int16_t*>(user);
    auto* out = static_cast<int16_t*>(buffer);
    const int channels = frame[2];
    for (DWORD i = 0; i < length / 2; ++i)
        out[i] = frame[i % channels];
    return length;
}

TEST(VisBlock, RowsCarryTheRateTheSpectrumAndTheHighBytesOfTheSamples) {
    test::SilentEngine engine;
    const struct {
        int16_t frame[3]; // left, right, channel count
        DWORD rate;
        uint8_t left, right;
    } cases[] = {
        {{0x1234, -0x2000, 2}, 44100, 0x12, 0xE0}, {{0x5600, 0, 1}, 22050, 0x56, 0x56}, // mono: both rows alike
    };
    for (const auto& c : cases) {
        const HSTREAM stream = engine.bass.BASS_StreamCreate(c.rate, c.frame[2] == 1 ? BASS_SAMPLE_MONO : 0,
                                                             &constantFrames, const_cast<int16_t*>(c.frame));
        ASSERT_NE(stream, 0u);
        ASSERT_TRUE(engine.bass.BASS_StreamPlay(stream, 0, 0));
        QThread::msleep(150);
        std::vector<uint8_t> block(kVisBlockSize, 0xAA);
        FillVisBlock(engine.bass, stream, block.data());
        engine.bass.BASS_StreamFree(stream);

        int32_t rate = 0, channels = 0;
        std::memcpy(&rate, block.data(), 4);
        std::memcpy(&channels, block.data() + 4, 4);
        EXPECT_EQ(rate, int32_t(c.rate));
        EXPECT_EQ(channels, 2);
        EXPECT_TRUE(std::equal(block.begin() + 8, block.begin() + 584, block.begin() + 584));
        EXPECT_GT(block[8], 0); // a constant signal is all in bin 0
        EXPECT_EQ(std::vector<uint8_t>(block.begin() + 1160, block.begin() + 1736), std::vector<uint8_t>(576, c.left));
        EXPECT_EQ(std::vector<uint8_t>(block.begin() + 1736, block.end()), std::vector<uint8_t>(576, c.right));
    }
}

} // namespace
} // namespace tindrel
