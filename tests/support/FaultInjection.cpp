// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/support/FaultInjection.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tindrel::test {

namespace {

// What a child process does with work: exit 0 when it returned true, 1 when
// it returned false or threw.
[[noreturn]] void ExitWithResultOf(const std::function<bool()>& work) {
    bool done = false;
    try {
        done = work();
    } catch (...) {
    }
    ::_exit(done ? 0 : 1);
}

} // namespace

FileSizeLimit::FileSizeLimit(long long bytes) {
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_oldSoftLimit = limit.rlim_cur;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        throw std::runtime_error("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit() {
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_oldSoftLimit);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_oldHandler);
}

bool RunKilledAfter(const std::function<bool()>& work, std::chrono::microseconds delay) {
    const pid_t child = ::fork();
    if (child == 0)
        ExitWithResultOf(work);
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<bool> RunAsOrdinaryUser(const std::vector<std::string>& owned, const std::function<bool()>& work) {
    if (::geteuid() != 0) {
        try {
            return work();
        } catch (...) {
            return false;
        }
    }
    constexpr uid_t kNobody = 65534;
    auto giveTo = [&](uid_t user) {
        bool all = true;
        for (const std::string& path : owned)
            all = ::chown(path.c_str(), user, user) == 0 && all;
        return all;
    };
    std::optional<bool> result;
    if (giveTo(kNobody)) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(2);
            // A temporary folder inside one only root may enter (a TMPDIR
            // under /root) hides the paths from that user altogether.
            for (const std::string& path : owned)
                if (::access(path.c_str(), F_OK) != 0)
                    ::_exit(2);
            ExitWithResultOf(work);
        }
        int status = 0;
        if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) != 2)
            result = WEXITSTATUS(status) == 0;
    }
    giveTo(0);
    return result;
}

namespace {

bool writeText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const bool done = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd >= 0)
        ::close(fd);
    return done;
}

// Gives this process a mount namespace of its own: as root directly, as
// another user inside a user namespace in which it is root.
bool enterOwnMountNamespace() {
    if (::geteuid() == 0)
        return ::unshare(CLONE_NEWNS) == 0;
    const std::string uid = std::to_string(::geteuid()), gid = std::to_string(::getegid());
    return ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && writeText("/proc/self/setgroups", "deny") &&
           writeText("/proc/self/uid_map", uid + " " + uid + " 1") &&
           writeText("/proc/self/gid_map", gid + " " + gid + " 1");
}

} // namespace

std::optional<bool> RunOnASmallDisk(std::size_t bytes, const std::function<bool(const std::string& folder)>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::string folder = "/tmp/tindrel-small-disk-XXXXXX";
        if (!enterOwnMountNamespace() || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            !::mkdtemp(folder.data()))
            ::_exit(2);
        // A private folder, as a user's own: a world-writable one would rightly
        // keep the writers from rewriting a hard-linked file in place.
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            ::rmdir(folder.c_str());
            ::_exit(2);
        }
        bool done = false;
        try {
            done = work(folder);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
        }
        ::umount(folder.c_str());
        ::rmdir(folder.c_str());
        ::_exit(done ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 2)
        return std::nullopt;
    return WEXITSTATUS(status) == 0;
}

} // namespace tindrel::test
