// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/AboutForm.h"
#include "app/HelpForm.h"
#include "app/Main.h"
#include "app/TrackBar.h"
#include "platform/ErrorHandler.h"
#include "platform/FakeDialogs.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/WaitFor.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace tindrel {
namespace {

using test::TempDir;

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorHandler::setDialogs(&dialogs);
        test::UseSettingsFolder(dir.path());
    }
    void TearDown() override { ErrorHandler::setDialogs(nullptr); }

    template <typename W = QWidget> W* control(TMainForm& form, const char* name) {
        W* w = form.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << "no control named " << name;
        return w;
    }

    FakeDialogs dialogs;
    TempDir dir;
};

TEST_F(MainFormTest, CaptionAndBannerShowTheVersionFromOptionIni) {
    {
        TMainForm form(dialogs, QString::fromStdString(dir.path()));
        EXPECT_EQ(form.windowTitle(), "Tindrel V3.1");
        EXPECT_EQ(control<QLabel>(form, "labVersion")->text(), "V3.1");
    }
    const std::string ini = "[General]\r\nVersion=2.0\r\n";
    dir.write("Option.ini", test::Bytes(ini.begin(), ini.end()));
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    EXPECT_EQ(form.windowTitle(), "Tindrel V2.0");
    EXPECT_EQ(control<QLabel>(form, "labVersion")->text(), "V2.0");
}

TEST_F(MainFormTest, ProgramFolderEndsInExactlyOneSeparator) {
    const QString folder = QString::fromStdString(dir.path());
    for (const QString& given : {folder, folder + "/"}) {
        TMainForm form(dialogs, given);
        EXPECT_EQ(form.AppDir(), folder + "/");
    }
}

TEST_F(MainFormTest, WindowOpensAtItsDefaultSizeAndStartsOnTheSplitPage) {
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    EXPECT_EQ(form.size(), QSize(653, 421 + 92)) << "the design's size and the waveform strip";
    EXPECT_EQ(form.minimumSize(), form.size()) << "smaller, the controls would not fit";
    EXPECT_GT(form.maximumWidth(), 4000);
    auto* pages = control<QTabWidget>(form, "pgcMain");
    ASSERT_EQ(pages->count(), 4);
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->tabText(0), "  Split MP3  ");
    EXPECT_EQ(pages->tabText(1), "  Join MP3  ");
    EXPECT_EQ(pages->tabText(2), "  Edit Tag  ");
    EXPECT_EQ(pages->tabText(3), "  Edit MP3  ");
    EXPECT_EQ(pages->widget(0)->objectName(), "tabSplit");
    EXPECT_EQ(pages->widget(1)->objectName(), "tabJoint");
    EXPECT_EQ(pages->widget(2)->objectName(), "tabTag");
    EXPECT_EQ(pages->widget(3)->objectName(), "tabEdit");
}

