// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/EditPage.h"

#include "app/Waveform.h"
#include "mpeg/FrameWalk.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
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

} // namespace
} // namespace tindrel
