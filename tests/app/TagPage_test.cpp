// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Main.h"
#include "app/TagPage.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Command.h"
#include "tests/support/FileLock.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>

namespace tindrel {
namespace {

using test::TempDir;

class TagPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorHandler::setDialogs(&dialogs);
        test::UseSettingsFolder(dir.path());
        form = std::make_unique<TMainForm>(dialogs, QString::fromStdString(dir.path()));
        form->findChild<QTabWidget*>("pgcMain")->setCurrentIndex(2); // fills the genre list
    }
    void TearDown() override {
        form.reset();
        ErrorHandler::setDialogs(nullptr);
    }

    // A temporary copy of a committed sample.
    QString sample(const char* name) {
        const std::string copy = dir.file(name);
        std::filesystem::copy_file(test::TestDataDir() + "/tags/" + name, copy);
        return QString::fromStdString(copy);
    }
    void open(const QString& path) {
        dialogs.queueOpenFile(path);
        button("btnOpenTag")->click();
    }
    QAbstractButton* button(const char* name) { return form->findChild<QAbstractButton*>(name); }
    QLineEdit* edit(const char* name) { return form->findChild<QLineEdit*>(name); }
    QString text(const char* name) { return edit(name)->text(); }
    QCheckBox* box(const char* name) { return form->findChild<QCheckBox*>(name); }
    QString title(const char* name) { return form->findChild<QGroupBox*>(name)->title(); }
    QComboBox* genres() { return form->findChild<QComboBox*>("GenreComboBox1"); }
    QPlainTextEdit* memo() { return form->findChild<QPlainTextEdit*>("CommentMemo"); }

    FakeDialogs dialogs;
    TempDir dir;
    std::unique_ptr<TMainForm> form;
};

TEST_F(TagPageTest, TheGenreListIsFilledOnceWithAnEmptyFirstEntry) {
    auto* pages = form->findChild<QTabWidget*>("pgcMain");
    pages->setCurrentIndex(0);
    pages->setCurrentIndex(2);
    ASSERT_EQ(genres()->count(), 149);
    EXPECT_EQ(genres()->itemText(0), "");
    EXPECT_EQ(genres()->itemText(1), "Blues");
    EXPECT_EQ(genres()->itemText(18), "Rock");
    EXPECT_EQ(genres()->itemText(134), "Afro-Punk");
}

TEST_F(TagPageTest, AFileWithBothTagsFillsBothGroups) {
    open(sample("id3v2-tool.mp3"));
    EXPECT_TRUE(box("chkTagExists1")->isChecked());
    EXPECT_EQ(title("gpbID3v1"), "ID3v1 - Version 1.1");
    EXPECT_EQ(text("TitleEdit1"), "Song Title");
    EXPECT_EQ(text("ArtistEdit1"), "Some Artist");
    EXPECT_EQ(text("AlbumEdit1"), "An Album");
    EXPECT_EQ(text("YearEdit1"), "2001");
    EXPECT_EQ(text("TrackEdit1"), "3");
    EXPECT_EQ(text("CommentEdit1"), "hello");
    EXPECT_EQ(genres()->currentText(), "Rock");
    EXPECT_TRUE(box("chkTagExists")->isChecked());
    EXPECT_EQ(title("gpbID3v2"), "ID3v2 - Version 2.3");
    EXPECT_EQ(text("TitleEdit"), "Song Title");
    EXPECT_EQ(text("TrackEdit"), "3");
    EXPECT_EQ(text("GenreEdit"), ""); // the tagger wrote "(17)": no number is looked up
    EXPECT_EQ(memo()->toPlainText(), "hello");
    EXPECT_TRUE(edit("TitleEdit1")->isEnabled());
    EXPECT_TRUE(edit("TitleEdit")->isEnabled());
}

