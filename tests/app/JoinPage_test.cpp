// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/JoinPage.h"
#include "app/Main.h"
#include "mpeg/FrameWalk.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "platform/FileStream.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestEnvironment.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFile>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace tindrel {
namespace {

using test::Bytes;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;
using test::TestDataDir;

// The status column, behind the file's length, bit rate and sample rate.
constexpr int kStatus = 4;

class JoinPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorHandler::setDialogs(&dialogs);
        test::UseSettingsFolder(dir.path());
        form = std::make_unique<TMainForm>(dialogs, QString::fromStdString(dir.path()));
        list = form->findChild<QTreeWidget*>("ltvFile");
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override {
        form.reset();
        ErrorHandler::setDialogs(nullptr);
    }

    void click(const char* name) {
        auto* button = form->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }
    // Adds files through the Add button and its multi-select dialog.
    void add(const QStringList& paths) {
        dialogs.queueOpenFiles(paths);
        click("btnAdd");
    }
    QStringList column(int c) const {
        QStringList texts;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            texts << list->topLevelItem(row)->text(c);
        return texts;
    }
    void clickRow(int row) {
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QString write(const char* name, std::size_t size, uint32_t seed) {
        return QString::fromStdString(dir.write(name, PatternBytes(size, seed)));
    }

    FakeDialogs dialogs;
    TempDir dir;
    std::unique_ptr<TMainForm> form;
    QTreeWidget* list = nullptr;
};

TEST_F(JoinPageTest, AddAppendsRowsInTheDialogsOrder) {
    EXPECT_EQ(list->columnCount(), 5);
    EXPECT_EQ(list->headerItem()->text(0), "File Name (Double click to play or stop)");
    EXPECT_EQ(list->headerItem()->text(kStatus), "Status");
    add({"/x/b.mp3", "/x/a.mp3"});
    add({"/x/b.mp3"});
    click("btnAdd"); // cancelled
    EXPECT_EQ(column(0), QStringList({"/x/b.mp3", "/x/a.mp3", "/x/b.mp3"}));
    EXPECT_EQ(column(kStatus), QStringList(3, "Ready"));
}

TEST_F(JoinPageTest, DownAtStartMovesTheFirstFile) {
    add({"a", "b", "c"});
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), 0);
    click("btnDown");
    EXPECT_EQ(column(0), QStringList({"b", "a", "c"}));
    click("btnDown");
    EXPECT_EQ(column(0), QStringList({"b", "c", "a"}));
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), 2);
    click("btnDown"); // the last row stays last
    EXPECT_EQ(column(0), QStringList({"b", "c", "a"}));
    click("btnUp");
    click("btnUp");
    click("btnUp"); // the first row stays first
    EXPECT_EQ(column(0), QStringList({"a", "b", "c"}));
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), 0);
}

TEST_F(JoinPageTest, UpAndDownMovePathsAndTheSelectionButLeaveStatuses) {
    add({"a", "b", "c"});
    list->topLevelItem(2)->setText(kStatus, "Done");
    clickRow(2);
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), 2);
    click("btnUp");
    EXPECT_EQ(column(0), QStringList({"a", "c", "b"}));
    EXPECT_EQ(column(kStatus), QStringList({"Ready", "Ready", "Done"}));
    EXPECT_TRUE(list->topLevelItem(1)->isSelected()) << "the highlight stayed behind the moved file";
    EXPECT_FALSE(list->topLevelItem(2)->isSelected());
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), 1);
}

// Clicking a row that is already part of a wider selection narrows the
// selection only when the button is released; the marked row must be the one
// left selected, not the top of the old selection.
TEST_F(JoinPageTest, ClickOnAnAlreadySelectedRowMarksThatRow) {
    add({"a", "b", "c", "d"});
    for (int row : {0, 1, 2})
        list->topLevelItem(row)->setSelected(true);
    clickRow(2);
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), 2);
    click("btnUp");
    EXPECT_EQ(column(0), QStringList({"a", "c", "b", "d"}));
}

TEST_F(JoinPageTest, RemoveDeletesOnlyTheTopmostSelectedRow) {
    add({"a", "b", "c", "d"});
    for (int row : {3, 1, 2})
        list->topLevelItem(row)->setSelected(true);
    click("btnRemove");
    EXPECT_EQ(column(0), QStringList({"a", "c", "d"}));
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), -1);
    click("btnUp");
    click("btnDown");
    EXPECT_EQ(column(0), QStringList({"a", "c", "d"})) << "Up or Down moved a row after Remove";
    list->clearSelection();
    click("btnRemove"); // nothing selected
    EXPECT_EQ(list->topLevelItemCount(), 3);
    clickRow(1);
    click("btnClear");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), -1);
}

