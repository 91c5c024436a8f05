// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
//
// tindrel-screenshots [--long LONG.mp3] PROGRAM_DIR OUT_PREFIX SONG.mp3 OTHER.mp3...
//   shows the main window on the X display it is given, with SONG on the
//   split page (its waveform read, a range selected and the play position
//   set), the files in the join list and SONG's tags on the tag page, and
//   takes a picture of the screen for each page with ImageMagick's import:
//   OUT_PREFIX-split.png, OUT_PREFIX-join.png, OUT_PREFIX-tag.png,
//   OUT_PREFIX-edit.png, and one of
//   the Help window at the tag page's section, OUT_PREFIX-help.png.
//   With --long, the window is then maximised and LONG (an hour, say) is
//   opened, its waveform zoomed to ten seconds and scrolled to the middle:
//   OUT_PREFIX-wide-split.png, OUT_PREFIX-wide-join.png, OUT_PREFIX-wide-tag.png.
#include "app/EditPage.h"
#include "app/HelpForm.h"
#include "app/JoinPage.h"
#include "app/Main.h"
#include "app/SplitPage.h"
#include "app/Waveform.h"
#include "core/TimeText.h"
#include "platform/Application.h"
#include "platform/ErrorHandler.h"
#include "platform/QtDialogs.h"

#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QThread>

#include <cmath>
#include <cstdio>

namespace {

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

bool shoot(const QWidget& window, const QString& file) {
    settle(400);
    // import sees device pixels; the window's geometry is in Qt's own.
    const qreal scale = window.devicePixelRatio();
    const QRect g = window.frameGeometry();
    const QRect r(qRound(g.x() * scale), qRound(g.y() * scale), qRound(g.width() * scale), qRound(g.height() * scale));
    const QString crop = QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
    return QProcess::execute(QStringLiteral("import"), {"-window", "root", "-crop", crop, "+repage", file}) == 0;
}

void waitForWaveform(const tindrel::TWaveform& wave) {
    QElapsedTimer clock;
    clock.start();
    while (!wave.loader().state().complete() && clock.elapsed() < 120'000)
        settle(50);
}

// The window maximised, the long file's waveform zoomed to ten seconds in
// the middle of the file, a range selected and the play position in it.
bool shootWide(tindrel::TMainForm& form, const QString& longFile, const QString& prefix) {
    using namespace tindrel;
    form.showMaximized();
    QElapsedTimer clock;
    clock.start();
    while (!form.isMaximized() && clock.elapsed() < 10'000)
        settle(50);
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("pgcMain"));
    pages->setCurrentIndex(0);
    form.openFiles({longFile});
    TWaveform* wave = form.SplitPage()->Waveform();
    waitForWaveform(*wave);
    const int rate = wave->loader().state().rate;
    const int64_t middle = wave->loader().state().lengthFrames / 2;
    wave->zoomAt(0, std::log(static_cast<double>(wave->viewFrames()) / (10.0 * rate)) / std::log(1.5));
    wave->scrollToFrame(middle);
    const int64_t ms = middle * 1000 / rate;
    const auto text = [](int64_t at) {
        return QString::fromStdString(FormatTimeText(static_cast<double>(at) / 1000.0));
    };
    form.findChild<QLineEdit*>(QStringLiteral("edtStart"))->setText(text(ms + 2'250));
    form.findChild<QLineEdit*>(QStringLiteral("edtEnd"))->setText(text(ms + 6'500));
    emit wave->seekRequested(ms + 4'000);
    bool ok = shoot(form, prefix + QStringLiteral("-wide-split.png"));
    pages->setCurrentIndex(1);
    form.JoinPage()->addFiles({longFile});
    ok = shoot(form, prefix + QStringLiteral("-wide-join.png")) && ok;
    pages->setCurrentIndex(2);
    return shoot(form, prefix + QStringLiteral("-wide-tag.png")) && ok;
}

} // namespace

int main(int argc, char** argv) {
    using namespace tindrel;
    TApplication app(argc, argv);
    QStringList args = app.arguments();
    QString longFile;
    if (args.size() > 2 && args[1] == QStringLiteral("--long")) {
        longFile = args[2];
        args.remove(1, 2);
    }
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: %s [--long LONG.mp3] PROGRAM_DIR OUT_PREFIX SONG.mp3 OTHER.mp3...\n", argv[0]);
        return 2;
    }
    QtDialogs dialogs;
    ErrorHandler::setDialogs(&dialogs);
    TMainForm form(dialogs, args[1], 0);
    dialogs.setParentWidget(&form);
    form.move(20, 20);
    form.show();
    const QString prefix = args[2];
    form.openFiles({args[3]});
    TSplitPage* split = form.SplitPage();
    QElapsedTimer clock;
    clock.start();
    while (!split->Waveform()->loader().state().complete() && clock.elapsed() < 60'000)
        settle(50);
    form.findChild<QLineEdit*>(QStringLiteral("edtStart"))->setText(QStringLiteral("00:41.250"));
    form.findChild<QLineEdit*>(QStringLiteral("edtEnd"))->setText(QStringLiteral("01:37.500"));
    emit split->Waveform()->seekRequested(63'000); // as a click on the waveform would
    bool ok = shoot(form, prefix + QStringLiteral("-split.png"));
    auto* pages = form.findChild<QTabWidget*>(QStringLiteral("pgcMain"));
    form.JoinPage()->addFiles(args.mid(3));
    pages->setCurrentIndex(1);
    ok = shoot(form, prefix + QStringLiteral("-join.png")) && ok;
    pages->setCurrentIndex(2);
    ok = shoot(form, prefix + QStringLiteral("-tag.png")) && ok;
    pages->setCurrentIndex(3);
    auto* edit = form.findChild<TEditPage*>(QStringLiteral("tabEdit"));
    edit->openFile(args[3]);
    auto* editWave = edit->findChild<TWaveform*>(QStringLiteral("wavEdit"));
    clock.restart();
    while (!editWave->loader().state().complete() && clock.elapsed() < 60'000)
        settle(50);
    // A pause taken out, the quiet phrase raised and the end faded.
    edit->setSelectionMs(60'500, 67'500);
    edit->btnDeleteClick();
    edit->findChild<QDoubleSpinBox*>(QStringLiteral("edtLevel"))->setValue(4.5);
    edit->setSelectionMs(5'000, 55'000);
    edit->btnLevelClick();
    edit->setSelectionMs(138'000, 150'000);
    edit->btnFadeOutClick();
    edit->setSelectionMs(95'000, 101'000);
    // Zoomed in a little, so that the scroll bar shows.
    editWave->zoomAt(editWave->width() * 3 / 4, 0.5);
    ok = shoot(form, prefix + QStringLiteral("-edit.png")) && ok;
    form.showHelp();
    form.HelpForm()->move(40, 40);
    ok = shoot(*form.HelpForm(), prefix + QStringLiteral("-help.png")) && ok;
    if (!longFile.isEmpty()) {
        form.HelpForm()->hide();
        ok = shootWide(form, longFile, prefix) && ok;
    }
    ErrorHandler::setDialogs(nullptr);
    return ok ? 0 : 1;
}