TEST_F(MainFormTest, ControlsStartWithTheirCaptionsAndStates) {
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    const struct {
        const char* name;
        const char* text;
        bool enabled;
    } buttons[] = {
        {"btnOpen", "&Open", true},
        {"rdbPart", "Split file into", true},
        {"rdbTime", "Split selected time session:", true},
        {"btnSplit", "&Split", true},
        {"btnStop", "S&top", true},
        {"sbtnBegin", "{", true},
        {"sbtnEnd", "}", true},
        {"btnAdd", "&Add File ", true},
        {"btnRemove", "&Remove", true},
        {"btnClear", "  &Clear  ", true},
        {"btnUp", "  &Up    ", true},
        {"btnDown", " &Down", true},
        {"btnJoint", "  &Join", true},
        {"BitBtn1", "S&top", true},
        {"btnOpenTag", "&Open", true},
        {"chkTagExists1", "ID3v1 Tag Exists", true},
        {"chkTagExists", "ID3 v2 Tag Exists", true},
        {"Button1", "&Copy to ID3v2", true},
        {"Button2", "Copy &from ID3v2", true},
        {"Button3", "&Updat All", true},
    };
    for (const auto& b : buttons) {
        auto* w = control<QAbstractButton>(form, b.name);
        if (!w)
            continue;
        EXPECT_EQ(w->text(), b.text) << b.name;
        EXPECT_EQ(w->isEnabled(), b.enabled) << b.name;
    }
    for (int page = 1; page <= 3; ++page) {
        EXPECT_EQ(control<QAbstractButton>(form, ("sbtnHelp" + std::to_string(page)).c_str())->text(), "&Help");
        EXPECT_EQ(control<QAbstractButton>(form, ("sbtnAbout" + std::to_string(page)).c_str())->text(), "&About");
    }
    EXPECT_TRUE(control<QRadioButton>(form, "rdbTime")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(form, "rdbPart")->isChecked());

    const struct {
        const char* name;
        const char* text;
        bool enabled;
    } fields[] = {
        {"edtFile", "", true},         {"edtPart", "2", false},  {"edtStart", "00:00.000", true},
        {"edtEnd", "00:00.000", true}, {"edtFileTag", "", true}, {"TitleEdit1", "", true},
        {"TrackEdit", "", true},       {"GenreEdit", "", true},
    };
    for (const auto& f : fields) {
        auto* w = control<QLineEdit>(form, f.name);
        EXPECT_EQ(w->text(), f.text) << f.name;
        EXPECT_EQ(w->isEnabled(), f.enabled) << f.name;
    }
    const struct {
        const char* name;
        const char* text;
    } labels[] = {
        {"labPart2", "equal parts (Max:99)."},
        {"labStart1", "Starting time:"},
        {"labEnd1", "Ending  time:"},
        {"Label1", "( Min : Sec . MilliSec )"},
        {"Label2", "( Min : Sec . MilliSec )"},
        {"Label3", "( Min : Sec . MilliSec )"},
        {"labTime", "Time:"},
        {"labTime1", "00:00.000"},
        {"labPeriod", ""},
        {"labTitle", ""},
        {"labLength", ""},
    };
    for (const auto& l : labels)
        EXPECT_EQ(control<QLabel>(form, l.name)->text(), l.text) << l.name;
    EXPECT_FALSE(control(form, "labPart2")->isEnabled());
    EXPECT_FALSE(control(form, "updPart")->isEnabled());

    const struct {
        const char* name;
        const char* hint;
    } hints[] = {{"sbtnPlay", "Play"},
                 {"sbtnPause", "Pause"},
                 {"sbtnStop", "Stop"},
                 {"sbtnBegin", "Select start time point"},
                 {"sbtnEnd", "Select end time point"}};
    for (const auto& h : hints)
        EXPECT_EQ(control(form, h.name)->toolTip(), h.hint) << h.name;
    // The preview's pictures are the style's own, there when first painted.
    const std::pair<const char*, QStyle::StandardPixmap> pictures[] = {
        {"sbtnPlay", QStyle::SP_MediaPlay}, {"sbtnPause", QStyle::SP_MediaPause}, {"sbtnStop", QStyle::SP_MediaStop}};
    for (const auto& [name, picture] : pictures) {
        auto* button = control<QAbstractButton>(form, name);
        button->grab();
        EXPECT_EQ(button->icon().pixmap(16).toImage(), button->style()->standardIcon(picture).pixmap(16).toImage())
            << name;
    }

    auto* progress = control<QProgressBar>(form, "pgbProgress");
    EXPECT_TRUE(progress->isHidden());
    EXPECT_EQ(progress->minimum(), 0);
    EXPECT_EQ(progress->maximum(), 100);
    auto* track = control<TTrackBar>(form, "tkbPosition");
    EXPECT_EQ(track->minimum(), 0);
    EXPECT_EQ(track->maximum(), 30);
    auto* timer = control<QTimer>(form, "TmrPlayer");
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(control<QGroupBox>(form, "gpbID3v1")->title(), "ID3v1");
    EXPECT_EQ(control<QGroupBox>(form, "gpbID3v2")->title(), "ID3v2");
    EXPECT_EQ(control<QComboBox>(form, "GenreComboBox1")->count(), 0);
    EXPECT_FALSE(control<QCheckBox>(form, "chkTagExists1")->isChecked());
    EXPECT_EQ(control<QPlainTextEdit>(form, "CommentMemo")->toPlainText(), "");
}

