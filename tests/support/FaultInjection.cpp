// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/support/FaultInjection.h"

#include <csignal>
#include <stdexcept>
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

} // namespace tindrel::test