TEST_F(JoinPageTest, KeyboardSelectionDoesNotMarkARow) {
    add({"a", "b", "c"});
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(2));
    EXPECT_EQ(form->JoinPage()->MarkedIndex(), 0);
}

TEST_F(JoinPageTest, JoinWritesTheBodiesAndReportsCompletion) {
    const Bytes first = PatternBytes(10'000, 1);
    const Bytes second = PatternBytes(20'000, 2);
    add({QString::fromStdString(dir.write("a.mp3", first)), QString::fromStdString(dir.write("b.mp3", second))});
    dialogs.queueSaveFile(QString::fromStdString(dir.file("joined.mp3")));
    click("btnJoint");

    ASSERT_EQ(dialogs.saveRequests().size(), 1u);
    EXPECT_EQ(dialogs.saveRequests()[0].defaultExt, "mp3");
    EXPECT_EQ(dialogs.saveRequests()[0].filter, "MP3 Files (*.mp3)|*.mp3");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].caption, "Information");
    EXPECT_EQ(dialogs.messages()[0].text, "Joining is completed.");
    Bytes expected(first.begin() + 2000, first.end() - 128);
    expected.insert(expected.end(), second.begin() + 2000, second.end() - 128);
    EXPECT_EQ(ReadFileBytes(dir.file("joined.mp3")), expected);
    EXPECT_EQ(column(kStatus), QStringList({"Done", "Done"}));
}

TEST_F(JoinPageTest, AnEmptyListOrACancelledDialogWritesNothing) {
    click("btnJoint");
    EXPECT_EQ(dialogs.dialogsShown(), 0);
    add({write("a.mp3", 3000, 1)});
    click("btnJoint"); // the save dialog is cancelled
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(column(kStatus), QStringList({"Ready"}));
}

TEST_F(JoinPageTest, StopDuringTheCopyPassMarksTheRowInProgress) {
    add({write("a.mp3", 5000, 1), write("b.mp3", 5000, 2), write("c.mp3", 5000, 3)});
    // When the first file is done, press Stop; the click is queued, so the
    // join sees it at its next look at the window's events.
    QObject::connect(list, &QTreeWidget::itemChanged, list, [&](QTreeWidgetItem* item, int c) {
        if (c == kStatus && item->text(kStatus) == "Done")
            QMetaObject::invokeMethod(form->findChild<QAbstractButton*>("BitBtn1"), "click", Qt::QueuedConnection);
    });
    dialogs.queueSaveFile(QString::fromStdString(dir.file("out.mp3")));
    click("btnJoint");
    EXPECT_EQ(column(kStatus), QStringList({"Done", "Stopped", "Ready"}));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Joining was stopped: \"" + QString::fromStdString(dir.file("out.mp3")) +
                                              "\" holds the first 1 of the 3 files.");
    EXPECT_EQ(ReadFileBytes(dir.file("out.mp3")).size(), 5000u - 2128u);
}

TEST_F(JoinPageTest, JoinPressedDuringAJoinStartsNoSecondOne) {
    add({write("a.mp3", 5000, 1), write("b.mp3", 5000, 2)});
    QObject::connect(list, &QTreeWidget::itemChanged, list, [&](QTreeWidgetItem* item, int c) {
        if (c == kStatus && item->text(kStatus) == "Done")
            QMetaObject::invokeMethod(form->findChild<QAbstractButton*>("btnJoint"), "click", Qt::QueuedConnection);
    });
    dialogs.queueSaveFile(QString::fromStdString(dir.file("out.mp3")));
    dialogs.queueSaveFile(QString::fromStdString(dir.file("other.mp3")));
    click("btnJoint");
    EXPECT_EQ(dialogs.saveRequests().size(), 1u);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(ReadFileBytes(dir.file("out.mp3")).size(), 2 * (5000u - 2128u));
}

TEST_F(JoinPageTest, ReadAndCreateFailuresAreShownInErrorBoxes) {
    const QString gone = QString::fromStdString(dir.file("gone.mp3"));
    add({write("a.mp3", 5000, 1), gone});
    dialogs.queueSaveFile(QString::fromStdString(dir.file("out.mp3")));
    click("btnJoint");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].caption, "Error");
    EXPECT_EQ(dialogs.messages()[0].text, "Cannot open file \"" + gone + "\". No such file or directory");
    EXPECT_EQ(column(kStatus), QStringList({"Done", "Ready"}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.file("out.mp3")))) << "a failed join left an output";

    dialogs.clear();
    list->topLevelItem(0)->setText(1, "Done");
    const QString badOutput = QString::fromStdString(dir.file("no-such-folder/out.mp3"));
    dialogs.queueSaveFile(badOutput);
    click("btnJoint");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Cannot create file \"" + badOutput + "\". No such file or directory");
    EXPECT_EQ(column(kStatus), QStringList({"Done", "Ready"})) << "a failed create changed a status";
}