TEST_F(TagPageTest, VersionOneZeroShowsTrackZeroAndAMissingV2TagDisablesItsGroup) {
    open(sample("id3v2-tool-v10.mp3"));
    EXPECT_EQ(title("gpbID3v1"), "ID3v1 - Version 1.0");
    EXPECT_EQ(text("TrackEdit1"), "0");
    EXPECT_EQ(text("CommentEdit1"), "abcdefghijklmnopqrstuvwxyz1234");
    EXPECT_FALSE(box("chkTagExists")->isChecked());
    EXPECT_EQ(title("gpbID3v2"), "ID3v2");
    for (const char* name : {"TrackEdit", "TitleEdit", "ArtistEdit", "AlbumEdit", "YearEdit", "GenreEdit"}) {
        EXPECT_FALSE(edit(name)->isEnabled()) << name;
        EXPECT_NE(edit(name)->palette().color(QPalette::Base), edit("TitleEdit1")->palette().color(QPalette::Base))
            << name << " keeps the colour of an enabled field";
    }
    EXPECT_FALSE(memo()->isEnabled());
    EXPECT_TRUE(box("chkTagExists")->isEnabled());
    box("chkTagExists")->click(); // the user ticks the box: the fields open
    EXPECT_TRUE(edit("TitleEdit")->isEnabled());
}

TEST_F(TagPageTest, AMissingFileClearsTheGroupsButLeavesTheirFieldsAsTheyWere) {
    edit("TitleEdit1")->setText("typed");
    edit("TitleEdit")->setText("typed");
    dialogs.queueMessageResult(MessageResult::Yes); // the typed texts may go
    open(QString::fromStdString(dir.file("missing.mp3")));
    EXPECT_EQ(text("TitleEdit1"), "");
    EXPECT_EQ(text("TitleEdit"), "");
    EXPECT_FALSE(box("chkTagExists1")->isChecked());
    // At start the fields are open with their boxes unticked; nothing was
    // read that could close them.
    for (const char* name : {"TitleEdit1", "TrackEdit1", "TitleEdit", "GenreEdit"})
        EXPECT_TRUE(edit(name)->isEnabled()) << name;
    EXPECT_TRUE(genres()->isEnabled());
    EXPECT_TRUE(memo()->isEnabled());
}

TEST_F(TagPageTest, AVersion24TagShowsItsFields) {
    open(sample("mid3v2-v24.mp3"));
    EXPECT_TRUE(box("chkTagExists")->isChecked());
    EXPECT_EQ(title("gpbID3v2"), "ID3v2 - Version 2.4");
    EXPECT_EQ(text("TitleEdit"), "Four");
    EXPECT_EQ(text("TrackEdit"), "9");
    EXPECT_FALSE(box("chkTagExists1")->isChecked());
    EXPECT_EQ(genres()->currentIndex(), 0);
}