TEST_F(MainFormTest, TheFieldLimitsOfTheTagPageBindTyping) {
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    const struct {
        const char* name;
        int limit;
    } limits[] = {{"TrackEdit1", 2},   {"TitleEdit1", 30},   {"ArtistEdit1", 30}, {"AlbumEdit1", 30},
                  {"YearEdit1", 4},    {"CommentEdit1", 30}, {"TrackEdit", 250},  {"TitleEdit", 250},
                  {"ArtistEdit", 250}, {"AlbumEdit", 250},   {"YearEdit", 250}};
    for (const auto& l : limits) {
        auto* field = control<QLineEdit>(form, l.name);
        field->clear();
        QTest::keyClicks(field, QString(l.limit + 5, QLatin1Char('7')));
        EXPECT_EQ(field->text().size(), l.limit) << l.name;
        // Text the page puts there itself is not cut, and can be shortened.
        field->setText(QString(l.limit + 5, QLatin1Char('8')));
        QTest::keyClick(field, Qt::Key_Backspace);
        EXPECT_EQ(field->text().size(), l.limit + 4) << l.name;
    }
}

TEST_F(MainFormTest, AboutIsCreatedOnceAndDisablesTheWindowWhileOpen) {
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    form.show();
    control<QAbstractButton>(form, "sbtnAbout1")->click();
    TAboutForm* about = form.AboutForm();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(form.isEnabled());
    about->accept();
    EXPECT_TRUE(form.isEnabled());
    control<QAbstractButton>(form, "sbtnAbout3")->click();
    EXPECT_EQ(form.AboutForm(), about) << "a second About window was created";
    EXPECT_TRUE(about->isVisible());
    about->reject();
    EXPECT_TRUE(form.isEnabled());
}

TEST_F(MainFormTest, HelpShowsTheManualAtThePagesSectionFromEveryPage) {
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_F1);
    ASSERT_NE(form.HelpForm(), nullptr) << "F1 did nothing";
    EXPECT_EQ(form.HelpForm()->Browser()->textCursor().selectedText(), "Splitting a file");
    auto* pages = control<QTabWidget>(form, "pgcMain");
    const char* const sections[] = {"Splitting a file", "Joining files", "Editing tags"};
    for (int page = 0; page < 3; ++page) {
        pages->setCurrentIndex(page);
        control<QAbstractButton>(form, ("sbtnHelp" + std::to_string(page + 1)).c_str())->click();
        ASSERT_NE(form.HelpForm(), nullptr);
        EXPECT_TRUE(form.HelpForm()->isVisible());
        const QTextBrowser* manual = form.HelpForm()->Browser();
        EXPECT_EQ(manual->textCursor().selectedText(), sections[page]);
        for (const char* topic : {"The exact mode", "Plug-ins", "The command-line tool", "tindrel-cli split"})
            EXPECT_TRUE(manual->toPlainText().contains(topic)) << topic;
    }
    EXPECT_TRUE(dialogs.openedDocuments().isEmpty());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(MainFormTest, TypedStartAndEndTimesMoveTheTrackBarWithinItsRange) {
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    auto* file = control<QLineEdit>(form, "edtFile");
    auto* start = control<QLineEdit>(form, "edtStart");
    auto* end = control<QLineEdit>(form, "edtEnd");
    auto* track = control<TTrackBar>(form, "tkbPosition");
    auto* time = control<QLabel>(form, "labTime1");
    auto* period = control<QLabel>(form, "labPeriod");

    // Without an existing file nothing follows the fields.
    start->setText("00:10.000");
    EXPECT_EQ(track->value(), 0);
    EXPECT_EQ(period->text(), "");

    file->setText(QString::fromStdString(dir.write("song.mp3", test::PatternBytes(10, 1))));
    start->setText("00:40.000"); // past the track bar's maximum of 30
    EXPECT_EQ(track->value(), 0);
    EXPECT_EQ(time->text(), "00:00.000");
    start->setText("00:20.500");
    EXPECT_EQ(track->value(), 20);
    EXPECT_EQ(track->SelStart(), 20);
    EXPECT_EQ(time->text(), "00:20.500");
    EXPECT_EQ(period->text(), "");
    end->setText("00:25.750");
    EXPECT_EQ(track->value(), 25);
    EXPECT_EQ(track->SelEnd(), 25);
    EXPECT_EQ(time->text(), "00:25.750");
    EXPECT_EQ(period->text(), "The selected part is 5.25 (Second.Millisecond)");
    end->setText("25.750"); // not a time: only the field and the line below it say so
    EXPECT_EQ(track->value(), 25);
    EXPECT_EQ(time->text(), "00:25.750");
    EXPECT_EQ(period->text(), "Ending time: \"25.750\" is not a time; use the format mm:ss.mmm");
    end->setText("00:30.999"); // truncates to the maximum itself
    EXPECT_EQ(track->value(), 30);
}

