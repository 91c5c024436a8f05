// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Main.h"
#include "app/TrackBar.h"
#include "app/UpDown.h"
#include "core/TimeText.h"
#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"
#include "platform/FormBuilder.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <cmath>

namespace tindrel {

namespace {

const QString kMinSecMs = QStringLiteral("( Min : Sec . MilliSec )");

QToolButton* makePictureButton(QWidget* parent, const QString& name, QStyle::StandardPixmap icon, const QString& hint,
                               const QRect& geometry) {
    auto* button = make<QToolButton>(parent, name, geometry);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(hint);
    return button;
}

QToolButton* makeMarkButton(QWidget* parent, const QString& name, const QString& caption, const QString& hint,
                            const QRect& geometry) {
    auto* button = make<QToolButton>(parent, name, geometry);
    button->setText(caption);
    button->setToolTip(hint);
    return button;
}

} // namespace

QWidget* TMainForm::buildSplitPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tabSplit"));

    // Left: what is known of the open file, and the preview.
    auto* group = make<QGroupBox>(page, QStringLiteral("gpbSplit"), {6, 4, 300, 324});
    const char* captions[] = {"Title:", "Artist:", "Album:", "Year:", "Comment:", "Length:"};
    const char* names[] = {"labTitle", "labArtist", "labAlbum", "labYear", "labComment", "labLength"};
    for (int i = 0; i < 6; ++i) {
        makeLabel(group, {}, QString::fromLatin1(captions[i]), {12, 18 + 24 * i, 72, 20});
        m_infoLabels[i] = makeLabel(group, QString::fromLatin1(names[i]), {}, {86, 18 + 24 * i, 206, 20});
    }
    tkbPosition = make<TTrackBar>(group, QStringLiteral("tkbPosition"), {8, 166, 284, 34});
    tkbPosition->setRange(0, 30);
    sbtnPlay = makePictureButton(group, QStringLiteral("sbtnPlay"), QStyle::SP_MediaPlay, QStringLiteral("Play"),
                                 {12, 210, 34, 28});
    sbtnPause = makePictureButton(group, QStringLiteral("sbtnPause"), QStyle::SP_MediaPause, QStringLiteral("Pause"),
                                  {50, 210, 34, 28});
    sbtnStop = makePictureButton(group, QStringLiteral("sbtnStop"), QStyle::SP_MediaStop, QStringLiteral("Stop"),
                                 {88, 210, 34, 28});
    sbtnBegin = makeMarkButton(group, QStringLiteral("sbtnBegin"), QStringLiteral("{"),
                               QStringLiteral("Select start time point"), {218, 210, 34, 28});
    sbtnEnd = makeMarkButton(group, QStringLiteral("sbtnEnd"), QStringLiteral("}"),
                             QStringLiteral("Select end time point"), {256, 210, 34, 28});
    makeLabel(group, QStringLiteral("labTime"), QStringLiteral("Time:"), {12, 252, 40, 20});
    labTime1 = makeLabel(group, QStringLiteral("labTime1"), QStringLiteral("00:00.000"), {54, 252, 80, 20});
    makeLabel(group, QStringLiteral("Label1"), kMinSecMs, {136, 252, 156, 20});
    TmrPlayer = new QTimer(this);
    TmrPlayer->setObjectName(QStringLiteral("TmrPlayer"));
    TmrPlayer->setInterval(1000);

    // Right: the source, the kind of split, and the times.
    edtFile = make<QLineEdit>(page, QStringLiteral("edtFile"), {316, 12, 230, 26});
    btnOpen = make<QPushButton>(page, QStringLiteral("btnOpen"), {552, 12, 84, 26});
    btnOpen->setText(QStringLiteral("&Open"));

    rdbPart = make<QRadioButton>(page, QStringLiteral("rdbPart"), {316, 52, 118, 22});
    rdbPart->setText(QStringLiteral("Split file into"));
    edtPart = make<QLineEdit>(page, QStringLiteral("edtPart"), {436, 51, 38, 24});
    edtPart->setText(QStringLiteral("2"));
    updPart = new TUpDown(edtPart, 2, 99, 2, page);
    updPart->setObjectName(QStringLiteral("updPart"));
    updPart->setGeometry(474, 51, 18, 24);
    labPart2 = makeLabel(page, QStringLiteral("labPart2"), QStringLiteral("equal parts (Max:99)."), {498, 52, 140, 22});