TEST_F(TagPageTest, ShowingThePageReadsTheSplitPagesFileAndUnsavedEditsAreAskedFor) {
    const QString file = sample("id3v2-tool.mp3");
    const QString other = sample("id3v2-tool-v10.mp3");
    auto* pages = form->findChild<QTabWidget*>("pgcMain");
    const auto showSplitFile = [&](const QString& path) {
        pages->setCurrentIndex(0);
        edit("edtFile")->setText(path);
        pages->setCurrentIndex(2);
    };
    showSplitFile(file);
    EXPECT_EQ(text("edtFileTag"), file);
    EXPECT_EQ(text("TitleEdit1"), "Song Title");

    // Each step with unsaved edits: what the user answers (if asked), whether
    // a question came, and the title field after it.
    struct Step {
        const char* what;
        std::function<void()> act;
        std::optional<MessageResult> answer;
        QString titleAfter;
    };
    const Step steps[] = {
        {"Open cancelled", [&] { button("btnOpenTag")->click(); }, std::nullopt, "unsaved"},
        {"back to the same file", [&] { showSplitFile(file); }, std::nullopt, "unsaved"},
        {"another file, kept", [&] { showSplitFile(other); }, MessageResult::No, "unsaved"},
        {"Open of another file, kept", [&] { open(other); }, MessageResult::No, "unsaved"},
        {"Open of another file, discarded", [&] { open(other); }, MessageResult::Yes, "Title Ten"},
    };
    for (const Step& step : steps) {
        edit("TitleEdit1")->setText("unsaved");
        dialogs.clear();
        if (step.answer)
            dialogs.queueMessageResult(*step.answer);
        step.act();
        EXPECT_EQ(dialogs.messages().size(), step.answer ? 1u : 0u) << step.what;
        EXPECT_EQ(text("TitleEdit1"), step.titleAfter) << step.what;
        EXPECT_EQ(form->TagPage()->HasUnsavedEdits(), step.titleAfter == "unsaved") << step.what;
    }
    EXPECT_EQ(text("edtFileTag"), other);

    // A save is confirmed in the status line and leaves nothing to ask about.
    edit("TitleEdit1")->setText("Saved Title");
    button("Button3")->click();
    EXPECT_TRUE(form->findChild<QLabel*>("labStatus")->text().startsWith("Saved the ID3v1 tag of id3v2-tool-v10.mp3"));
    EXPECT_FALSE(form->TagPage()->HasUnsavedEdits());
    dialogs.clear();
    open(file);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(text("TitleEdit1"), "Song Title");

    // An empty file field on the split page leaves the groups alone.
    pages->setCurrentIndex(0);
    edit("edtFile")->clear();
    edit("TitleEdit1")->setText("kept");
    dialogs.queueMessageResult(MessageResult::No);
    pages->setCurrentIndex(2);
    EXPECT_EQ(text("TitleEdit1"), "kept");
}

TEST_F(TagPageTest, CopyButtonsCarryFieldsAcrossAndMatchGenresWithoutCase) {
    open(sample("id3v2-tool-v10.mp3"));
    button("Button1")->click();
    EXPECT_TRUE(box("chkTagExists")->isChecked());
    EXPECT_TRUE(edit("TitleEdit")->isEnabled());
    EXPECT_EQ(text("TitleEdit"), "Title Ten");
    EXPECT_EQ(text("TrackEdit"), "0");
    EXPECT_EQ(text("GenreEdit"), genres()->itemText(81));
    EXPECT_EQ(memo()->toPlainText(), "abcdefghijklmnopqrstuvwxyz1234");

    const struct {
        const char* genre;
        const char* selected;
    } cases[] = {{"rock", "Rock"}, {"", ""}, {"no such genre", ""}, {"JAZZ", "Jazz"}, {"nope", "Jazz"}};
    for (const auto& c : cases) {
        edit("GenreEdit")->setText(c.genre);
        button("Button2")->click();
        EXPECT_EQ(genres()->currentText(), c.selected) << c.genre;
    }
    const QString longTitle(40, QLatin1Char('t'));
    edit("TitleEdit")->setText(longTitle);
    button("Button2")->click();
    EXPECT_EQ(text("TitleEdit1"), longTitle) << "the copy cut the title";

    box("chkTagExists1")->setChecked(false);
    edit("TitleEdit1")->setText("one");
    button("Button1")->click(); // does nothing with the ID3v1 box unchecked
    EXPECT_EQ(text("TitleEdit"), longTitle);
}

