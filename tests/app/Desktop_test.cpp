// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/JoinPage.h"
#include "app/Main.h"
#include "app/SplitPage.h"
#include "app/TagPage.h"
#include "app/Waveform.h"
#include "core/TimeText.h"
#include "player/AudioPlayer.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/WaitFor.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tindrel {
namespace {

class DesktopTest : public test::WindowFixture {
protected:
    QTabWidget* pages() { return form->findChild<QTabWidget*>("pgcMain"); }
    QTreeWidget* joinList() { return form->findChild<QTreeWidget*>("ltvFile"); }
    QStringList joinColumn(int c) {
        QStringList texts;
        for (int row = 0; row < joinList()->topLevelItemCount(); ++row)
            texts << joinList()->topLevelItem(row)->text(c);
        return texts;
    }
    // Drags files over a page and drops them; false if the page refused them.
    bool drop(QWidget* page, const std::vector<std::string>& files) {
        QList<QUrl> urls;
        for (const std::string& f : files)
            urls << QUrl::fromLocalFile(QString::fromStdString(f));
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(page->width() / 2, page->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page, &dropped);
        return dropped.isAccepted();
    }
    // The window shown and active, with the focus on the split page's track
    // bar, so the page's keys reach it as they would a user's.
    void focusSplitPage() {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        auto* track = form->findChild<QWidget*>("tkbPosition");
        track->setFocus();
        ASSERT_TRUE(test::WaitFor([&] { return track->hasFocus(); }, 5000));
    }
};

TEST_F(DesktopTest, FilesDroppedOrNamedAreOpenedOnSplitAndTagAndAddedInOrderToJoin) {
    const std::string a = sample("ten-seconds.mp3");
    const std::string b = sample("vbr-untagged.mp3");
    const std::string c = dir.file("copy of ten.mp3");
    std::filesystem::copy_file(a, c);
    const auto q = [](const std::string& s) { return QString::fromStdString(s); };

    struct Case {
        const char* what;
        std::function<void()> act;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"three files dropped on Join",
         [&] {
             ASSERT_TRUE(drop(form->JoinPage(), {a, b, c}));
         },
         [&] {
             EXPECT_EQ(joinColumn(0), QStringList({q(a), q(b), q(c)}));
         }},
        {"Delete in the Join list",
         [&] {
             joinList()->topLevelItem(0)->setSelected(true);
             joinList()->topLevelItem(2)->setSelected(true);
             joinList()->setFocus();
             QTest::keyClick(joinList(), Qt::Key_Delete);
         },
         [&] { EXPECT_EQ(joinColumn(0), QStringList({q(b)})); }},
        {"a file dropped on Split", [&] { ASSERT_TRUE(drop(form->SplitPage(), {b})); },
         [&] {
             EXPECT_EQ(text("edtFile"), q(b));
             EXPECT_EQ(text("labTitle"), "vbr-untagged");
         }},
        {"a picture dropped on Split",
         [&] { ASSERT_TRUE(drop(form->SplitPage(), {test::TestDataDir() + "/../../docs/screenshot-split.png"})); },
         [&] {
             EXPECT_EQ(text("edtFile"), q(b));
             ASSERT_EQ(messages().size(), 1);
             EXPECT_TRUE(messages()[0].endsWith("screenshot-split.png\" is not an audio file that Tindrel can read."))
                 << messages()[0].toStdString();
             dialogs.clear();
         }},
        {"a path typed into the split page's field and Enter",
         [&] {
             edit("edtFile")->setText(q(a));
             QTest::keyClick(edit("edtFile"), Qt::Key_Return);
         },
         [&] {
             EXPECT_EQ(text("labTitle"), "Ten Seconds");
             EXPECT_EQ(form->SplitPage()->LengthMs(), 10'000);
         }},
        {"a file dropped on Tag", [&] { ASSERT_TRUE(drop(form->TagPage(), {a})); },
         [&] {
             EXPECT_EQ(text("edtFileTag"), q(a));
             EXPECT_EQ(text("TitleEdit1"), "Ten Seconds");
         }},
        {"one file named on the command line",
         [&] {
             pages()->setCurrentIndex(2);
             form->openFiles({q(b)});
         },
         [&] {
             EXPECT_EQ(pages()->currentWidget(), form->SplitPage());
             EXPECT_EQ(text("edtFile"), q(b));
         }},
        {"several files named on the command line",
         [&] {
             form->openFiles({q(c), q(a)});
         },
         [&] {
             EXPECT_EQ(pages()->currentWidget(), form->JoinPage());
             EXPECT_EQ(joinColumn(0), QStringList({q(b), q(c), q(a)}));
         }},
    };
    for (const Case& step : cases) {
        SCOPED_TRACE(step.what);
        step.act();
        step.check();
    }
    EXPECT_TRUE(dialogs.messages().empty()) << messages().join('\n').toStdString();
}

TEST_F(DesktopTest, JoinRowsShowTheFormatAndMarkTheFilesUnlikeTheFirst) {
    struct Row {
        std::string file;
        const char* length;
        const char* kbps;
        const char* hz;
        const char* unlike; // what the mark says, or nothing
    };
    const Row rows[] = {
        {sample("ten-seconds.mp3"), "00:10.057", "128", "44100", ""},
        {sample("vbr-untagged.mp3"), "00:04.049", "58", "44100", "mono, the first file is stereo"},
        {dir.write("text.mp3", test::Bytes(4000, 'x')), "", "", "", "no MPEG audio was found in this file"},
    };
    for (const Row& r : rows)
        form->JoinPage()->addFiles({QString::fromStdString(r.file)});
    ASSERT_EQ(joinList()->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const Row& r = rows[i];
        const QTreeWidgetItem* row = joinList()->topLevelItem(i);
        SCOPED_TRACE(r.file);
        EXPECT_EQ(row->text(1), r.length);
        EXPECT_EQ(row->text(2), r.kbps);
        EXPECT_EQ(row->text(3), r.hz);
        EXPECT_EQ(row->data(4, Qt::UserRole).toBool(), *r.unlike != 0);
        EXPECT_EQ(row->toolTip(4), *r.unlike ? QString("Does not match the first file: ") + r.unlike : QString());
    }
}

TEST_F(DesktopTest, KeysMoveThePlayPositionMarkItAndToggleThePlayer) {
    open(sample("ten-seconds.mp3"));
    focusSplitPage();
    auto* track = form->findChild<QWidget*>("tkbPosition");
    struct Press {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int64_t positionAfter;
        const char* startAfter;
        const char* endAfter;
    };
    const Press presses[] = {
        {Qt::Key_Left, {}, 0, "00:00.000", "00:00.000"}, // nothing before the start
        {Qt::Key_Right, {}, 1000, "00:00.000", "00:00.000"},
        {Qt::Key_Right, {}, 2000, "00:00.000", "00:00.000"},
        {Qt::Key_Right, Qt::ShiftModifier, 2100, "00:00.000", "00:00.000"},
        {Qt::Key_Right, Qt::ShiftModifier, 2200, "00:00.000", "00:00.000"},
        {Qt::Key_BracketLeft, {}, 2200, "00:02.200", "00:00.000"},
        {Qt::Key_End, {}, 10'000, "00:02.200", "00:00.000"},
        {Qt::Key_Left, Qt::ShiftModifier, 9900, "00:02.200", "00:00.000"},
        {Qt::Key_BraceRight, {}, 9900, "00:02.200", "00:09.900"},
        {Qt::Key_Home, {}, 0, "00:02.200", "00:09.900"},
        {Qt::Key_BraceLeft, {}, 0, "00:00.000", "00:09.900"},
        {Qt::Key_Right, {}, 1000, "00:00.000", "00:09.900"},
        {Qt::Key_BracketRight, {}, 1000, "00:00.000", "00:01.000"},
    };
    for (const Press& p : presses) {
        QTest::keyClick(track, p.key, p.modifiers);
        SCOPED_TRACE(QKeySequence(p.key | p.modifiers).toString().toStdString());
        EXPECT_EQ(form->SplitPage()->PlayPositionMs(), p.positionAfter);
        EXPECT_EQ(form->SplitPage()->Waveform()->positionMs(), p.positionAfter);
        EXPECT_EQ(text("edtStart"), p.startAfter);
        EXPECT_EQ(text("edtEnd"), p.endAfter);
    }

    // Space plays, pauses and resumes; "[" takes the paused player's position.
    const TPlayerMode modes[] = {TPlayerMode::Playing, TPlayerMode::Paused, TPlayerMode::Playing, TPlayerMode::Paused};
    for (TPlayerMode mode : modes) {
        QTest::keyClick(track, Qt::Key_Space);
        EXPECT_EQ(form->Player()->Mode(), mode);
    }
    QTest::keyClick(track, Qt::Key_BracketLeft);
    EXPECT_EQ(text("edtStart"),
              QString::fromStdString(FormatTimeText(static_cast<double>(form->Player()->GetPosition()) / 1000.0)));

    // Played to the end by itself: "]" marks the end, not where playing began.
    QTest::keyClick(track, Qt::Key_End);
    QTest::keyClick(track, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(track, Qt::Key_Space);
    ASSERT_TRUE(test::WaitFor([&] { return form->Player()->Mode() == TPlayerMode::Stopped; }, 10'000));
    QTest::keyClick(track, Qt::Key_BracketRight);
    EXPECT_EQ(text("edtEnd"), "00:10.000");
    EXPECT_TRUE(dialogs.messages().empty()) << messages().join('\n').toStdString();
}

// As after "tindrel song.mp3", with the focus on the tab bar: the keys work
// before any Tab. A click on the preview or the waveform takes the focus from
// a time field, so Space then plays instead of typing a blank into the time.
TEST_F(DesktopTest, KeysWorkAfterOpeningFromTheCommandLineAndAfterAClickOnThePreview) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    pages()->tabBar()->setFocus();
    form->openFiles({QString::fromStdString(sample("ten-seconds.mp3"))});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(form->Player()->Mode(), TPlayerMode::Playing);
    QLineEdit* start = edit("edtStart");
    for (const char* name : {"sbtnPlay", "sbtnBegin", "sbtnEnd", "wfmWave"}) {
        start->setFocus();
        ASSERT_TRUE(test::WaitFor([&] { return start->hasFocus(); }, 5000));
        auto* target = form->findChild<QWidget*>(name);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
        const QString before = start->text();
        const TPlayerMode mode = form->Player()->Mode();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_EQ(start->text(), before) << name;
        EXPECT_NE(form->Player()->Mode(), mode) << name << ": Space did not reach the player";
    }
}

// Tab goes down the preview column, then down the split column, then to Help
// and About; the spinner's arrows are no stops of their own.
TEST_F(DesktopTest, TabFollowsTheSplitPagesReadingOrder) {
    open(sample("ten-seconds.mp3"));
    click("rdbPart"); // the parts field and its arrows take part too
    focusSplitPage();
    QStringList visited;
    for (int i = 0; i < 17; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited.join(' ').toStdString(),
              "sbtnPlay sbtnPause sbtnStop sbtnBegin sbtnEnd edtFile btnOpen rdbPart edtPart btnSplit btnStop "
              "btnPauses chkExactSplit sbtnHelp1 sbtnAbout1 qt_tabwidget_tabbar tkbPosition");
}

TEST_F(DesktopTest, AnInvalidTimeIsMarkedAsTypedAndSplitExplainsIt) {
    open(sample("ten-seconds.mp3"));
    struct Typed {
        const char* field;
        const char* text;
        bool invalid;
        const char* caption;
    };
    const Typed typed[] = {
        {"edtStart", "abc", true, "Starting time"},     {"edtStart", "00:01.500", false, nullptr},
        {"edtEnd", "1:2x", true, "Ending time"},        {"edtEnd", "00:04.000", false, nullptr},
        {"edtEnd", "00:04.000.1", true, "Ending time"}, {"edtEnd", "00:10.100", true, "Ending time"},
    };
    for (const Typed& t : typed) {
        SCOPED_TRACE(t.text);
        edit(t.field)->clear();
        QTest::keyClicks(edit(t.field), t.text);
        EXPECT_EQ(edit(t.field)->property("invalid").toBool(), t.invalid);
        if (t.invalid) {
            const QString why = QString(t.text).startsWith("00:10") ? "\" lies past the end of the file, 00:10.000"
                                                                    : "\" is not a time; use the format mm:ss.mmm";
            const QString expected = QString(t.caption) + ": \"" + t.text + why;
            EXPECT_EQ(text("labPeriod"), expected);
            EXPECT_EQ(edit(t.field)->toolTip(), expected);
        } else {
            EXPECT_FALSE(text("labPeriod").contains("mm:ss.mmm"));
        }
    }
    click("btnSplit");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages().front().text.startsWith("Ending time: \"00:10.100\" lies past the end"));
    EXPECT_TRUE(dialogs.saveRequests().empty()) << "the save dialog came before the time was refused";
}

TEST_F(DesktopTest, TheWaveformSeeksOnAClickSelectsOnADragAndZoomsAroundThePointer) {
    open(sample("ten-seconds.mp3"));
    TWaveform* wave = form->SplitPage()->Waveform();
    ASSERT_TRUE(test::WaitFor([&] { return wave->loader().state().complete(); }, 20'000));
    ASSERT_TRUE(test::WaitFor([&] { return wave->lengthMs() == 10'000; }, 5000));
    const int w = wave->width();
    const int64_t msPerPixel = 10'000 / w + 1;

    QTest::mouseClick(wave, Qt::LeftButton, {}, QPoint(w / 2, 20));
    EXPECT_NEAR(form->SplitPage()->PlayPositionMs(), 5000, msPerPixel);

    QTest::mousePress(wave, Qt::LeftButton, {}, QPoint(w / 4, 20));
    QTest::mouseMove(wave, QPoint(w * 3 / 4, 30));
    QTest::mouseRelease(wave, Qt::LeftButton, {}, QPoint(w * 3 / 4, 30));
    EXPECT_NEAR(ParseTimeMs(text("edtStart").toStdString()), 2500, msPerPixel);
    EXPECT_NEAR(ParseTimeMs(text("edtEnd").toStdString()), 7500, msPerPixel);
    EXPECT_NEAR(form->SplitPage()->PlayPositionMs(), 5000, msPerPixel) << "a drag moved the play position";

    // Zooming keeps the audio under the pointer in place, down to one frame
    // a pixel and no further.
    const int x = w / 3;
    const int64_t before = wave->msAtX(x);
    for (int notch = 0; notch < 40; ++notch) {
        wave->zoomAt(x, 1);
        EXPECT_NEAR(wave->msAtX(x), before, 1) << "after " << notch + 1 << " notches";
    }
    EXPECT_EQ(wave->viewFrames(), w);
    wave->zoomAt(x, -60);
    EXPECT_EQ(wave->viewFirstFrame(), 0);
    EXPECT_EQ(wave->viewFrames(), 441'000);
}

// Zoomed in, the waveform shows a scroll bar and pans when its time scale
// is dragged (or with the middle button), without moving the play
// position; and on a screen at 200 % each device pixel gets its own peak.
TEST_F(DesktopTest, TheZoomedWaveformScrollsPansAndDrawsEveryDevicePixel) {
    open(sample("vbr-untagged.mp3"));
    TWaveform* wave = form->SplitPage()->Waveform();
    ASSERT_TRUE(test::WaitFor([&] { return wave->loader().state().complete() && wave->lengthMs() > 0; }, 20'000));
    const int w = wave->width();
    EXPECT_FALSE(wave->scrollBar()->isVisibleTo(wave));

    // Four seconds of noise over 280 pixels is one 256-frame block or more a
    // device pixel at 200 %: every column has a peak of its own.
    QImage image(wave->size() * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    wave->render(&image);
    const auto waveTop = [&](int x) {
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) == QColor(0x6f, 0xb6, 0xf2))
                return y;
        return -1;
    };
    int ownPeaks = 0;
    for (int x = 0; x + 1 < image.width(); x += 2) {
        const int left = waveTop(x);
        const int right = waveTop(x + 1);
        ownPeaks += left >= 0 && right >= 0 && left != right;
    }
    EXPECT_GT(ownPeaks, w / 4) << "the peaks are drawn two device pixels wide";

    wave->zoomAt(w / 2, 4);
    ASSERT_TRUE(wave->scrollBar()->isVisibleTo(wave));
    const int64_t first = wave->viewFirstFrame();
    const int64_t frames = wave->viewFrames();
    const int64_t position = form->SplitPage()->PlayPositionMs();
    const struct {
        Qt::MouseButton button;
        int y;
        int from;
        int to;
        int64_t firstAfter;
    } pans[] = {
        {Qt::LeftButton, 3, 200, 100, first + frames * 100 / w}, // along the time scale
        {Qt::MiddleButton, 60, 100, 200, first},                 // anywhere
    };
    for (const auto& pan : pans) {
        QTest::mousePress(wave, pan.button, {}, QPoint(pan.from, pan.y));
        QTest::mouseMove(wave, QPoint(pan.to, pan.y));
        QTest::mouseRelease(wave, pan.button, {}, QPoint(pan.to, pan.y));
        EXPECT_NEAR(wave->viewFirstFrame(), pan.firstAfter, frames / w + 1);
        EXPECT_EQ(wave->viewFrames(), frames);
        EXPECT_EQ(wave->scrollBar()->value(), wave->viewFirstFrame());
    }
    EXPECT_EQ(form->SplitPage()->PlayPositionMs(), position) << "a pan moved the play position";
    wave->scrollBar()->setValue(wave->scrollBar()->maximum());
    EXPECT_EQ(wave->viewFirstFrame() + wave->viewFrames(), wave->loader().state().lengthFrames);
}

} // namespace
} // namespace tindrel
