// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/EditPage.h"

#include "app/Waveform.h"
#include "mpeg/FrameWalk.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "player/AudioPlayer.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/SoundFile.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

namespace tindrel {
namespace {

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

TEST(EditPage, FindPausesShortensEachPauseToHalfASecond) {
    FakeDialogs dialogs;
    ErrorHandler::setDialogs(&dialogs);
    const test::TempDir dir;
    const std::string mp3 = test::MakeMp3(
        dir.path(), "talk.mp3", {{test::Sound::Tone, 1.0}, {test::Sound::Zero, 2.0}, {test::Sound::Tone, 1.0}});
    ASSERT_FALSE(mp3.empty());
    TEditPage page(dialogs);
    page.openFile(QString::fromStdString(mp3));
    page.findChild<QAbstractButton*>("btnEditPauses")->click();
    ASSERT_EQ(page.Edits().Operations().size(), 1u);
    const EditRange removed = page.Edits().Operations()[0].Ranges[0];
    EXPECT_NEAR(double(removed.EndMs - removed.StartMs), 1'500, 100);
    EXPECT_NEAR(double(removed.StartMs), 1'250, 100);
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
        if (c.saved)
            EXPECT_EQ(EditList::Load(list).Operations(), page->Edits().Operations());
    }
    EXPECT_TRUE(form->isVisible()) << "Cancel closed the window";
}

} // namespace
} // namespace tindrel
