// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
// The split page's window for cuts at pauses and by a CUE sheet: its
// wiring; the rules themselves are the core's tests.
#include "app/PauseDialog.h"
#include "app/SplitPage.h"
#include "app/Waveform.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/SoundFile.h"
#include "tests/support/WaitFor.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <functional>

namespace tindrel {
namespace {

namespace fs = std::filesystem;
using test::Sound;

class PauseDialogTest : public test::WindowFixture {
protected:
    // Opens the recording on the page and its pause window.
    TPauseDialog* openWindow(const std::string& source) {
        open(source);
        click("btnPauses");
        auto* window = form->findChild<TPauseDialog*>("frmPauses");
        EXPECT_TRUE(window && window->isVisible());
        return window;
    }
    template <typename W> W* in(TPauseDialog* window, const char* name) { return window->findChild<W*>(name); }
    QStringList cutTexts(TPauseDialog* window) {
        QStringList texts;
        auto* grid = in<QTableWidget>(window, "grdCuts");
        for (int i = 0; i < grid->rowCount(); ++i)
            texts << grid->item(i, 0)->text() + " " + grid->item(i, 2)->text();
        return texts;
    }
    // Presses Find and waits for the scan.
    void find(TPauseDialog* window) {
        in<QAbstractButton>(window, "btnFind")->click();
        ASSERT_TRUE(test::WaitFor([&] { return !window->Scanning(); }, 10'000));
    }
    // Pauses at 1-2 s and 3-3.5 s in 5.5 s.
    std::string talk() {
        return test::MakeMp3(
            dir.path(), "talk.mp3",
            {{Sound::Tone, 1}, {Sound::Zero, 1}, {Sound::Tone, 1}, {Sound::Zero, 0.5}, {Sound::Tone, 2}});
    }
};

TEST_F(PauseDialogTest, FindsPausesInTheBackgroundPlaysACutAndSplitsAtTheCutsTheUserKept) {
    const std::string source = talk();
    ASSERT_FALSE(source.empty());
    TPauseDialog* window = openWindow(source);
    ASSERT_TRUE(window);
    in<QRadioButton>(window, "rdbSilences")->click();
    in<QAbstractButton>(window, "btnFind")->click();
    ASSERT_TRUE(test::WaitFor([&] { return !window->Scanning() && !window->PlannedCuts().empty(); }, 10'000));
    EXPECT_EQ(in<QListWidget>(window, "lstPauses")->count(), 2);
    ASSERT_EQ(window->PlannedCuts().size(), 2u);
    EXPECT_NEAR(double(window->PlannedCuts()[0]), 1500, 26);
    EXPECT_NEAR(double(window->PlannedCuts()[1]), 3250, 26);
    // The waveform shows both pauses and both cuts before anything is written.
    const auto& marks = form->SplitPage()->Waveform()->markers();
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_NEAR(double(marks[0].startMs), 1000, 26);
    EXPECT_EQ(marks[2].startMs, window->PlannedCuts()[0]);
    EXPECT_EQ(marks[2].endMs, marks[2].startMs) << "a cut is a line";

    // A double-click plays from 2 s before the cut, in whole seconds.
    auto* grid = in<QTableWidget>(window, "grdCuts");
    // Without Exact the cuts fall between whole frames of 26.122 ms.
    EXPECT_EQ(grid->item(0, 1)->text().toStdString() + " " + grid->item(1, 1)->text().toStdString(),
              "00:01.490 00:03.240");
    emit grid->cellDoubleClicked(1, 0);
    EXPECT_EQ(form->Player()->Mode(), TPlayerMode::Playing);
    EXPECT_NEAR(double(form->Player()->GetPosition()), 1'000, 50);
    form->SplitPage()->sbtnStopClick();

    // Moving a cut by its time; a move past the next cut, or a text that is
    // no time, refused with its own reason; dropping one.
    grid->item(1, 0)->setText("00:03.300");
    EXPECT_EQ(window->PlannedCuts()[1], 3300);
    grid->item(0, 0)->setText("00:04.000");
    grid->item(0, 0)->setText("abc");
    EXPECT_EQ(messages(),
              QStringList({"Information: A cut must lie after the cut before it and before the one after it.",
                           "Information: \"abc\" is not a time. Type it as mm:ss.mmm."}));
    EXPECT_NEAR(double(window->PlannedCuts()[0]), 1500, 26);
    grid->setCurrentCell(0, 0);
    in<QAbstractButton>(window, "btnDrop")->click();
    EXPECT_EQ(cutTexts(window), QStringList("00:03.300 talk_chunk_2.mp3"));
    EXPECT_EQ(form->SplitPage()->Waveform()->markers().size(), 3u) << "the dropped cut is gone from the waveform";

    dialogs.clear();
    fs::create_directory(dir.file("out"));
    dialogs.queueFolder(QString::fromStdString(dir.file("out")));
    in<QAbstractButton>(window, "btnSplitAtCuts")->click();
    EXPECT_EQ(messages(), QStringList("Information: Splitting MP3 is completed."));
    EXPECT_TRUE(fs::exists(dir.file("out/talk_chunk_2.mp3")));
    EXPECT_FALSE(fs::exists(dir.file("out/talk_chunk_3.mp3")));
}

// The window stays beside the page: its preview stops every way a user
// would try, its count of parts is its own, it follows the file the page
// shows, and Split waits for cuts to split at.
TEST_F(PauseDialogTest, IsNotModalItsPreviewStopsAndItFollowsThePage) {
    const std::string source = talk();
    ASSERT_FALSE(source.empty());
    TPauseDialog* window = openWindow(source);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    auto* split = in<QAbstractButton>(window, "btnSplitAtCuts");
    EXPECT_FALSE(split->isEnabled());
    EXPECT_EQ(split->toolTip(), "Press Find to plan the cuts.");

    auto* parts = in<QSpinBox>(window, "spnParts");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->value(), 2) << "starts from the page's count, in sight";
    parts->setValue(3);
    find(window);
    EXPECT_EQ(window->PlannedCuts().size(), 2u);
    EXPECT_TRUE(split->isEnabled());
    const QColor cut = form->SplitPage()->Waveform()->markers().back().color;
    EXPECT_TRUE(cut.hsvHue() > 60 && cut.hsvHue() < 300) << "a cut looks like the red play position";

    auto* grid = in<QTableWidget>(window, "grdCuts");
    const std::pair<const char*, std::function<void()>> stops[] = {
        {"the same cut again", [&] { emit grid->cellDoubleClicked(0, 0); }},
        {"Stop playing", [&] { in<QAbstractButton>(window, "btnStopPlay")->click(); }},
        {"Escape", [&] { QTest::keyClick(window, Qt::Key_Escape); }},
        {"closing the window", [&] { window->close(); }},
    };
    for (const auto& [how, stop] : stops) {
        SCOPED_TRACE(how);
        window->show();
        emit grid->cellDoubleClicked(0, 0);
        ASSERT_EQ(form->Player()->Mode(), TPlayerMode::Playing);
        stop();
        EXPECT_NE(form->Player()->Mode(), TPlayerMode::Playing);
        EXPECT_EQ(window->isVisible(), how != std::string("closing the window")) << "Escape stops, then closes";
    }

    // Another file on the page: the window drops the plan of the first, and
    // the waveform shows none.
    window->show();
    open(sample("ten-seconds.mp3"));
    EXPECT_TRUE(window->PlannedCuts().empty());
    EXPECT_TRUE(form->SplitPage()->Waveform()->markers().empty());
    EXPECT_FALSE(split->isEnabled());

    // Nothing found: Split stays off and the note says why.
    in<QRadioButton>(window, "rdbSilences")->click();
    in<QDoubleSpinBox>(window, "spnMinSilence")->setValue(3000);
    find(window);
    EXPECT_FALSE(split->isEnabled());
    EXPECT_TRUE(in<QLabel>(window, "labNote")->text().startsWith("No pause of at least 50:00.000"))
        << in<QLabel>(window, "labNote")->text().toStdString();
    EXPECT_EQ(split->toolTip(), in<QLabel>(window, "labNote")->text());
    EXPECT_TRUE(dialogs.messages().empty()) << messages().join('\n').toStdString();
}

TEST_F(PauseDialogTest, TakesTheSheetBesideTheFileAndCutsThePiecesItNamesAsThePageCuts) {
    const std::string source = test::MakeMp3(dir.path(), "album.mp3", {{Sound::Tone, 4}});
    ASSERT_FALSE(source.empty());
    const std::string sheet = "TITLE \"Album\"\nFILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"First\"\n"
                              "INDEX 01 00:00:00\nTRACK 02 AUDIO\nTITLE \"Second\"\nINDEX 01 00:02:00\n"
                              "TRACK 03 AUDIO\nINDEX 01 00:09:00\nFILE \"bonus.wav\" WAVE\nTRACK 04 AUDIO\n"
                              "INDEX 01 00:00:00\n";
    dir.write("album.cue", test::Bytes(sheet.begin(), sheet.end()));
    form->findChild<QAbstractButton*>("chkExactSplit")->click(); // the page's mode goes with the window
    TPauseDialog* window = openWindow(source);
    ASSERT_TRUE(window);
    EXPECT_EQ(in<QLineEdit>(window, "edtCue")->text().toStdString(), dir.file("album.cue"));
    in<QRadioButton>(window, "rdbCue")->click();
    in<QAbstractButton>(window, "btnFind")->click();
    EXPECT_EQ(cutTexts(window), QStringList({"00:00.000 01 - First.mp3", "00:02.000 02 - Second.mp3"}));
    // The tracks left out are named before the split and after it.
    const QString leftOut = "1 track belongs to \"bonus.wav\", not to this file, and was left out.\nTrack 3 (line 9) "
                            "starts at or after the end of the file (00:04.000) and was left out; track 2 runs to "
                            "the end.";
    EXPECT_EQ(in<QLabel>(window, "labNote")->text().toStdString(), leftOut.toStdString());
    dialogs.queueFolder(QString::fromStdString(dir.path()));
    in<QAbstractButton>(window, "btnSplitAtCuts")->click();
    EXPECT_EQ(messages(), QStringList("Information: Splitting MP3 is completed.\n" + leftOut));
    EXPECT_TRUE(fs::exists(dir.file("01 - First.mp3")));
    EXPECT_TRUE(fs::exists(dir.file("02 - Second.mp3")));
    EXPECT_EQ(ScanLevels(dir.file("01 - First.mp3"), {}, {})->lengthFrames(), 88'200) << "2 s to the sample";
}

} // namespace
} // namespace tindrel
