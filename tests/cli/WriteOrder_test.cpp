// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// The order of the system calls that make a write survive a power cut,
// watched with strace: the new content is flushed to disk before the file
// gets its name, so that the name never holds a file whose data is not
// there yet.
#include "tests/cli/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <unistd.h>

namespace tindrel {
namespace {

// The lines strace wrote, in order.
std::vector<std::string> traceLines(const std::string& log) {
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(WriteOrder, TheContentIsFlushedBeforeItTakesItsName) {
    if (::access("/usr/bin/strace", X_OK) != 0)
        GTEST_SKIP() << "strace is not installed";
    const struct {
        const char* what;
        bool existing;
    } cases[] = {{"a new file", false}, {"a file replaced", true}};
    for (const auto& c : cases) {
        test::TempDir dir;
        const std::string in = dir.write("in.mp3", test::PatternBytes(10'000, 1));
        const std::string out = dir.file("out.mp3");
        if (c.existing)
            dir.write("out.mp3", test::PatternBytes(100, 2));
        const std::string log = dir.file("trace");
        // A leak checker cannot work under a tracer: the sanitised build's
        // tool runs without it here.
        const test::ProgramResult r =
            test::RunProgram("/usr/bin/strace",
                             {"-f", "-o", log, "-e", "trace=openat,fsync,fdatasync,linkat,renameat2,renameat,rename",
                              "-E", "ASAN_OPTIONS=detect_leaks=0", TINDREL_CLI_PATH, "join", "--force", "-o", out, in});
        if (r.status != 0 && traceLines(log).empty())
            GTEST_SKIP() << "strace cannot trace here: " << r.err;
        ASSERT_EQ(r.status, 0) << c.what << ": " << r.err;
        const std::vector<std::string> lines = traceLines(log);
        // The nameless file the output is written as, and the calls on it.
        std::string fd;
        std::size_t flushed = lines.size(), named = lines.size();
        const std::regex created(R"(O_TMPFILE.*= (\d+)$)");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::smatch m;
            if (fd.empty() && std::regex_search(lines[i], m, created))
                fd = m[1];
            else if (!fd.empty() && flushed == lines.size() &&
                     (lines[i].find("fsync(" + fd + ")") != std::string::npos ||
                      lines[i].find("fdatasync(" + fd + ")") != std::string::npos))
                flushed = i;
            else if (!fd.empty() && named == lines.size() &&
                     lines[i].find("linkat(AT_FDCWD, \"/proc/self/fd/" + fd + "\"") != std::string::npos)
                named = i;
        }
        ASSERT_FALSE(fd.empty()) << c.what << ": no nameless file in the trace";
        ASSERT_LT(named, lines.size()) << c.what << ": the file never took a name";
        EXPECT_LT(flushed, named) << c.what << ": named before its content was on disk";
        EXPECT_EQ(test::ReadFileBytes(out).size(), 10'000u - 2'128u) << c.what;
    }
}

// A disk that fails the flush (full, or gone) is reported with the file and
// the system's reason, and the earlier file stays.
TEST(WriteOrder, AFailedFlushNamesTheFileAndTheReason) {
    if (::access("/usr/bin/strace", X_OK) != 0)
        GTEST_SKIP() << "strace is not installed";
    test::TempDir dir;
    const std::string in = dir.write("in.mp3", test::PatternBytes(10'000, 1));
    const std::string out = dir.write("out.mp3", test::PatternBytes(100, 2));
    const std::vector<std::vector<std::string>> commands = {{"join", "--force", "-o", out, in},
                                                            {"tag", out, "--v2-title", "Full"}};
    for (const auto& args : commands) {
        std::vector<std::string> traced = {"-f",
                                           "-o",
                                           "/dev/null",
                                           "-e",
                                           "trace=fsync",
                                           "-e",
                                           "inject=fsync:error=ENOSPC",
                                           "-E",
                                           "ASAN_OPTIONS=detect_leaks=0",
                                           TINDREL_CLI_PATH};
        traced.insert(traced.end(), args.begin(), args.end());
        const test::ProgramResult r = test::RunProgram("/usr/bin/strace", traced);
        if (r.err.find("strace:") != std::string::npos && r.err.find("Stream write error") == std::string::npos)
            GTEST_SKIP() << "strace cannot inject faults here: " << r.err;
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find("Stream write error in file \"" + out + "\". No space left on device"), std::string::npos)
            << args[0] << ": " << r.err;
        EXPECT_EQ(test::ReadFileBytes(out), test::PatternBytes(100, 2)) << args[0];
    }
}

} // namespace
} // namespace tindrel