// The engine (here one whose device fails to open) is started once the
// window has been painted, not while it is being built; its failure is
// then said once.
TEST_F(MainFormTest, ThePlayerStartsAfterTheWindowIsFirstPainted) {
    ::setenv("TINDREL_FAKE_INIT_FAILS", "1", 1);
    const std::shared_ptr<void> unset(nullptr, [](void*) { ::unsetenv("TINDREL_FAKE_INIT_FAILS"); });
    TMainForm form(dialogs, QStringLiteral(TINDREL_FAKE_ENGINE_DIR), 0);
    EXPECT_TRUE(dialogs.messages().empty());
    form.show();
    ASSERT_TRUE(test::WaitFor([&] { return !dialogs.messages().empty(); }, 10000));
    EXPECT_FALSE(form.Player()->PlayerReady());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Can't initialize device\r\n(error code: 4242)");
}

using PluginShortcutTest = test::WindowFixture;

TEST_F(PluginShortcutTest, CtrlShiftPBringsThePluginWindowInFront) {
    auto* config = qobject_cast<QWidget*>(form->Player()->PluginConfigForm());
    ASSERT_NE(config, nullptr);
    form->show();
    for (const char* when : {"first opened", "behind the main window"}) {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get())) << when;
        QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(QTest::qWaitForWindowActive(config)) << when;
    }
}

// Every control under the window, by its name (or class and place among
// its like, for the unnamed captions) on the way down from the window.
std::map<std::string, QRect> controlPlaces(TMainForm& form) {
    std::map<std::string, QRect> places;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        QStringList path;
        for (QWidget* p = w; p != &form; p = p->parentWidget()) {
            QString name = p->objectName();
            if (name.isEmpty()) {
                int index = 0;
                for (QObject* sibling : p->parentWidget()->children()) {
                    if (sibling == p)
                        break;
                    index += sibling->metaObject() == p->metaObject();
                }
                name = QString::fromLatin1(p->metaObject()->className()) + '#' + QString::number(index);
            }
            path.prepend(name);
        }
        const QString key = path.join('/').remove("pgcMain/qt_tabwidget_stackedwidget/");
        if (!key.contains("qt_"))
            places[key.toStdString()] = QRect(w->mapTo(&form, QPoint(0, 0)), w->size());
    }
    return places;
}

