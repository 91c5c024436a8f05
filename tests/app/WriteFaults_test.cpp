// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// What a join or a cut leaves behind when the disk fills up, when its input
// goes away, or when the process is killed while it writes: the sources and
// every file nobody asked to replace stay byte for byte, a replaced file is
// wholly old or wholly new, and no temporary file outlives the next write.
#include "core/Join.h"
#include "core/Split.h"
#include "platform/AtomicFile.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/FaultInjection.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;
using Clock = std::chrono::steady_clock;

struct QuietObserver final : JoinObserver {
    void letEventsRun() override {}
    bool stopRequested() override { return false; }
    void setStatus(std::size_t, JoinStatus) override {}
};

std::size_t filesIn(const std::string& folder) {
    return std::size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

Bytes joined(const std::vector<Bytes>& inputs) {
    Bytes out;
    for (const Bytes& in : inputs)
        out.insert(out.end(), in.begin() + kJoinHeadBytes, in.end() - kJoinTailBytes);
    return out;
}

DescribeSource fixed(int64_t lengthMs, int64_t kbps) {
    return [=](const std::string&) { return std::optional<SourceFacts>(SourceFacts{lengthMs, kbps}); };
}

// The piece of the first 9.85 s (157,600 bytes at 128 kbit/s) of in.
bool CutFirstTenSeconds(const std::string& in, const std::string& out) {
    return CutRange(in, out, "00:00.150", kCutOffsetMs, true, "00:10.000", fixed(25'000, 128));
}

// The message write failed with; empty when it did not fail.
std::string ErrorOf(const std::function<void()>& write) {
    try {
        write();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

// size bytes of 128 kbit/s MPEG audio, the frames of a fixture over and
// over: a split refuses a source that holds none.
Bytes MPEGBytes(std::size_t size) {
    const Bytes frames = ReadFileBytes(test::TestDataDir() + "/app/ten-seconds.mp3");
    Bytes bytes;
    while (bytes.size() < size)
        bytes.insert(bytes.end(), frames.begin(), frames.end());
    bytes.resize(size);
    return bytes;
}

// body with an ID3v2 tag in front and an ID3v1 tag behind.
Bytes Tagged(const Bytes& body) {
    TID3v2 v2;
    v2.SetTitle("Write test");
    TID3v1 v1;
    v1.SetArtist("Tindrel");
    const std::string front = v2.BuildTag();
    const auto block = v1.BuildBlock();
    Bytes tagged(front.begin(), front.end());
    tagged.insert(tagged.end(), body.begin(), body.end());
    tagged.insert(tagged.end(), block.begin(), block.end());
    return tagged;
}

TEST(WriteFaults, AFullDiskLeavesTheOldOutputOfAJoinAndACut) {
    TempDir dir;
    const Bytes input = PatternBytes(400'000, 1);
    const std::string in = dir.write("in.mp3", input);
    const Bytes old = PatternBytes(1'000, 2);
    const std::string out = dir.write("out.mp3", old);
    QuietObserver observer;
    {
        test::FileSizeLimit limit(100'000);
        EXPECT_THROW(RunJoin({in, in}, out, observer), StreamWriteError);
        // 300,000 bytes at 128 kbit/s is 18.75 s.
        EXPECT_THROW(CutRange(in, out, "00:00.150", kCutOffsetMs, true, "00:18.900", fixed(25'000, 128)),
                     StreamWriteError);
    }
    EXPECT_EQ(ReadFileBytes(out), old);
    EXPECT_EQ(ReadFileBytes(in), input);
    EXPECT_EQ(filesIn(dir.path()), 2u) << "a temporary file was left";
}

TEST(WriteFaults, AnInputDeletedBeforeTheWriteLeavesEverythingElse) {
    TempDir dir;
    const Bytes first = PatternBytes(5'000, 3);
    const std::string a = dir.write("a.mp3", first);
    const std::string gone = dir.write("b.mp3", PatternBytes(5'000, 4));
    fs::remove(gone); // between the dialog and the write
    QuietObserver observer;
    EXPECT_THROW(RunJoin({a, gone}, dir.file("out.mp3"), observer), std::runtime_error);
    EXPECT_FALSE(CutRange(gone, dir.file("piece.mp3"), "00:00.000", 0, true, "00:01.000", fixed(5'000, 128)));
    EXPECT_EQ(ReadFileBytes(a), first);
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(WriteFaults, AnOutputInAFolderThatWentAwayIsReportedAndNothingIsWritten) {
    TempDir dir;
    const std::string in = dir.write("in.mp3", PatternBytes(5'000, 5));
    QuietObserver observer;
    const std::string out = dir.file("gone/out.mp3");
    EXPECT_EQ(ErrorOf([&] { RunJoin({in}, out, observer); }),
              "Cannot create file \"" + out + "\". No such file or directory");
    EXPECT_THROW(CutRange(in, out, "00:00.000", 0, true, "00:01.000", fixed(5'000, 128)), std::runtime_error);
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

// True when write throws the create failure for path that a folder or file
// the user may not write gives.
bool RefusedForPermission(const std::function<void()>& write, const std::string& path) {
    return ErrorOf(write) == "Cannot create file \"" + path + "\". Permission denied";
}

// True when write throws the create failure that names a read-only folder
// as the reason, for a new file or for one it would replace.
bool RefusedForReadOnlyFolder(const std::function<void()>& write, const std::string& path, bool replacing) {
    const std::string folder = "The folder \"" + std::filesystem::path(path).parent_path().string() + "\" is read-only";
    const std::string reason =
        replacing ? folder + ", so \"" + std::filesystem::path(path).filename().string() + "\" cannot be replaced safely."
                  : folder + ".";
    return ErrorOf(write) == "Cannot create file \"" + path + "\". " + reason;
}

TEST(WriteFaults, AFolderOrAnOutputTheUserMayNotWriteIsReportedAndKept) {
    TempDir dir;
    const Bytes input = PatternBytes(400'000, 11);
    const std::string in = dir.write("in.mp3", input);
    const Bytes old = PatternBytes(1'000, 12);
    const std::string out = dir.write("out.mp3", old);
    const std::string fresh = dir.file("new.mp3");
    const std::vector<std::string> owned = {dir.path(), in, out};
    auto cut = [&] { return CutFirstTenSeconds(in, out); };

    // No file can be made in a read-only folder, so none can be replaced
    // there either: the new file is always made beside the old one.
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    const std::optional<bool> inReadOnlyFolder = test::RunAsOrdinaryUser(owned, [&] {
        QuietObserver observer;
        return RefusedForReadOnlyFolder([&] { RunJoin({in, in}, out, observer); }, out, true) &&
               RefusedForReadOnlyFolder([&] { RunJoin({in}, fresh, observer); }, fresh, false) &&
               RefusedForReadOnlyFolder([&] { cut(); }, out, true);
    });
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    if (!inReadOnlyFolder)
        GTEST_SKIP() << "this root may not become an ordinary user";
    EXPECT_TRUE(*inReadOnlyFolder);
    EXPECT_EQ(ReadFileBytes(out), old);

    // A read-only output: the join refuses it, a cut piece replaces it.
    ASSERT_EQ(::chmod(out.c_str(), 0444), 0);
    EXPECT_EQ(test::RunAsOrdinaryUser(owned, [&] {
                  QuietObserver observer;
                  return RefusedForPermission([&] { RunJoin({in, in}, out, observer); }, out) && cut();
              }),
              std::optional<bool>(true));
    EXPECT_EQ(ReadFileBytes(out).size(), 157'600u);
    EXPECT_EQ(ReadFileBytes(in), input);
    EXPECT_EQ(filesIn(dir.path()), 2u);
}

TEST(WriteFaults, AnOutputLockedByAnotherProgramIsRefusedAndKept) {
    TempDir dir;
    const std::string in = dir.write("in.mp3", PatternBytes(400'000, 9));
    const Bytes old = PatternBytes(1'000, 10);
    const std::string out = dir.write("out.mp3", old);
    // An open file description of its own, as another program would have.
    const int holder = ::open(out.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    const std::string refusal = "Cannot create file \"" + out + "\". The file is in use by another program";
    QuietObserver observer;
    for (const std::function<void()>& write : std::vector<std::function<void()>>{
             [&] { RunJoin({in, in}, out, observer); },
             [&] { CutFirstTenSeconds(in, out); }})
        EXPECT_EQ(ErrorOf(write), refusal);
    EXPECT_EQ(ReadFileBytes(out), old);
    EXPECT_EQ(filesIn(dir.path()), 2u);
    // Once the other program lets go, the write goes through.
    ::close(holder);
    EXPECT_TRUE(CutFirstTenSeconds(in, out));
    EXPECT_EQ(ReadFileBytes(out).size(), 157'600u);
}

// A file system that really fills up under each writer, the in-place copy
// into a hard-linked file included: each reports the failure, and the file
// it would have replaced stays as it was, alone on that file system.
TEST(WriteFaults, AFullFileSystemLeavesEveryEarlierFileAsItWas) {
    TempDir dir;
    const Bytes input = PatternBytes(400'000, 1);
    const std::string in = dir.write("in.mp3", input);
    const std::string tagged = dir.write("tagged.mp3", Tagged(MPEGBytes(input.size())));
    const auto result = test::RunOnASmallDisk(256 * 1024, [&](const std::string& disk) {
        const Bytes old = Tagged(PatternBytes(150'000, 2));
        const std::string out = disk + "/out.mp3";
        QuietObserver observer;
        TID3v1 v1;
        TID3v2 v2;
        v1.SetTitle("New");
        v2.SetTitle("New");
        bool v1Written = false;
        const std::vector<std::pair<std::string, std::function<bool()>>> writers = {
            {"join", [&] { return RunJoin({in, in}, out, observer) == JoinResult::Completed; }},
            // 300,000 bytes at 128 kbit/s is 18.75 s.
            {"cut", [&] { return CutRange(in, out, "00:00.150", kCutOffsetMs, true, "00:18.900", fixed(25'000, 128)); }},
            {"cut with tags",
             [&] {
                 return RunSplitRange(tagged, out, "00:00.150", "00:18.900", fixed(25'000, 128)).result ==
                        SplitResult::Completed;
             }},
            {"tag save", [&] { return SaveBothTags(out, v1, v2, v1Written); }},
        };
        bool allKept = true;
        for (const bool linked : {false, true}) {
            for (const auto& [what, write] : writers) {
                test::WriteFileBytes(out, old);
                if (linked)
                    (void)::link(out.c_str(), (disk + "/link.mp3").c_str());
                bool reported = true;
                try {
                    reported = !write();
                } catch (const std::exception&) {
                }
                const bool kept = ReadFileBytes(out) == old && filesIn(disk) == (linked ? 2u : 1u);
                if (!reported || !kept)
                    std::fprintf(stderr, "%s%s: %s\n", what.c_str(), linked ? " (linked)" : "",
                                 reported ? "the file changed or a name was left" : "reported as done");
                allKept = allKept && reported && kept;
            }
        }
        // Room for the new content beside the old one but not for the file
        // to grow by it as well: the copy into the linked file fails before
        // any old byte changes. 150,000 bytes at 128 kbit/s are 9.375 s.
        const Bytes smaller = PatternBytes(100'000, 3);
        test::WriteFileBytes(out, smaller);
        bool grew = false;
        try {
            grew = CutRange(in, out, "00:00.150", kCutOffsetMs, true, "00:09.525", fixed(25'000, 128));
        } catch (const std::exception&) {
        }
        const bool keptSmaller = !grew && ReadFileBytes(out) == smaller && ReadFileBytes(disk + "/link.mp3") == smaller &&
                                 filesIn(disk) == 2u;
        if (!keptSmaller)
            std::fprintf(stderr, "cut into a linked file that cannot grow: %s\n", grew ? "reported as done" : "changed");
        return allKept && keptSmaller;
    });
    if (!result)
        GTEST_SKIP() << "this system lets the suite mount no file system of its own";
    EXPECT_TRUE(*result);
}

// The names in folder that are not among the files it held before a trial.
std::vector<std::string> extraNames(const std::string& folder) {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() != ".mp3")
            extra.push_back(entry.path().string());
    return extra;
}

// A file a writer replaces and what it holds once the write is done.
struct Replaced {
    std::string path;
    Bytes expected;
};

// Kills a child process that replaces the outs at random moments;
// afterwards each out must hold old or its expected bytes, nothing else. The
// folder must hold only its files, except when a kill fell between linking
// a finished file beside its out and renaming it over: then that out is
// still old, the one extra name holds its whole new file, and the next
// write removes it.
// With a link, the one out has that second name: a kill during the copy into
// it may leave a mix until the next write finishes the copy, so the check
// comes after that sweep, and both names must agree.
void KillDuringWrites(const std::string& what, const std::function<bool()>& write, const std::vector<Replaced>& outs,
                      const Bytes& old, const std::string& folder, std::size_t files, const std::string& link = {}) {
    const auto writeOld = [&] {
        for (const Replaced& out : outs)
            test::WriteFileBytes(out.path, old);
    };
    // How long one write takes, so the kills spread over its whole length.
    writeOld();
    const auto started = Clock::now();
    ASSERT_TRUE(write());
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    std::mt19937 random(20261208);
    int keptOld = 0, gotNew = 0, leftBeside = 0;
    const int trials = 50;
    for (int trial = 0; trial < trials; ++trial) {
        writeOld();
        const auto delay = std::chrono::microseconds(random() % (span.count() * 3 / 2 + 1));
        test::RunKilledAfter(write, delay);
        if (!link.empty()) {
            AtomicFile::SweepLeftovers(outs[0].path);
            EXPECT_EQ(ReadFileBytes(link), ReadFileBytes(outs[0].path)) << what << ": trial " << trial;
        }
        for (const std::string& extra : extraNames(folder)) {
            const auto out = std::find_if(outs.begin(), outs.end(), [&](const Replaced& o) {
                return extra.rfind(o.path + ".tindrel-", 0) == 0;
            });
            ASSERT_NE(out, outs.end()) << what << ": trial " << trial << " left " << extra;
            // The new file is swapped in by an exchange of names: a kill just
            // after it leaves the old content at the extra name instead.
            const bool swapped = ReadFileBytes(out->path) == out->expected && ReadFileBytes(extra) == old;
            if (!swapped) {
                EXPECT_EQ(ReadFileBytes(out->path), old) << what << ": trial " << trial << " renamed and left a name";
                EXPECT_EQ(ReadFileBytes(extra), out->expected) << what << ": trial " << trial;
            }
            AtomicFile::SweepLeftovers(out->path);
            ++leftBeside;
        }
        for (const Replaced& out : outs) {
            const Bytes now = ReadFileBytes(out.path);
            if (now == old)
                ++keptOld;
            else if (now == out.expected)
                ++gotNew;
            else
                ADD_FAILURE() << what << ": trial " << trial << " left " << now.size() << " bytes in " << out.path;
        }
        ASSERT_EQ(filesIn(folder), files) << what << ": trial " << trial << " left a temporary file";
    }
    std::printf("%s: %d kills, old file kept %d times, new file %d times, finished file left beside %d times\n",
                what.c_str(), trials, keptOld, gotNew, leftBeside);
    EXPECT_EQ(std::size_t(keptOld + gotNew), trials * outs.size());
}

// Every writer of outputs: a join, a plain cut (also into a file with a
// second name), a cut with the source's tags, and a parts split.
TEST(WriteFaults, AKilledWriterLeavesTheOldFileOrTheNewOne) {
    TempDir dir;
    const std::vector<Bytes> inputs = {PatternBytes(6'000'000, 6), PatternBytes(6'000'000, 7)};
    const std::string a = dir.write("a.mp3", inputs[0]);
    const std::string b = dir.write("b.mp3", inputs[1]);
    const std::string out = dir.file("out.mp3");
    const Bytes old = PatternBytes(3'000, 8);
    const auto join = [&] {
        QuietObserver observer;
        return RunJoin({a, b}, out, observer) == JoinResult::Completed;
    };
    KillDuringWrites("join", join, {{out, joined(inputs)}}, old, dir.path(), 3);
    // 4,000,000 bytes from byte 160,000 at 128 kbit/s: 10 s to 260 s.
    const auto cut = [&] {
        return CutRange(a, out, "00:10.150", kCutOffsetMs, true, "04:20.150", fixed(375'000, 128));
    };
    const Bytes piece(inputs[0].begin() + 160'000, inputs[0].begin() + 4'160'000);
    KillDuringWrites("cut", cut, {{out, piece}}, old, dir.path(), 3);

    const std::string link = dir.file("link.mp3");
    ASSERT_EQ(::link(out.c_str(), link.c_str()), 0);
    KillDuringWrites("cut into a linked file", cut, {{out, piece}}, old, dir.path(), 4, link);
    ::unlink(link.c_str());

    // A tagged source of 125 s: each piece gets both its tags in the same
    // replacement.
    const Bytes tagged = Tagged(MPEGBytes(2'000'000));
    const std::string source = dir.write("tagged.mp3", tagged);
    const auto cutWithTags = [&](const std::string& output) {
        return RunSplitRange(source, output, "00:05.150", "01:55.150", fixed(125'000, 128)).result ==
               SplitResult::Completed;
    };
    const std::string reference = dir.file("reference.mp3");
    ASSERT_TRUE(cutWithTags(reference));
    KillDuringWrites("cut with tags", [&] { return cutWithTags(out); }, {{out, ReadFileBytes(reference)}}, old,
                     dir.path(), 5);

    const auto parts = [&](const std::string& folder) {
        SplitObserver observer;
        return RunSplitParts(source, folder, 3, 125'000, fixed(125'000, 128), observer).result ==
               SplitResult::Completed;
    };
    TempDir references, pieces;
    ASSERT_TRUE(parts(references.path()));
    std::vector<Replaced> outs;
    for (int k = 1; k <= 3; ++k)
        outs.push_back({PartOutputPath(pieces.path(), "tagged", k),
                        ReadFileBytes(PartOutputPath(references.path(), "tagged", k))});
    KillDuringWrites("parts", [&] { return parts(pieces.path()); }, outs, old, pieces.path(), 3);
    EXPECT_EQ(ReadFileBytes(a), inputs[0]);
    EXPECT_EQ(ReadFileBytes(b), inputs[1]);
    EXPECT_EQ(ReadFileBytes(source), tagged);
}

} // namespace
} // namespace tindrel