    rdbTime = make<QRadioButton>(page, QStringLiteral("rdbTime"), {316, 86, 260, 22});
    rdbTime->setText(QStringLiteral("Split selected time session:"));
    rdbTime->setChecked(true);
    labStart1 = makeLabel(page, QStringLiteral("labStart1"), QStringLiteral("Starting time:"), {332, 118, 88, 22});
    edtStart = make<QLineEdit>(page, QStringLiteral("edtStart"), {420, 117, 76, 24});
    edtStart->setText(QStringLiteral("00:00.000"));
    makeLabel(page, QStringLiteral("Label2"), kMinSecMs, {500, 118, 142, 22});
    labEnd1 = makeLabel(page, QStringLiteral("labEnd1"), QStringLiteral("Ending  time:"), {332, 150, 88, 22});
    edtEnd = make<QLineEdit>(page, QStringLiteral("edtEnd"), {420, 149, 76, 24});
    edtEnd->setText(QStringLiteral("00:00.000"));
    makeLabel(page, QStringLiteral("Label3"), kMinSecMs, {500, 150, 142, 22});
    labPeriod = makeLabel(page, QStringLiteral("labPeriod"), {}, {332, 180, 308, 22});
    for (QWidget* w : {static_cast<QWidget*>(edtPart), static_cast<QWidget*>(updPart), static_cast<QWidget*>(labPart2)})
        w->setEnabled(false);

    btnSplit = make<QPushButton>(page, QStringLiteral("btnSplit"), {332, 212, 100, 30});
    btnSplit->setText(QStringLiteral("&Split"));
    btnStop = make<QPushButton>(page, QStringLiteral("btnStop"), {440, 212, 100, 30});
    btnStop->setText(QStringLiteral("S&top"));
    pgbProgress = make<QProgressBar>(page, QStringLiteral("pgbProgress"), {332, 254, 304, 18});
    pgbProgress->setRange(0, 100);
    pgbProgress->setValue(0);
    pgbProgress->setTextVisible(false);
    pgbProgress->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: #1f5fbf; }"));
    pgbProgress->hide();
    addHelpAndAbout(page, 1, {456, 300, 86, 26}, {550, 300, 86, 26});
    return page;
}

void TMainForm::connectSplitPage() {
    const auto onClick = [this](QAbstractButton* button, void (TMainForm::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, ErrorHandler::guard([this, handler] { (this->*handler)(); }));
    };
    onClick(btnOpen, &TMainForm::btnOpenClick);
    onClick(rdbTime, &TMainForm::rdbTimeClick);
    onClick(rdbPart, &TMainForm::rdbPartClick);
    onClick(btnSplit, &TMainForm::btnSplitClick);
    onClick(btnStop, &TMainForm::btnStopClick);
    onClick(sbtnPlay, &TMainForm::sbtnPlayClick);
    onClick(sbtnPause, &TMainForm::sbtnPauseClick);
    onClick(sbtnStop, &TMainForm::sbtnStopClick);
    onClick(sbtnBegin, &TMainForm::sbtnBeginClick);
    onClick(sbtnEnd, &TMainForm::sbtnEndClick);
    connect(edtStart, &QLineEdit::textChanged, this, ErrorHandler::guard([this] { edtStartChange(); }));
    connect(edtEnd, &QLineEdit::textChanged, this, ErrorHandler::guard([this] { edtEndChange(); }));
    connect(tkbPosition, &QSlider::valueChanged, this, ErrorHandler::guard([this] { tkbPositionChange(); }));
    connect(TmrPlayer, &QTimer::timeout, this, ErrorHandler::guard([this] { TmrPlayerTimer(); }));
}

void TMainForm::UpdateSelectedPartLabel() {
    labPeriod->setText(
        QString::fromStdString(SelectedPartText(edtStart->text().toStdString(), edtEnd->text().toStdString())));
}

void TMainForm::edtStartChange() {
    edtTimeChange(edtStart, m_startOneShot, true);
}

void TMainForm::edtEndChange() {
    edtTimeChange(edtEnd, m_endOneShot, false);
}

void TMainForm::edtTimeChange(QLineEdit* field, bool& oneShot, bool isStart) {
    if (oneShot) {
        oneShot = false;
        return;
    }
    if (!FileExists(edtFile->text().toStdString()))
        return;
    const double v = ParseTimeSeconds(field->text().toStdString());
    if (v < 0 || std::trunc(v) > tkbPosition->maximum())
        return;
    const int position = static_cast<int>(std::trunc(v));
    tkbPosition->setValue(position);
    if (isStart)
        tkbPosition->SetSelStart(position);
    else
        tkbPosition->SetSelEnd(position);
    labTime1->setText(field->text());
    UpdateSelectedPartLabel();
}

} // namespace tindrel
