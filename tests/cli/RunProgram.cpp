// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/cli/RunProgram.h"

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <stdexcept>

namespace tindrel::test {

namespace {

// Reads both streams until each is closed; a pseudo-terminal reports EIO
// instead of end of file once the child is gone.
void collect(int outFd, int errFd, ProgramResult& result) {
    std::array<pollfd, 2> fds{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}}};
    std::string* sinks[] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), 30'000) <= 0)
            throw std::runtime_error("the program under test hangs");
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, std::size_t(got));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

} // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args, bool stderrOnTerminal) {
    int outPipe[2];
    int errPair[2];
    if (::pipe(outPipe) != 0)
        throw std::runtime_error("pipe failed");
    if (stderrOnTerminal ? ::openpty(&errPair[0], &errPair[1], nullptr, nullptr, nullptr) != 0 : ::pipe(errPair) != 0)
        throw std::runtime_error("no pipe or terminal for standard error");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPair[1], STDERR_FILENO);
        ::close(outPipe[0]);
        ::close(errPair[0]);
        // A program started from a shell meets every signal at its default;
        // the test process may have ignored some, and that would be inherited.
        for (const int signal : {SIGXFSZ, SIGPIPE})
            std::signal(signal, SIG_DFL);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPair[1]);
    ProgramResult result;
    collect(outPipe[0], errPair[0], result);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

ProgramResult RunCliProgram(const std::vector<std::string>& args, bool stderrOnTerminal) {
    return RunProgram(TINDREL_CLI_PATH, args, stderrOnTerminal);
}

} // namespace tindrel::test