TEST_F(TagPageTest, UpdateAllWritesBothTagsAndTrackTextsFollowTheIntegerSyntax) {
    const QString file = sample("plain.mp3");
    const struct {
        const char* typed;
        uint8_t stored;
    } tracks[] = {{"0", 0}, {"-3", 0}, {"ab", 0}, {"$1F", 31}, {"12", 12}, {"300", 44}};
    for (const auto& t : tracks) {
        open(file);
        box("chkTagExists1")->setChecked(true);
        box("chkTagExists")->setChecked(true);
        edit("TitleEdit1")->setText(QString(40, QLatin1Char('x')));
        edit("TrackEdit1")->setText(t.typed);
        edit("TitleEdit")->setText("Long Title");
        edit("TrackEdit")->setText(t.typed);
        edit("GenreEdit")->setText("Trip-Hop");
        genres()->setCurrentIndex(0);
        memo()->setPlainText("line one");
        button("Button3")->click();

        TID3v1 v1;
        ASSERT_TRUE(v1.Load(file.toStdString()));
        EXPECT_TRUE(v1.Exists());
        EXPECT_EQ(v1.Title(), std::string(30, 'x'));
        EXPECT_EQ(v1.Track(), t.stored) << t.typed;
        EXPECT_EQ(v1.GenreIndex(), 255);
        TID3v2 v2;
        ASSERT_TRUE(v2.Load(file.toStdString()));
        EXPECT_EQ(v2.MajorVersion(), 3);
        EXPECT_EQ(v2.Title(), "Long Title");
        EXPECT_EQ(v2.Track(), t.stored) << t.typed;
        EXPECT_EQ(v2.Genre(), "Trip-Hop");
        EXPECT_EQ(v2.Comment(), "line one");
    }
    // A tagger reads what the page wrote.
    const std::string listing = test::CommandOutput("id3v2 -l '" + file.toStdString() + "'");
    EXPECT_NE(listing.find("Long Title"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Trip-Hop"), std::string::npos) << listing;
    EXPECT_NE(listing.find(std::string(30, 'x')), std::string::npos) << listing;
}

// Text beyond Latin-1 is kept in ID3v2 and said once for ID3v1; a save that
// fails says so, naming the file and the reason.
TEST_F(TagPageTest, UpdateAllKeepsEveryCharacterAndReportsWhatItCannotDo) {
    const QString file = sample("plain.mp3");
    const QString typed = QString::fromUtf8("Zo\xc3\xab \xe2\x82\xac \xe6\x9d\xb1\xe4\xba\xac");
    open(file);
    box("chkTagExists1")->setChecked(true);
    box("chkTagExists")->setChecked(true);
    edit("TitleEdit1")->setText(typed);
    edit("TitleEdit")->setText(typed);
    button("Button3")->click();
    TID3v2 v2;
    ASSERT_TRUE(v2.Load(file.toStdString()));
    EXPECT_EQ(QString::fromStdString(v2.Title()), typed);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "The ID3v1 tag holds Latin-1 characters only: Title was saved with \"?\" for "
                                          "the characters it cannot hold. The ID3v2 tag keeps every character.");
    open(file);
    EXPECT_EQ(text("TitleEdit"), typed);
    EXPECT_EQ(text("TitleEdit1"), QString::fromUtf8("Zo\xc3\xab ? ??"));

    const test::ExclusiveLock lock(file.toStdString()); // another program holds the file
    button("Button3")->click();
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].caption, "Error");
    EXPECT_EQ(dialogs.messages()[1].text,
              "Cannot write the tags of \"" + file + "\". Another program holds the file locked.");
}

// An unticked box writes nothing, so its tag stays in the file; the status
// line says so instead of "saved", and says when a read-only mark was taken
// off the file.
TEST_F(TagPageTest, TheStatusLineSaysWhatUpdateAllWroteAndLeft) {
    const struct {
        bool v1, v2, readOnly;
        const char* v1Title;
        const char* v2Title;
        QString status; // "@" for the time
    } cases[] = {
        {true, false, false, "New One", "Song Title",
         "Saved the ID3v1 tag of id3v2-tool.mp3 at @. The ID3v2 box is unticked: that tag is left in the file as it "
         "is."},
        {false, true, true, "Song Title", "New One",
         "Saved the ID3v2 tag of id3v2-tool.mp3 at @. The ID3v1 box is unticked: that tag is left in the file as it "
         "is. The file's read-only mark was removed."},
        {false, false, false, "Song Title", "Song Title",
         "Nothing was saved: both tag boxes are unticked, and an unticked box leaves its tag in the file as it is."},
    };
    for (const auto& c : cases) {
        const QString file = sample("id3v2-tool.mp3");
        if (c.readOnly)
            std::filesystem::permissions(file.toStdString(), std::filesystem::perms::owner_read);
        open(file);
        box("chkTagExists1")->setChecked(c.v1);
        box("chkTagExists")->setChecked(c.v2);
        edit("TitleEdit1")->setText("New One");
        edit("TitleEdit")->setText("New One");
        button("Button3")->click();
        TID3v1 v1;
        TID3v2 v2;
        ASSERT_TRUE(v1.Load(file.toStdString()));
        ASSERT_TRUE(v2.Load(file.toStdString()));
        EXPECT_EQ(v1.Title(), c.v1Title);
        EXPECT_EQ(v2.Title(), c.v2Title);
        QString status = form->findChild<QLabel*>("labStatus")->text();
        status.replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d"), "@");
        EXPECT_EQ(status, c.status);
        std::filesystem::remove(file.toStdString());
    }
}

