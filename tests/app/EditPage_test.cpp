// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/EditPage.h"

#include "app/SplitPage.h"
#include "app/TrackBar.h"
#include "app/Waveform.h"
#include "core/EditWriter.h"
#include "core/Silence.h"
#include "mpeg/FrameWalk.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "player/AudioPlayer.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tindrel {
namespace {

class QuietEdit final : public EditObserver {};

// The user's path through the page: open a file, drag over a second of
// it, press Delete, take it back, delete again and save the copy.
TEST(EditPage, SelectDeleteUndoAndSaveAs) {
    FakeDialogs dialogs;
    ErrorHandler::setDialogs(&dialogs);
    const test::TempDir dir;
    const std::string mp3 = test::MakeMp3(dir.path(), "talk.mp3", {{test::Sound::Tone, 4.0}});
    ASSERT_FALSE(mp3.empty());
    TEditPage page(dialogs);
    page.resize(800, 400);
    page.show();
    dialogs.queueOpenFile(QString::fromStdString(mp3));
    page.findChild<QAbstractButton*>("btnEditOpen")->click();
    auto* wave = page.findChild<TWaveform*>("wavEdit");
    ASSERT_TRUE(test::WaitFor([&] { return wave->lengthMs() > 0; }, 20'000));

    const int from = wave->width() / 4;
    const int to = wave->width() / 2;
    QTest::mousePress(wave, Qt::LeftButton, {}, QPoint(from, 20));
    QTest::mouseMove(wave, QPoint(to, 20));
    QTest::mouseRelease(wave, Qt::LeftButton, {}, QPoint(to, 20));
    ASSERT_GT(page.SelEndMs(), page.SelStartMs());
    const EditRange selected{page.SelStartMs(), page.SelEndMs()};

    QTest::keyClick(wave, Qt::Key_Delete);
    ASSERT_EQ(page.Edits().Operations().size(), 1u);
    EXPECT_EQ(page.Edits().Operations()[0].Ranges[0], selected);
    EXPECT_EQ(wave->markers().size(), 1u);
    QTest::keyClick(wave, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(page.Edits().Operations().empty());
    EXPECT_TRUE(wave->markers().empty());
    page.findChild<QAbstractButton*>("btnEditDelete")->click();

    const QString out = QString::fromStdString(dir.file("talk_edited.mp3"));
    dialogs.queueSaveFile(out);
    page.findChild<QAbstractButton*>("btnEditSaveAs")->click();
    ASSERT_FALSE(dialogs.messages().empty());
    EXPECT_EQ(dialogs.messages().back().text, "Editing MP3 is completed.");
    const int64_t kept = 4'000 - (selected.EndMs - selected.StartMs);
    EXPECT_NEAR(double(QFileInfo(out).size()), double(QFileInfo(QString::fromStdString(mp3)).size()) * kept / 4'000,
                5'000);
    ErrorHandler::setDialogs(nullptr);
}

// Zoomed in, the page's waveform shows its scroll bar, which moves the view
// to the file's end and back; zoomed out to the whole file, the bar goes away.
TEST(EditPage, AScrollBarMovesTheZoomedWaveform) {
    FakeDialogs dialogs;
    const test::TempDir dir;
    const std::string mp3 = test::MakeMp3(dir.path(), "talk.mp3", {{test::Sound::Tone, 4.0}});
    ASSERT_FALSE(mp3.empty());
    TEditPage page(dialogs);
    page.resize(800, 400);
    page.show();
    page.openFile(QString::fromStdString(mp3));
    auto* wave = page.findChild<TWaveform*>("wavEdit");
    auto* bar = wave->findChild<QScrollBar*>("scbWave");
    ASSERT_TRUE(test::WaitFor([&] { return wave->lengthMs() > 0; }, 20'000));
    EXPECT_TRUE(bar->isHidden());
    wave->zoomAt(0, 4);
    ASSERT_FALSE(bar->isHidden());
    EXPECT_EQ(wave->viewFirstFrame(), 0);
    bar->setValue(bar->maximum());
    EXPECT_EQ(wave->viewFirstFrame() + wave->viewFrames(), wave->lengthFrames());
    wave->zoomAt(wave->width() - 1, 1);
    EXPECT_EQ(bar->maximum(), wave->lengthFrames() - wave->viewFrames()) << "the bar follows a zoom";
    EXPECT_EQ(bar->value(), wave->viewFirstFrame());
    wave->zoomAt(0, -20);
    EXPECT_TRUE(bar->isHidden());
}

// Find pauses... leaves each pause as long as the box says (half a second
// unless changed; "remove" takes all of it): the edited file, measured by
// the same rule, has pauses of that length, to a frame (26 ms) and a 5 ms
// block of the measure.
TEST(EditPage, FindPausesShortensEachPauseToTheLengthInTheBox) {
    FakeDialogs dialogs;
    ErrorHandler::setDialogs(&dialogs);
    const test::TempDir dir;
    const std::string mp3 = test::MakeMp3(dir.path(), "talk.mp3",
                                          {{test::Sound::Tone, 1.0},
                                           {test::Sound::Zero, 2.0},
                                           {test::Sound::Tone, 1.0},
                                           {test::Sound::Zero, 1.2},
                                           {test::Sound::Tone, 1.0}});
    ASSERT_FALSE(mp3.empty());
    const std::optional<double> boxSeconds[] = {std::nullopt, 0.3, 0.0};
    for (const std::optional<double> seconds : boxSeconds) {
        TEditPage page(dialogs);
        page.openFile(QString::fromStdString(mp3));
        if (seconds)
            page.findChild<QDoubleSpinBox*>("edtPauseKeep")->setValue(*seconds);
        page.findChild<QAbstractButton*>("btnEditPauses")->click();
        EXPECT_EQ(page.Edits().Operations().size(), 2u);
        const std::string out = dir.file("shorter.mp3");
        QuietEdit observer;
        ASSERT_EQ(RunEdit(mp3, out, page.Edits(), EditMode::Frames, observer), EditResult::Completed);
        const std::optional<LevelProfile> levels = ScanLevels(out, {}, [] { return false; });
        ASSERT_TRUE(levels);
        const std::vector<Silence> pauses = levels->FindSilences({-48.0, 1});
        const int64_t keep = seconds ? std::llround(*seconds * 1000) : 500;
        if (keep == 0) {
            for (const Silence& pause : pauses)
                EXPECT_LE(pause.lengthMs(), 31);
            continue;
        }
        ASSERT_EQ(pauses.size(), 2u) << keep;
        for (const Silence& pause : pauses)
            EXPECT_NEAR(double(pause.lengthMs()), double(keep), 31.0);
    }
    ErrorHandler::setDialogs(nullptr);
}

// The Edit MP3 page in the window, with a second deleted from a file.
class EditWindowTest : public test::WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        mp3 = test::MakeMp3(dir.path(), "talk.mp3", {{test::Sound::Tone, 6.0}});
        ASSERT_FALSE(mp3.empty());
        deleteASecond();
    }
    void deleteASecond() {
        page = form->findChild<TEditPage*>("tabEdit");
        page->openFile(QString::fromStdString(mp3));
        page->setSelectionMs(2'000, 3'000);
        page->findChild<QAbstractButton*>("btnEditDelete")->click();
    }
    TEditPage* page = nullptr;
    std::string mp3;
};

// The cut is played from a preview of its own: two seconds either way of
// it, the source untouched and no edited file written.
TEST_F(EditWindowTest, PlayAcrossTheCutPlaysTwoSecondsEitherWayOfIt) {
    click("btnEditPlayCut");
    ASSERT_FALSE(page->CutPreviewFile().isEmpty()) << messages().join('\n').toStdString();
    EXPECT_EQ(form->Player()->Mode(), TPlayerMode::Playing);
    EXPECT_NEAR(double(form->Player()->GetPlayLength()), 4'000, 30);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir.file("talk_edited.mp3"))));
}

// The window has one player. The Edit page's preview takes it from the
// Split page's, whose display then stays where its own sound was and whose
// thumb and Pause leave the preview alone; its Play plays its file again.
TEST_F(EditWindowTest, TheEditPreviewTakesThePlayerFromTheSplitPageWithoutMovingItsDisplay) {
    open(mp3);
    auto* track = form->findChild<TTrackBar*>("tkbPosition");
    TAudioPlayer& player = *form->Player();
    track->setValue(3);
    click("sbtnPlay");
    player.SetPosition(3'400);
    form->SplitPage()->TmrPlayerTimer();

    click("btnEditPlayCut");
    ASSERT_EQ(player.StreamFileName(), page->CutPreviewFile().toStdString());
    form->SplitPage()->TmrPlayerTimer();
    EXPECT_EQ(track->value(), 3);
    EXPECT_TRUE(text("labTime1").startsWith("00:03:4")) << text("labTime1").toStdString();
    EXPECT_FALSE(form->findChild<QTimer*>("TmrPlayer")->isActive());
    track->setValue(2);
    click("sbtnPause");
    EXPECT_EQ(player.StreamFileName(), page->CutPreviewFile().toStdString());
    EXPECT_EQ(player.Mode(), TPlayerMode::Playing) << "the Split page's Pause paused the Edit page's preview";
    EXPECT_LT(player.GetPosition(), 1'500u) << "the Split page's thumb moved the Edit page's preview";

    click("sbtnPlay");
    EXPECT_EQ(player.StreamFileName(), mp3);
    EXPECT_EQ(player.Mode(), TPlayerMode::Playing);
    EXPECT_NEAR(double(player.GetPosition()), 2'000, 50);
}

// Closing the window offers to save the edit list beside its file, once:
// Yes saves it and closes, No closes without it, Cancel keeps the window.
TEST_F(EditWindowTest, ClosingOffersToSaveTheEditListBesideTheFile) {
    const struct {
        MessageResult answer;
        bool closes;
        bool saved;
    } cases[] = {
        {MessageResult::Yes, true, true}, {MessageResult::No, true, false}, {MessageResult::Cancel, false, false}};
    const std::string list = mp3 + ".edits";
    for (const auto& c : cases) {
        std::filesystem::remove(list);
        form = std::make_unique<TMainForm>(dialogs, QString::fromStdString(TINDREL_PROGRAM_DIR), 0);
        deleteASecond();
        form->show();
        dialogs.clear();
        dialogs.queueMessageResult(c.answer);
        EXPECT_EQ(form->close(), c.closes);
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].text,
                  QString::fromStdString("Save the edits of \"" + mp3 + "\" as \"" + list + "\"?"));
        ASSERT_EQ(std::filesystem::exists(list), c.saved);
        if (c.saved) {
            EXPECT_EQ(EditList::Load(list).Operations(), page->Edits().Operations());
        }
    }
    EXPECT_TRUE(form->isVisible()) << "Cancel closed the window";
}

} // namespace
} // namespace tindrel