TEST_F(JoinPageTest, AnInputIsNeverChosenAsTheOutput) {
    const Bytes original = PatternBytes(9000, 4);
    const std::string a = dir.write("a.mp3", original);
    add({write("b.mp3", 5000, 1), QString::fromStdString(a)});
    dialogs.queueSaveFile(QString::fromStdString(dir.path() + "/./a.mp3"));
    click("btnJoint");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].caption, "Information");
    EXPECT_EQ(dialogs.messages()[0].text, "The output file can not be one of the files to join.");
    EXPECT_EQ(ReadFileBytes(a), original);
    EXPECT_EQ(column(kStatus), QStringList({"Ready", "Ready"}));
}

// The Exact box, below Stop and shown whole, makes the join exact: the
// frames of both files behind one Info frame that counts them all.
TEST_F(JoinPageTest, TheExactBoxJoinsTheFrames) {
    auto* box = form->findChild<QCheckBox*>("chkExactJoin");
    ASSERT_NE(box, nullptr);
    EXPECT_LE(box->sizeHint().width(), box->width());
    EXPECT_TRUE(box->parentWidget()->rect().contains(box->geometry()));
    const std::string source = TestDataDir() + "/app/ten-seconds.mp3";
    add({QString::fromStdString(source), QString::fromStdString(source)});
    box->setChecked(true);
    dialogs.queueSaveFile(QString::fromStdString(dir.file("joined.mp3")));
    click("btnJoint");
    EXPECT_EQ(dialogs.messages().size(), 1u);
    const FileStream one = FileStream::openRead(source);
    const FileStream joined = FileStream::openRead(dir.file("joined.mp3"));
    const TFrameWalk walk = WalkFrames(joined, 0, joined.size());
    EXPECT_EQ(walk.Info.FrameCount, 2 * int64_t(WalkFrames(one, 0, one.size()).Frames.size()));
    EXPECT_EQ(walk.Info.FrameCount, int64_t(walk.Frames.size()));
}

// Files of another sample rate or channel count are asked about before
// anything is asked or written (Enter keeps them apart), and refused before
// the output's name is asked when the join is exact.
TEST_F(JoinPageTest, FilesUnlikeTheFirstAreAskedAboutOrRefusedBeforeTheOutputIsNamed) {
    const QString stereo = QString::fromStdString(TestDataDir() + "/app/ten-seconds.mp3");
    const QString mono = QString::fromStdString(TestDataDir() + "/app/vbr-untagged.mp3");
    add({stereo, mono});
    const struct {
        bool exact;
        std::optional<MessageResult> answer;
        const char* caption;
        bool joined;
    } cases[] = {
        {false, std::nullopt, "Confirm", false},
        {false, MessageResult::Yes, "Confirm", true},
        {true, MessageResult::Yes, "Error", false},
    };
    for (const auto& c : cases) {
        const std::string output = dir.file("joined.mp3");
        std::filesystem::remove(output);
        dialogs.clear();
        form->findChild<QCheckBox*>("chkExactJoin")->setChecked(c.exact);
        if (c.answer)
            dialogs.queueMessageResult(*c.answer);
        dialogs.queueSaveFile(QString::fromStdString(output));
        click("btnJoint");
        ASSERT_FALSE(dialogs.messages().empty());
        EXPECT_EQ(dialogs.messages()[0].caption, c.caption);
        EXPECT_TRUE(dialogs.messages()[0].text.contains("vbr-untagged.mp3: mono, the first file is stereo"))
            << dialogs.messages()[0].text.toStdString();
        EXPECT_EQ(dialogs.saveRequests().size(), c.joined ? 1u : 0u);
        EXPECT_EQ(std::filesystem::exists(output), c.joined);
    }
}

// An output the user marked read-only is replaced only after asking.
TEST_F(JoinPageTest, AReadOnlyOutputIsReplacedOnlyWhenTheUserSaysSo) {
    add({write("a.mp3", 5000, 1)});
    const std::string kept = dir.write("kept.mp3", Bytes(10, 7));
    std::filesystem::permissions(kept, std::filesystem::perms::owner_read);
    for (const auto answer : {MessageResult::No, MessageResult::Yes}) {
        dialogs.clear();
        dialogs.queueMessageResult(answer);
        dialogs.queueSaveFile(QString::fromStdString(kept));
        click("btnJoint");
        ASSERT_FALSE(dialogs.messages().empty());
        EXPECT_EQ(dialogs.messages()[0].text, "\"" + QString::fromStdString(kept) +
                                                  "\" is marked read-only. Replace it all the same (its read-only "
                                                  "mark is removed)?");
        EXPECT_EQ(ReadFileBytes(kept).size(), answer == MessageResult::No ? 10u : 5000u - 2128u);
    }
}

} // namespace
} // namespace tindrel
