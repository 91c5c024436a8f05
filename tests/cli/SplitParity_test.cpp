// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// tindrel-cli split and the split page, on the same source with the real
// player on the "no sound" device, must write the same files.
#include "tests/app/WindowFixture.h"
#include "app/Main.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "player/AudioPlayer.h"
#include "tests/cli/RunProgram.h"
#include "tests/support/TempDir.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class SplitParityTest : public test::WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        fs::create_directory(dir.file("page"));
        fs::create_directory(dir.file("tool"));
    }
    void setText(const char* name, const char* text) { edit(name)->setText(text); }
    void expectSameFolders(const std::string& what) {
        const std::set<std::string> names = namesIn(dir.file("page"));
        EXPECT_EQ(namesIn(dir.file("tool")), names) << what;
        EXPECT_FALSE(names.empty()) << what;
        for (const std::string& name : names)
            EXPECT_EQ(ReadFileBytes(dir.file("tool/" + name)), ReadFileBytes(dir.file("page/" + name)))
                << what << ": " << name;
    }
};

TEST_F(SplitParityTest, TimeRangesAreThePagesPieces) {
    const struct {
        const char* sample;
        const char* start;
        const char* end;
    } cases[] = {
        {"ten-seconds.mp3", "00:01.000", "00:03.500"},
        {"ten-seconds.mp3", "00:00.100", "01:00.000"}, // the end is cut back to the length
        {"vbr-untagged.mp3", "00:00.500", "00:02.250"},
        {"tone.wav", "00:00.200", "00:00.400"}, // no bit rate: the whole file
    };
    int k = 0;
    for (const auto& c : cases) {
        const std::string piece = "piece" + std::to_string(++k) + ".mp3";
        const std::string source = sample(c.sample);
        open(source);
        setText("edtStart", c.start);
        setText("edtEnd", c.end);
        dialogs.queueSaveFile(QString::fromStdString(dir.file("page/" + piece)));
        click("btnSplit");
        const test::ProgramResult r =
            test::RunCliProgram({"split", source, "--start", c.start, "--end", c.end, "-o", dir.file("tool/" + piece)});
        EXPECT_EQ(r.status, 0) << c.sample << ": " << r.err;
        EXPECT_EQ(r.out, "Splitting MP3 is completed.\n");
        expectSameFolders(std::string(c.sample) + " " + c.start);
    }
}

TEST_F(SplitParityTest, EqualPartsAreThePagesParts) {
    const struct {
        const char* sample;
        const char* parts;
    } cases[] = {{"ten-seconds.mp3", "3"}, {"vbr-untagged.mp3", "2"}, {"ten-seconds.mp3", "12"}};
    for (const auto& c : cases) {
        for (const char* side : {"page", "tool"})
            for (const auto& entry : fs::directory_iterator(dir.file(side)))
                fs::remove(entry.path());
        const std::string source = sample(c.sample);
        open(source);
        click("rdbPart");
        setText("edtPart", c.parts);
        dialogs.queueFolder(QString::fromStdString(dir.file("page")));
        click("btnSplit");
        const test::ProgramResult r =
            test::RunCliProgram({"split", source, "--parts", c.parts, "-d", dir.file("tool")});
        EXPECT_EQ(r.status, 0) << c.sample << ": " << r.err;
        EXPECT_EQ(namesIn(dir.file("tool")).size(), std::size_t(std::stoi(c.parts)));
        expectSameFolders(std::string(c.sample) + " in " + c.parts);
    }
}

TEST_F(SplitParityTest, ARangeThatRunsOutLeavesWhatThePageLeaves) {
    // The first frame claims 320 kbit/s, the rest is 32: a late range runs
    // past the end of the file, and both stop with the blocks copied so far.
    const std::string source = sample("mixed-rates.mp3");
    open(source);
    setText("edtStart", "00:00.000");
    setText("edtEnd", "00:15.000");
    dialogs.queueSaveFile(QString::fromStdString(dir.file("page/piece.mp3")));
    click("btnSplit");
    ASSERT_FALSE(dialogs.messages().empty());
    EXPECT_EQ(dialogs.messages().back().text, "Stream read error");
    const test::ProgramResult r = test::RunCliProgram(
        {"split", source, "--start", "00:00.000", "--end", "00:15.000", "-o", dir.file("tool/piece.mp3")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tindrel-cli: Stream read error\n");
    expectSameFolders("mixed-rates");
}

} // namespace
} // namespace tindrel