// At its default size the window is laid out as it was before it could be
// resized, control by control; larger, the room goes to the waveform and
// the join list, and the controls beside them keep their size and corner.
TEST_F(MainFormTest, AtTheDefaultSizeNothingMovesAndTheRoomGoesToTheWaveformAndTheJoinList) {
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    form.show();
    std::ifstream table(test::TestDataDir() + "/app/default-layout.txt");
    std::map<std::string, QRect> designed;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string name;
        int x = 0, y = 0, w = 0, h = 0;
        if (line[0] != '#' && fields >> name >> x >> y >> w >> h)
            designed[name] = QRect(x, y, w, h);
    }
    ASSERT_GT(designed.size(), 100u);
    auto* pages = control<QTabWidget>(form, "pgcMain");
    const auto expectDesigned = [&](const char* when) {
        for (int page : {1, 2, 0}) // a page is laid out when first shown
            pages->setCurrentIndex(page);
        const std::map<std::string, QRect> places = controlPlaces(form);
        for (const auto& [name, rect] : designed) {
            ASSERT_TRUE(places.count(name)) << name << " is gone";
            EXPECT_EQ(places.at(name), rect) << name << " " << when;
        }
    };
    expectDesigned("at first");
    form.resize(1920, 1080);
    for (int page : {1, 2, 0})
        pages->setCurrentIndex(page);
    const QSize room(1920 - 653, 1080 - 513);
    const std::map<std::string, QRect> grown = controlPlaces(form);
    const struct {
        const char* name;
        QPoint moved;
        QSize widened;
    } follows[] = {
        {"tabSplit/gpbSplit/wfmWave", {}, room},
        {"tabJoint/ltvFile", {}, room},
        {"tabSplit/gpbSplit/tkbPosition", {0, room.height()}, {room.width(), 0}},
        {"tabSplit/gpbSplit/sbtnEnd", {room.width(), room.height()}, {0, 0}},
        {"tabSplit/btnOpen", {room.width(), 0}, {0, 0}},
        {"tabJoint/btnJoint", {room.width(), 0}, {0, 0}},
        {"tabTag/gpbID3v2", {}, {0, 0}},
        {"tabTag/sbtnAbout3", {room.width(), room.height()}, {0, 0}},
    };
    for (const auto& f : follows) {
        const QRect before = designed.at(f.name);
        EXPECT_EQ(grown.at(f.name), QRect(before.topLeft() + f.moved, before.size() + f.widened)) << f.name;
    }
    EXPECT_EQ(control<QTreeWidget>(form, "ltvFile")->columnWidth(0), 250 + room.width()) << "names elided";
    form.resize(653, 513);
    expectDesigned("after growing and shrinking back");
}

// The window's size, the two Exact boxes and the pause finder's settings
// come back in the next run, from the same settings file as the folders.
TEST_F(MainFormTest, SizeExactBoxesAndPauseSettingsSurviveARestart) {
    const QString song = QString::fromStdString(test::TestDataDir() + "/app/ten-seconds.mp3");
    const auto pauseDialog = [&](TMainForm& form) {
        control<QLineEdit>(form, "edtFile")->setText(song);
        control<QAbstractButton>(form, "btnPauses")->click();
        return control<QWidget>(form, "frmPauses");
    };
    {
        TMainForm form(dialogs, QString::fromStdString(dir.path()));
        form.show();
        form.resize(760, 580); // within the screen, which bounds a size read back
        control<QCheckBox>(form, "chkExactSplit")->setChecked(true);
        control<QCheckBox>(form, "chkExactJoin")->setChecked(true);
        QWidget* pauses = pauseDialog(form);
        pauses->findChild<QDoubleSpinBox*>("spnThreshold")->setValue(-33.5);
        pauses->findChild<QRadioButton*>("rdbSilences")->setChecked(true);
        EXPECT_TRUE(form.close());
    }
    TMainForm form(dialogs, QString::fromStdString(dir.path()));
    EXPECT_EQ(form.size(), QSize(760, 580));
    EXPECT_TRUE(control<QCheckBox>(form, "chkExactSplit")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(form, "chkExactJoin")->isChecked());
    QWidget* pauses = pauseDialog(form);
    EXPECT_EQ(pauses->findChild<QDoubleSpinBox*>("spnThreshold")->value(), -33.5);
    EXPECT_TRUE(pauses->findChild<QRadioButton*>("rdbSilences")->isChecked());
    EXPECT_TRUE(dialogs.messages().empty());
}

} // namespace
} // namespace tindrel
