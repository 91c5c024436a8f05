// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// tindrel-cli run as a program: results, exit status and messages.
#include "core/Join.h"
#include "mpeg/MPEGaudio.h"
#include "mpeg/Rounding.h"
#include "tests/cli/RunProgram.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tindrel {
namespace {

using test::Bytes;
using test::PatternBytes;
using test::ProgramResult;
using test::ReadFileBytes;
using test::RunCliProgram;
using test::TempDir;

class SilentJoin final : public JoinObserver {
public:
    void letEventsRun() override {}
    bool stopRequested() override { return false; }
    void setStatus(std::size_t, JoinStatus) override {}
};

std::size_t lineCount(const std::string& text) {
    return std::size_t(std::count(text.begin(), text.end(), '\n'));
}

// A failure: the status, one line on stderr that names the problem, and
// nothing on stdout.
void expectFailure(const ProgramResult& r, int status, const std::string& message, const std::string& what) {
    EXPECT_EQ(r.status, status) << what << ": " << r.err;
    EXPECT_EQ(lineCount(r.err), 1u) << what << ": " << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << what << ": " << r.err;
    EXPECT_EQ(r.out, "") << what;
}

class CliProgramTest : public ::testing::Test {
protected:
    std::vector<std::string> inputs() {
        // Sizes around the 2,128 bytes that a join drops from every input.
        const std::size_t sizes[] = {10'000, 20'000, 2'128, 2'129, 500};
        std::vector<std::string> files;
        for (std::size_t i = 0; i < std::size(sizes); ++i)
            files.push_back(dir.write("in" + std::to_string(i) + ".mp3", PatternBytes(sizes[i], uint32_t(i + 1))));
        files.push_back(test::TestDataDir() + "/app/ten-seconds.mp3");
        return files;
    }
    TempDir dir;
};

TEST(CliProgram, NeedsNoWidgets) {
    // The tool runs where no desktop is installed, and starts fast: Qt is
    // loaded only with the player's module, and only its core library.
    const ProgramResult tool = test::RunProgram("/usr/bin/ldd", {TINDREL_CLI_PATH});
    ASSERT_EQ(tool.status, 0) << tool.err;
    EXPECT_EQ(tool.out.find("libQt6"), std::string::npos) << tool.out;
    const ProgramResult module =
        test::RunProgram("/usr/bin/ldd", {std::string(TINDREL_PROGRAM_DIR) + "/tindrel-cli-player.so"});
    ASSERT_EQ(module.status, 0) << module.err;
    EXPECT_NE(module.out.find("libQt6Core"), std::string::npos) << module.out;
    EXPECT_EQ(module.out.find("libQt6Widgets"), std::string::npos) << module.out;
    EXPECT_EQ(module.out.find("libQt6Gui"), std::string::npos) << module.out;
}

TEST_F(CliProgramTest, JoinWritesWhatTheJoinPageWrites) {
    const std::vector<std::string> files = inputs();
    SilentJoin observer;
    ASSERT_EQ(RunJoin(files, dir.file("page.mp3"), observer), JoinResult::Completed);
    std::vector<std::string> args{"join", "-o", dir.file("tool.mp3")};
    args.insert(args.end(), files.begin(), files.end());
    const ProgramResult r = RunCliProgram(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Joining is completed.\n");
    EXPECT_EQ(r.err, "") << "no progress when stderr is not a terminal";
    EXPECT_EQ(ReadFileBytes(dir.file("tool.mp3")), ReadFileBytes(dir.file("page.mp3")));
    // The worked example: bytes 2,000 ... 9,871 of the first file lead.
    const Bytes first = ReadFileBytes(files[0]);
    const Bytes joined = ReadFileBytes(dir.file("tool.mp3"));
    ASSERT_GE(joined.size(), 7'872u);
    EXPECT_TRUE(std::equal(first.begin() + 2'000, first.begin() + 9'872, joined.begin()));
}

TEST_F(CliProgramTest, JoinShowsProgressOnATerminalOnly) {
    const std::vector<std::string> files = inputs();
    std::vector<std::string> args{"join", "-o", dir.file("tool.mp3")};
    args.insert(args.end(), files.begin(), files.end());
    const ProgramResult r = RunCliProgram(args, true);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Joining: 6 of 6 files"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "Joining is completed.\n") << "progress never goes to stdout";
}

TEST_F(CliProgramTest, PartsShowProgressOnATerminalOnly) {
    const std::string source = dir.file("ten-seconds.mp3");
    std::filesystem::copy_file(test::TestDataDir() + "/app/ten-seconds.mp3", source);
    for (const bool terminal : {true, false}) {
        const ProgramResult r = RunCliProgram({"split", source, "--parts", "3", "-d", dir.path()}, terminal);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Splitting MP3 is completed.\n");
        if (terminal) {
            EXPECT_NE(r.err.find("Splitting: 50% (part 2 of 3)"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("Splitting: 100% (part 3 of 3)"), std::string::npos) << r.err;
        } else {
            EXPECT_EQ(r.err, "");
        }
    }
}

TEST_F(CliProgramTest, JoinRefusalsWriteNothing) {
    const std::string a = dir.write("a.mp3", PatternBytes(5'000, 1));
    const std::string existing = dir.write("existing.mp3", PatternBytes(100, 2));
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"join", a}, 2, "needs -o OUT"},
        {{"join", "-o", dir.file("o.mp3")}, 2, "needs at least one FILE"},
        {{"join", "-o", a, a}, 1, "The output file can not be one of the files to join."},
        {{"join", "-o", dir.path() + "/./a.mp3", a}, 1, "can not be one of the files"},
        {{"join", "-o", dir.file("o.mp3"), a, dir.file("missing.mp3")}, 1, "Cannot open file \""},
        {{"join", "-o", existing, a}, 1, "add --force"},
        {{"join", "-o", dir.file("o.mp3"), a, dir.path()}, 1, "Is a directory"},
        {{"join", "-o", dir.file("no/such/folder.mp3"), a}, 1, "Cannot create file \""},
        {{"join", "--frobnicate", "-o", dir.file("o.mp3"), a}, 2, "unknown option --frobnicate"},
        {{"join", "--exact", "-o", dir.file("o.mp3"), a}, 1, "holds no MPEG audio"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = RunCliProgram(c.args);
        expectFailure(r, c.status, c.message, c.args.back());
        EXPECT_FALSE(std::filesystem::exists(dir.file("o.mp3"))) << c.message;
        EXPECT_EQ(ReadFileBytes(a), PatternBytes(5'000, 1)) << c.message;
        EXPECT_EQ(ReadFileBytes(existing), PatternBytes(100, 2)) << c.message;
    }
    const ProgramResult forced = RunCliProgram({"join", "--force", "-o", existing, a});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(std::filesystem::file_size(existing), 5'000u - 2'128u);
}

// A split or a join refuses to replace an output the user marked read-only
// unless --force, and then says that the mark went.
TEST_F(CliProgramTest, ReadOnlyOutputsAreReplacedOnlyWithForce) {
    const std::string source = test::TestDataDir() + "/app/ten-seconds.mp3";
    const std::string text =
        "FILE \"ten.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nINDEX 01 00:05:00\n";
    const std::string sheet = dir.write("ten.cue", Bytes(text.begin(), text.end()));
    const std::string out = dir.file("out");
    std::filesystem::create_directory(out);
    const struct {
        std::vector<std::string> args;
        std::string marked; // the output that carries the mark
    } cases[] = {
        {{"join", "-o", out + "/joined.mp3", source}, out + "/joined.mp3"},
        {{"split", source, "--end", "00:02.000", "-o", out + "/piece.mp3"}, out + "/piece.mp3"},
        {{"split", source, "--parts", "2", "-d", out}, out + "/ten-seconds_chunk_2.mp3"},
        {{"split", source, "--cue", sheet, "-d", out}, out + "/02.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        dir.write("out/" + std::filesystem::path(c.marked).filename().string(), PatternBytes(100, 3));
        std::filesystem::permissions(c.marked, std::filesystem::perms::owner_read);
        expectFailure(RunCliProgram(c.args), 1, "\"" + c.marked + "\" is marked read-only; add --force", c.marked);
        EXPECT_EQ(ReadFileBytes(c.marked), PatternBytes(100, 3));

        std::vector<std::string> forced = c.args;
        forced.push_back("--force");
        const ProgramResult r = RunCliProgram(forced);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("\"" + c.marked + "\": The file's read-only mark was removed."), std::string::npos)
            << r.err;
        EXPECT_NE(ReadFileBytes(c.marked), PatternBytes(100, 3));
        EXPECT_NE(std::filesystem::status(c.marked).permissions() & std::filesystem::perms::owner_write,
                  std::filesystem::perms::none);
    }
}

TEST_F(CliProgramTest, HelpAndWrongCommandLines) {
    for (const char* command : {"info", "split", "join", "tag"}) {
        const ProgramResult r = RunCliProgram({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind(std::string("Usage: tindrel-cli ") + command, 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
    }
    const ProgramResult overview = RunCliProgram({"--help"});
    EXPECT_EQ(overview.status, 0);
    for (const char* command : {"info", "split", "join", "tag"})
        EXPECT_NE(overview.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    expectFailure(RunCliProgram({}), 2, "no command given", "no arguments");
    expectFailure(RunCliProgram({"cut"}), 2, "unknown command cut", "cut");
    expectFailure(RunCliProgram({"info"}), 2, "needs at least one FILE", "info");
    expectFailure(RunCliProgram({"tag", "a", "b"}), 2, "exactly one FILE", "tag a b");
    expectFailure(RunCliProgram({"tag", dir.file("none.mp3")}), 1, "Cannot open file", "tag none");
}

// A device, a pipe or a folder is named for what it is, not reported
// missing; a pipe is never opened, as reading it would wait for a writer.
TEST_F(CliProgramTest, InfoAndTagSayWhatIsNotAFile) {
    const std::string pipe = dir.file("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {"/dev/null", "Is a device or a pipe, not a file"},
        {pipe, "Is a device or a pipe, not a file"},
        {dir.path(), "Is a directory"},
        {dir.file("none.mp3"), "No such file"},
    };
    for (const auto& [path, reason] : cases)
        for (const char* command : {"info", "tag"})
            expectFailure(RunCliProgram({command, path}), 1,
                          "Cannot open file \"" + path + "\". " + reason + "\n", path.c_str());
}

TEST_F(CliProgramTest, InfoReportsTheAnalysisAndBothTags) {
    const std::string file = test::TestDataDir() + "/app/ten-seconds.mp3";
    TMPEGaudio audio;
    ASSERT_TRUE(audio.Analyze(file));
    const ProgramResult r =
        RunCliProgram({"info", file, dir.file("missing.mp3"), test::TestDataDir() + "/app/tone.wav"});
    EXPECT_EQ(r.status, 1) << "one file was missing";
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    const int64_t ms = RoundHalfEven(audio.Duration() * 1000.0);
    for (const std::string& line : std::vector<std::string>{
             "Format: MPEG 1 Layer III\n", "Length: " + std::to_string(ms) + " ms (00:10.0", "Bit rate: 128 kbit/s\n",
             "Sample rate: 44100 Hz\n", "Channel mode: Joint Stereo\n", "VBR header: none\n",
             "Encoder: " + audio.EncoderID() + "\n", "ID3v1: Version 1.1\n", "ID3v1 title: Ten Seconds\n",
             "ID3v1 genre: Jazz\n", "ID3v2: Version 2.3\n", "ID3v2 track: 4\n",
             // the second file is reported after the missing one
             "\nFile: " + test::TestDataDir() + "/app/tone.wav\n", "Format: WAV\n", "Length: 1000 ms (00:01.000)\n",
             // the player's own view, from the same analysis
             "Player length: " + std::to_string(ms) + " ms", "Player bit rate: 128 kbit/s\n",
             "Player bit rate: 0 kbit/s\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST_F(CliProgramTest, TagPrintsTheTagsAsTheFileHoldsThem) {
    const std::string file = dir.file("song.mp3");
    std::filesystem::copy_file(test::TestDataDir() + "/tags/plain.mp3", file);
    const Bytes before = ReadFileBytes(file);
    const ProgramResult shown = RunCliProgram({"tag", file});
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, "ID3v1: none\nID3v2: none\n");
    EXPECT_EQ(ReadFileBytes(file), before) << "showing the tags writes nothing";

    const ProgramResult written = RunCliProgram({"tag", file, "--v1-title", "Été", "--v1-track", "300"});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_NE(written.out.find("ID3v1: Version 1.1\nID3v1 track: 44\nID3v1 title: Été\n"), std::string::npos)
        << written.out;
    EXPECT_NE(written.out.find("ID3v2: none\n"), std::string::npos) << "an untouched tag is not written";
    EXPECT_EQ(written.err.find("read-only"), std::string::npos) << written.err;

    // The writers take a read-only mark off the file, and say so.
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    const ProgramResult unmarked = RunCliProgram({"tag", file, "--v2-title", "Marked"});
    EXPECT_EQ(unmarked.status, 0) << unmarked.err;
    EXPECT_EQ(unmarked.err, "tindrel-cli: The file's read-only mark was removed.\n");
}

TEST_F(CliProgramTest, TagRefusalsLeaveTheFileAlone) {
    const std::string file = dir.file("song.mp3");
    std::filesystem::copy_file(test::TestDataDir() + "/tags/id3v2-tool-v10.mp3", file);
    const Bytes before = ReadFileBytes(file);
    const struct {
        std::vector<std::string> options;
        int status;
        const char* message;
    } cases[] = {
        {{"--v1-title", "x", "--v1-genre", "Polka Metal"}, 2, "is not an ID3v1 genre"},
        {{"--v1-title", "x", "--copy-v2-to-v1"}, 1, "There is no ID3v2 tag to copy."},
        {{"--v2-title"}, 2, "needs a value"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"tag", file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        expectFailure(RunCliProgram(args), c.status, c.message, c.message);
        EXPECT_EQ(ReadFileBytes(file), before) << c.message;
    }
}

// Under a file-size limit every writer fails with "Stream write error",
// naming the file it could not write and the system's reason, and leaves
// the file it would replace as it was, with no temporary name beside it;
// the limit's signal would otherwise kill the tool without a word.
TEST_F(CliProgramTest, AFileSizeLimitGivesAStreamWriteError) {
    const std::string song = dir.file("song.mp3");
    std::filesystem::copy_file(test::TestDataDir() + "/app/ten-seconds.mp3", song);
    const Bytes before = ReadFileBytes(song);
    const std::string out = dir.write("out.mp3", PatternBytes(100, 3));
    const std::vector<std::vector<std::string>> commands = {
        {"join", "--force", "-o", out, song, song},
        {"split", song, "--start", "00:00.000", "--end", "00:09.000", "-o", out, "--force"},
        // 20,320 bytes of audio fit under the limit, the tags behind them do
        // not: the piece takes its name with its tags or not at all.
        {"split", song, "--start", "00:01.000", "--end", "00:02.270", "-o", out, "--force"},
        {"tag", song, "--v2-title", "Limited"},
    };
    for (const auto& args : commands) {
        // 40 blocks of 512 bytes: 20,480 bytes.
        std::vector<std::string> limited = {"-c", "ulimit -f 40 && exec \"$0\" \"$@\"", TINDREL_CLI_PATH};
        limited.insert(limited.end(), args.begin(), args.end());
        const ProgramResult r = test::RunProgram("/bin/sh", limited);
        EXPECT_EQ(r.status, 1) << args[0] << ": " << r.err;
        const std::string written = args[0] == "tag" ? song : out;
        EXPECT_NE(r.err.find("Stream write error in file \"" + written + "\". File too large"), std::string::npos)
            << args[0] << ": " << r.err;
        EXPECT_EQ(ReadFileBytes(song), before) << args[0];
        EXPECT_EQ(ReadFileBytes(out), PatternBytes(100, 3)) << args[0];
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().find(".tindrel-"), std::string::npos) << args[0];
    }
}

// A writable file in a read-only folder: what needs a new name there (the
// ID3v2 save, which rewrites the whole file; a new output) is refused with
// the folder as the reason and the file left as it was, while the ID3v1
// save, one block written in place, still goes through. Run as another
// user where the tests run as root, whom no folder's mode stops.
TEST_F(CliProgramTest, AReadOnlyFolderIsNamedAsTheReason) {
    const bool root = ::geteuid() == 0;
    ::chmod(dir.path().c_str(), 0755);
    const std::string folder = dir.file("ro");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string song = folder + "/song.mp3";
    std::filesystem::copy_file(test::TestDataDir() + "/app/ten-seconds.mp3", song);
    if (root) {
        ASSERT_EQ(::chown(song.c_str(), 65534, 65534) | ::chown(folder.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(song.c_str(), 0644) | ::chmod(folder.c_str(), 0555), 0);
    const std::string replaced =
        "The folder \"" + folder + "\" is read-only, so \"song.mp3\" cannot be replaced safely.";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"tag", song, "--v2-title", "New"}, 1, replaced},
        {{"tag", song, "--v1-title", "New", "--v2-title", "New"}, 1, replaced},
        {{"join", "-o", folder + "/all.mp3", song, song}, 1, "The folder \"" + folder + "\" is read-only."},
        {{"tag", song, "--v1-title", "In place"}, 0, ""},
    };
    for (const auto& c : cases) {
        const Bytes before = ReadFileBytes(song);
        std::vector<std::string> args = {"--reuid=65534", "--regid=65534", "--clear-groups", TINDREL_CLI_PATH};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProgramResult r = root ? test::RunProgram("/usr/bin/setpriv", args) : RunCliProgram(c.args);
        const Bytes after = ReadFileBytes(song);
        EXPECT_EQ(r.status, c.status) << c.args[2] << ": " << r.err;
        if (c.status != 0) {
            EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
            EXPECT_EQ(after, before) << c.args[2];
        } else {
            ASSERT_EQ(after.size(), before.size()) << r.err; // over the block it had
            EXPECT_EQ(std::string(after.end() - 128, after.end() - 117), "TAGIn place");
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    ::chmod(folder.c_str(), 0755);
}

// Both tags go in with one replacement: when the second cannot be written,
// the first is not left changed either.
TEST_F(CliProgramTest, BothTagsAreWrittenTogetherOrNotAtAll) {
    const std::string song = dir.file("song.mp3"); // 2,176 bytes with both tags
    std::filesystem::copy_file(test::TestDataDir() + "/tags/id3v2-tool.mp3", song);
    const Bytes before = ReadFileBytes(song);
    // 5 blocks of 512 bytes: room for the ID3v1 block in place, not for the
    // longer ID3v2 tag.
    const ProgramResult r =
        test::RunProgram("/bin/sh", {"-c", "ulimit -f 5 && exec \"$0\" \"$@\"", TINDREL_CLI_PATH, "tag", song,
                                     "--v1-title", "New", "--v2-title", std::string(1500, 't')});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Cannot write the tags of"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(song), before);

    // A file too short for the ID3v1 block keeps its ID3v2 tag as well.
    const std::string tiny = dir.write("tiny.mp3", PatternBytes(100, 3));
    const ProgramResult both = RunCliProgram({"tag", tiny, "--v1-title", "New", "--v2-title", "New"});
    EXPECT_EQ(both.status, 1) << both.err;
    EXPECT_NE(both.err.find("Cannot write the tags of"), std::string::npos) << both.err;
    EXPECT_EQ(ReadFileBytes(tiny), PatternBytes(100, 3));
}

// The player's figures are 64-bit: a file past 4 GiB (sparse here: ten
// seconds of audio and then zeros) is not reported wrapped.
TEST_F(CliProgramTest, FilesPastFourGibibytesKeepTheirSize) {
    const std::string big = dir.file("big.mp3");
    std::filesystem::copy_file(test::TestDataDir() + "/app/ten-seconds.mp3", big);
    std::filesystem::resize_file(big, 4'500'000'000);
    const ProgramResult r = RunCliProgram({"info", big});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Player file size: 4500000000 bytes"), std::string::npos) << r.out;
}

} // namespace
} // namespace tindrel