// Closing the window with unsaved edits asks, naming the file the edits
// belong to (not a name typed since), and Enter keeps them.
TEST_F(TagPageTest, ClosingWithUnsavedEditsAsksAboutTheirFile) {
    const QString file = sample("id3v2-tool.mp3");
    open(file);
    form->show();
    edit("TitleEdit")->setText("unsaved");
    edit("edtFileTag")->setText("/typed/not/opened.mp3");
    EXPECT_FALSE(form->close()) << "closed without asking, on Enter";
    dialogs.queueMessageResult(MessageResult::No);
    EXPECT_FALSE(form->close());
    EXPECT_EQ(text("TitleEdit"), "unsaved");
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].text,
              "The tags of \"" + file + "\" have changes that are not saved. Discard them and quit?");
    dialogs.queueMessageResult(MessageResult::Yes);
    EXPECT_TRUE(form->close());
}

// "Updat All" writes the file whose tags are shown, not a name typed since,
// and asks before it overwrites what another program wrote meanwhile.
TEST_F(TagPageTest, UpdateAllWritesTheShownFileAndAsksBeforeOverwritingAChangeOnDisk) {
    const QString shown = sample("id3v2-tool.mp3");
    const QString typed = sample("plain.mp3");
    const test::Bytes untouched = test::ReadFileBytes(typed.toStdString());
    open(shown);
    edit("TitleEdit")->setText("Mine");
    edit("edtFileTag")->setText(typed);
    button("Button3")->click();
    TID3v2 v2;
    ASSERT_TRUE(v2.Load(shown.toStdString()));
    EXPECT_EQ(v2.Title(), "Mine");
    EXPECT_EQ(test::ReadFileBytes(typed.toStdString()), untouched);
    EXPECT_EQ(text("edtFileTag"), shown);
    EXPECT_TRUE(dialogs.messages().empty());

    const struct {
        std::vector<MessageResult> answers; // none: Enter on each question
        const char* inFile;
        const char* onPage;
    } cases[] = {
        {{}, "Theirs", "Mine"},
        {{MessageResult::Yes}, "Mine", "Mine"},
        {{MessageResult::No, MessageResult::Yes}, "Theirs", "Theirs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inFile + std::string(" ") + c.onPage);
        dialogs.clear();
        open(shown);
        edit("TitleEdit")->setText("Mine");
        // Another program retags the file and puts its time back.
        const std::string f = "'" + shown.toStdString() + "'";
        test::CommandOutput("touch -r " + f + " " + f + ".was && mid3v2 -t Theirs " + f + " && touch -r " + f +
                            ".was " + f);
        for (MessageResult answer : c.answers)
            dialogs.queueMessageResult(answer);
        button("Button3")->click();
        ASSERT_FALSE(dialogs.messages().empty());
        EXPECT_EQ(dialogs.messages()[0].text,
                  "\"" + shown + "\" changed on disk since it was loaded. Overwrite those changes?");
        ASSERT_TRUE(v2.Load(shown.toStdString()));
        EXPECT_EQ(v2.Title(), c.inFile);
        EXPECT_EQ(text("TitleEdit"), c.onPage);
    }
}

} // namespace
} // namespace tindrel
