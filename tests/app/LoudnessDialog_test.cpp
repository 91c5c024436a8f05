// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// The Loudness window from the Edit Tag and Join pages: its wiring; the
// measuring and the gain rules are the core's tests.
#include "app/JoinPage.h"
#include "app/LoudnessDialog.h"
#include "app/TagPage.h"
#include "tags/ID3v2.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/WaitFor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>

namespace tindrel {
namespace {

class LoudnessDialogTest : public test::WindowFixture {
protected:
    std::string mp3(const char* name) {
        const std::string copy = dir.file(name);
        std::filesystem::copy_file(test::TestDataDir() + "/mpeg/" + name, copy);
        return copy;
    }
    // Clicks the page's Loudness button and waits for the figures.
    TLoudnessDialog* measure(QWidget* page) {
        page->findChild<QAbstractButton*>("btnLoudness")->click();
        auto* window = page->findChild<TLoudnessDialog*>("frmLoudness");
        EXPECT_TRUE(window && window->isVisible());
        if (window) {
            EXPECT_TRUE(test::WaitFor([&] { return !window->Scanning() && !window->Scan().Tracks.empty(); }, 10'000));
        }
        return window;
    }
    QString cell(TLoudnessDialog* window, int row, int column) {
        return window->findChild<QTableWidget*>("grdLoudness")->item(row, column)->text();
    }
    void press(TLoudnessDialog* window, const char* name) { window->findChild<QAbstractButton*>(name)->click(); }
};

TEST_F(LoudnessDialogTest, TagPageMeasuresWritesAppliesAndUndoesTheOpenFile) {
    const std::string file = mp3("cbr128_tags.mp3");
    form->findChild<QTabWidget*>("pgcMain")->setCurrentIndex(2);
    dialogs.queueOpenFile(QString::fromStdString(file));
    form->TagPage()->findChild<QAbstractButton*>("btnOpenTag")->click();
    TLoudnessDialog* window = measure(form->TagPage());
    ASSERT_TRUE(window);
    EXPECT_EQ(cell(window, 0, 1), "-7.05");
    EXPECT_EQ(cell(window, 0, 4), "-10.95");

    press(window, "btnWriteTags");
    TID3v2 tag;
    ASSERT_TRUE(tag.Load(file));
    EXPECT_EQ(tag.UserText("REPLAYGAIN_TRACK_GAIN"), "-10.95 dB");
    EXPECT_EQ(tag.Title(), "Sample Title");
    const std::string peak = tag.UserText("REPLAYGAIN_TRACK_PEAK");
    press(window, "btnApply");
    EXPECT_EQ(cell(window, 0, 4), "-0.42") << "seven steps of 1.505 dB";
    ASSERT_TRUE(tag.Load(file));
    EXPECT_EQ(tag.UserText("REPLAYGAIN_TRACK_GAIN"), "-0.41 dB") << "the frame moved from its own text";
    press(window, "btnUndo");
    ASSERT_TRUE(tag.Load(file));
    EXPECT_EQ(tag.UserText("REPLAYGAIN_TRACK_GAIN"), "-10.95 dB");
    EXPECT_NEAR(std::stod(tag.UserText("REPLAYGAIN_TRACK_PEAK")), std::stod(peak), 0.000002);
    ASSERT_TRUE(test::WaitFor([&] { return !window->Scanning() && !window->Scan().Tracks.empty(); }, 10'000));
    EXPECT_EQ(cell(window, 0, 4), "-10.95");
    EXPECT_TRUE(messages().isEmpty()) << messages().join("\n").toStdString();
}

TEST_F(LoudnessDialogTest, JoinPageMeasuresTheListAsAnAlbum) {
    form->JoinPage()->addFiles(
        {QString::fromStdString(mp3("cbr128.mp3")), QString::fromStdString(mp3("mono_cbr64.mp3"))});
    TLoudnessDialog* window = measure(form->JoinPage());
    ASSERT_TRUE(window);
    ASSERT_EQ(window->findChild<QTableWidget*>("grdLoudness")->rowCount(), 3);
    EXPECT_EQ(cell(window, 1, 1), "-10.13");
    EXPECT_EQ(cell(window, 2, 0), "Album");
    EXPECT_EQ(cell(window, 2, 1), "-8.32");
}

// Edits on the Tag page not saved yet and the frames the window writes
// meanwhile both reach the file when the page is saved.
TEST_F(LoudnessDialogTest, TagPageKeepsItsEditsAndTheWindowsFrames) {
    const std::string file = mp3("cbr128_tags.mp3");
    form->findChild<QTabWidget*>("pgcMain")->setCurrentIndex(2);
    dialogs.queueOpenFile(QString::fromStdString(file));
    form->TagPage()->findChild<QAbstractButton*>("btnOpenTag")->click();
    form->TagPage()->findChild<QGroupBox*>("gpbID3v2")->findChild<QLineEdit*>("TitleEdit")->setText("Edited");
    TLoudnessDialog* window = measure(form->TagPage());
    ASSERT_TRUE(window);
    press(window, "btnWriteTags");
    press(window, "btnClose");
    form->TagPage()->findChild<QAbstractButton*>("Button3")->click();
    TID3v2 tag;
    ASSERT_TRUE(tag.Load(file));
    EXPECT_EQ(tag.Title(), "Edited");
    EXPECT_EQ(tag.UserText("REPLAYGAIN_TRACK_GAIN"), "-10.95 dB");
}

// After a gain change the album row is what measuring gives: one change
// for all files moves it by that change, changes that differ measure it
// again.
TEST_F(LoudnessDialogTest, ApplyKeepsTheAlbumRowCurrent) {
    form->JoinPage()->addFiles(
        {QString::fromStdString(mp3("cbr128.mp3")), QString::fromStdString(mp3("mono_cbr64.mp3"))});
    TLoudnessDialog* window = measure(form->JoinPage());
    ASSERT_TRUE(window);
    window->findChild<QCheckBox*>("chkNoClip")->setChecked(false);
    for (const int how : {1, 0}) { // the album's gain, then each track's
        const QString before = cell(window, 2, 1);
        window->findChild<QComboBox*>("cmbApply")->setCurrentIndex(how);
        press(window, "btnApply");
        ASSERT_TRUE(test::WaitFor([&] { return !window->Scanning() && !window->Scan().Tracks.empty(); }, 10'000));
        const QString after = cell(window, 2, 1);
        EXPECT_NE(after, before) << how;
        press(window, "btnMeasure");
        ASSERT_TRUE(test::WaitFor([&] { return !window->Scanning() && !window->Scan().Tracks.empty(); }, 10'000));
        EXPECT_NEAR(after.toDouble(), cell(window, 2, 1).toDouble(), 0.02) << how;
    }
}

} // namespace
} // namespace tindrel
