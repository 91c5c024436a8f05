// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Main.h"
#include "app/SplitPage.h"
#include "app/TrackBar.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "player/AudioPlayer.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/TempDir.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

namespace tindrel {
namespace {

class PreviewTest : public test::WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        track = form->findChild<TTrackBar*>("tkbPosition");
        player = form->Player();
    }
    void open(const char* name) { WindowFixture::open(test::TestDataDir() + "/app/" + name); }

    TTrackBar* track = nullptr;
    TAudioPlayer* player = nullptr;
};

TEST_F(PreviewTest, PlayStartsAtTheTrackBarsSecondAndStopGoesBackToZero) {
    open("ten-seconds.mp3");
    track->setValue(3);
    EXPECT_EQ(text("labTime1"), "00:03:000");
    EXPECT_EQ(player->Mode(), TPlayerMode::Ready) << "moving the thumb while not playing only changes the label";
    click("sbtnPlay");
    EXPECT_EQ(player->Mode(), TPlayerMode::Playing);
    EXPECT_NEAR(player->GetPosition(), 3'000, 50);
    EXPECT_TRUE(form->findChild<QTimer*>("TmrPlayer")->isActive());
    click("sbtnStop");
    EXPECT_EQ(player->Mode(), TPlayerMode::Stopped);
    EXPECT_EQ(track->value(), 0);
    EXPECT_EQ(text("labTime1"), "00:00:000");
    EXPECT_FALSE(form->findChild<QTimer*>("TmrPlayer")->isActive());
}

TEST_F(PreviewTest, TheTimerMovesTheThumbWithoutSeekingAndTheUserSeeksWithTheVolumeRestored) {
    open("ten-seconds.mp3");
    click("sbtnPlay");
    player->SetPosition(4'600);
    form->SplitPage()->TmrPlayerTimer();
    EXPECT_EQ(track->value(), 4);
    EXPECT_TRUE(text("labTime1").startsWith("00:04:6")) << text("labTime1").toStdString(); // to the ms
    EXPECT_GE(player->GetPosition(), 4'600u) << "the timer's move of the thumb sought the sound";

    player->SetVolume(70);
    track->setValue(7); // the user drags the thumb
    EXPECT_NEAR(player->GetPosition(), 7'000, 50);
    EXPECT_EQ(player->GetVolume(), 70);
    EXPECT_EQ(player->Mode(), TPlayerMode::Playing);
}

TEST_F(PreviewTest, PauseActsByItsHint) {
    open("ten-seconds.mp3");
    click("sbtnPlay");
    auto* pause = form->findChild<QAbstractButton*>("sbtnPause");
    player->SetPosition(2'300);
    click("sbtnPause");
    EXPECT_EQ(player->Mode(), TPlayerMode::Paused);
    EXPECT_TRUE(text("labTime1").startsWith("00:02:3")) << text("labTime1").toStdString(); // where it paused
    EXPECT_EQ(pause->toolTip(), "Resume");
    click("sbtnPlay"); // opens the file again and plays from the thumb
    EXPECT_EQ(player->Mode(), TPlayerMode::Playing);
    click("sbtnPause"); // the hint still says Resume: this only sets it back
    EXPECT_EQ(pause->toolTip(), "Pause");
    EXPECT_EQ(player->Mode(), TPlayerMode::Playing);
    click("sbtnPause");
    EXPECT_EQ(player->Mode(), TPlayerMode::Paused);
}

TEST_F(PreviewTest, TheMarkButtonsTakeTheThumbsSecondAndTheLengthsMillisecondsAtTheEnd) {
    open("mixed-rates.mp3");
    const int32_t length = form->SplitPage()->LengthMs();
    ASSERT_GT(length % 1000, 0) << "the sample should end between two seconds";
    const int last = length / 1000;
    ASSERT_EQ(track->maximum(), last);
    track->setValue(last);
    const QString atEnd = QString::asprintf("%02d:%02d:%03d", last / 60, last % 60, length % 1000);
    EXPECT_EQ(text("labTime1"), atEnd);
    click("sbtnEnd");
    EXPECT_EQ(text("edtEnd"), QString::asprintf("%02d:%02d.%03d", last / 60, last % 60, length % 1000));
    EXPECT_EQ(track->SelEnd(), last);
    track->setValue(last - 1);
    click("sbtnBegin");
    EXPECT_EQ(text("edtStart"), QString::asprintf("%02d:%02d.000", (last - 1) / 60, (last - 1) % 60));
    EXPECT_EQ(track->SelStart(), last - 1);
    EXPECT_EQ(track->value(), last - 1) << "the field's own handler moved the thumb";
    EXPECT_EQ(text("labPeriod"),
              QString::asprintf("The selected part is %g (Second.Millisecond)", 1 + (length % 1000) / 1000.0));
    // The flag was used up by the change: typing moves the thumb again.
    form->findChild<QLineEdit*>("edtStart")->setText("00:02.000");
    EXPECT_EQ(track->value(), 2);
    // "{" that leaves the text as it was sets no flag, which no change would
    // clear: the next typed time still moves the thumb.
    click("sbtnBegin");
    form->findChild<QLineEdit*>("edtStart")->setText("00:01.000");
    EXPECT_EQ(track->value(), 1);
}

} // namespace
} // namespace tindrel
