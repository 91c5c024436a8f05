// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// tindrel-cli tag and the Edit Tag page, given the same edits on copies of
// the same file, must leave the same bytes.
#include "app/Main.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "tests/cli/RunProgram.h"
#include "tests/support/TempDir.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tindrel {
namespace {

using test::ReadFileBytes;
using test::TempDir;

// The page, driven as a user would: open the file, edit, press "Updat All".
class Page {
public:
    explicit Page(const std::string& folder) : m_form(m_dialogs, QString::fromStdString(folder)) {
        ErrorHandler::setDialogs(&m_dialogs);
        m_form.findChild<QTabWidget*>("pgcMain")->setCurrentIndex(2);
    }
    ~Page() { ErrorHandler::setDialogs(nullptr); }
    void open(const std::string& file) {
        m_dialogs.queueOpenFile(QString::fromStdString(file));
        click("btnOpenTag");
    }
    void set(const char* field, const QString& text) { m_form.findChild<QLineEdit*>(field)->setText(text); }
    void setMemo(const QString& text) { m_form.findChild<QPlainTextEdit*>("CommentMemo")->setPlainText(text); }
    void genre(int entry) { m_form.findChild<QComboBox*>("GenreComboBox1")->setCurrentIndex(entry); }
    void box(const char* name, bool checked) { m_form.findChild<QCheckBox*>(name)->setChecked(checked); }
    void click(const char* name) { m_form.findChild<QAbstractButton*>(name)->click(); }

private:
    FakeDialogs m_dialogs;
    TMainForm m_form;
};

struct Scenario {
    const char* name;
    const char* sample;
    std::vector<std::string> cliOptions;
    std::function<void(Page&)> pageEdits; // ends with the boxes of the untouched tags cleared
};

const Scenario kScenarios[] = {
    {"v1 fields on a file with both tags",
     "id3v2-tool.mp3",
     {"--v1-title", "New Title", "--v1-track", "12", "--v1-genre", "pop", "--v1-year", "19999"},
     [](Page& p) {
         p.set("TitleEdit1", "New Title");
         p.set("TrackEdit1", "12");
         p.genre(14);
         p.set("YearEdit1", "19999");
         p.box("chkTagExists", false);
     }},
    {"v2 fields on a file without tags",
     "plain.mp3",
     {"--v2-title", "Neu", "--v2-track", "0x1F", "--v2-comment", "two\nlines", "--v2-genre", "Trip-Hop"},
     [](Page& p) {
         p.box("chkTagExists", true);
         p.set("TitleEdit", "Neu");
         p.set("TrackEdit", "0x1F");
         p.setMemo("two\nlines");
         p.set("GenreEdit", "Trip-Hop");
     }},
    {"copy v1 to v2",
     "id3v2-tool.mp3",
     {"--copy-v1-to-v2"},
     [](Page& p) {
         p.click("Button1");
         p.box("chkTagExists1", false);
     }},
    {"copy v2 to v1 with a genre name and a long-enough title",
     "eyed3-v23.mp3",
     {"--v2-title", "A title that is longer than thirty bytes", "--copy-v2-to-v1"},
     [](Page& p) {
         p.set("TitleEdit", "A title that is longer than thirty bytes");
         p.click("Button2");
     }},
    {"a version 2.4 tag is replaced by a version 2.3 tag",
     "mid3v2-v24.mp3",
     {"--v2-artist", "Vier"},
     [](Page& p) { p.set("ArtistEdit", "Vier"); }},
    {"texts outside ASCII become tag bytes",
     "id3v2-tool-v10.mp3",
     {"--v1-title", "Ärger über €", "--v1-track", "-3", "--v1-genre", ""},
     [](Page& p) {
         p.set("TitleEdit1", QStringLiteral("Ärger über €"));
         p.set("TrackEdit1", "-3");
         p.genre(0);
     }},
};

TEST(TagParityTest, TheToolLeavesTheBytesThePageLeaves) {
    for (const Scenario& s : kScenarios) {
        TempDir dir;
        const std::string source = test::TestDataDir() + "/tags/" + s.sample;
        const std::string byTool = dir.file("tool.mp3");
        const std::string byPage = dir.file("page.mp3");
        std::filesystem::copy_file(source, byTool);
        std::filesystem::copy_file(source, byPage);

        std::vector<std::string> args{"tag", byTool};
        args.insert(args.end(), s.cliOptions.begin(), s.cliOptions.end());
        const test::ProgramResult result = test::RunCliProgram(args);
        EXPECT_EQ(result.status, 0) << s.name << ": " << result.err;

        Page page(dir.path());
        page.open(byPage);
        s.pageEdits(page);
        page.click("Button3");

        EXPECT_NE(ReadFileBytes(byTool), ReadFileBytes(source)) << s.name << ": nothing was written";
        EXPECT_EQ(ReadFileBytes(byTool), ReadFileBytes(byPage)) << s.name;
    }
}

} // namespace
} // namespace tindrel
