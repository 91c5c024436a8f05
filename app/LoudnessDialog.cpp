// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/LoudnessDialog.h"

#include "core/LosslessGain.h"
#include "platform/Dialogs.h"
#include "platform/FormBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QTableWidget>

#include <cmath>
#include <set>

namespace tindrel {
namespace {

QString decibels(double linear) {
    return linear > 0 ? QString::number(20 * std::log10(linear), 'f', 2) : QStringLiteral("-inf");
}

QStringList rowTexts(const QString& name, const TLoudness& figures) {
    return {name, figures.Silent() ? QStringLiteral("-inf") : QString::number(figures.Loudness, 'f', 2),
            decibels(figures.SamplePeak), decibels(figures.TruePeak), QString::number(figures.Gain(), 'f', 2)};
}

} // namespace

TLoudnessDialog::TLoudnessDialog(IDialogs& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmLoudness"));
    setWindowTitle(QStringLiteral("Loudness"));
    setFixedSize(560, 356);
    buildControls();
}

TLoudnessDialog::~TLoudnessDialog() {
    stopScan();
}

void TLoudnessDialog::buildControls() {
    grdLoudness = make<QTableWidget>(this, QStringLiteral("grdLoudness"), {6, 6, 548, 220});
    grdLoudness->setColumnCount(5);
    grdLoudness->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("LUFS"), QStringLiteral("Peak dBFS"),
                                            QStringLiteral("True peak"), QStringLiteral("Gain dB")});
    grdLoudness->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    grdLoudness->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdLoudness->verticalHeader()->hide();
    pgbScan = make<QProgressBar>(this, QStringLiteral("pgbScan"), {6, 232, 548, 18});
    labNote = makeLabel(this, QStringLiteral("labNote"), {}, {6, 254, 548, 24});
    btnMeasure = makeButton(this, QStringLiteral("btnMeasure"), QStringLiteral("&Measure"), {6, 284, 100, 28});
    btnStop = makeButton(this, QStringLiteral("btnStop"), QStringLiteral("S&top"), {112, 284, 100, 28});
    btnWriteTags = makeButton(this, QStringLiteral("btnWriteTags"), QStringLiteral("&Write tags"), {218, 284, 100, 28});
    cmbApply = make<QComboBox>(this, QStringLiteral("cmbApply"), {6, 320, 100, 28});
    chkNoClip =
        makeButton<QCheckBox>(this, QStringLiteral("chkNoClip"), QStringLiteral("&No clipping"), {112, 320, 100, 28});
    chkNoClip->setChecked(true);
    btnApply = makeButton(this, QStringLiteral("btnApply"), QStringLiteral("&Apply gain"), {218, 320, 100, 28});
    btnUndo = makeButton(this, QStringLiteral("btnUndo"), QStringLiteral("&Undo gain"), {324, 320, 100, 28});
    auto* close = makeButton(this, QStringLiteral("btnClose"), QStringLiteral("&Close"), {454, 320, 100, 28});
    onClick(btnMeasure, this, &TLoudnessDialog::btnMeasureClick);
    onClick(btnStop, this, &TLoudnessDialog::btnStopClick);
    onClick(btnWriteTags, this, &TLoudnessDialog::btnWriteTagsClick);
    onClick(btnApply, this, &TLoudnessDialog::btnApplyClick);
    onClick(btnUndo, this, &TLoudnessDialog::btnUndoClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void TLoudnessDialog::Start(const QStringList& files, bool album) {
    stopScan();
    m_files = files;
    m_album = album;
    m_result = {};
    cmbApply->clear();
    cmbApply->addItem(QStringLiteral("Track gain"));
    if (album)
        cmbApply->addItem(QStringLiteral("Album gain"));
    showFigures();
    show();
    btnMeasureClick();
}

void TLoudnessDialog::setBusy(bool busy) {
    btnMeasure->setEnabled(!busy);
    btnStop->setEnabled(busy);
    for (QWidget* control :
         {static_cast<QWidget*>(btnWriteTags), static_cast<QWidget*>(btnApply), static_cast<QWidget*>(btnUndo)})
        control->setEnabled(!busy && !m_result.Tracks.empty());
    btnUndo->setEnabled(!busy);
}

void TLoudnessDialog::btnMeasureClick() {
    if (Scanning() || m_files.isEmpty())
        return;
    m_stop = false;
    m_result = {};
    setBusy(true);
    pgbScan->setValue(0);
    labNote->setText(QStringLiteral("Measuring the loudness..."));
    std::vector<std::string> paths;
    for (const QString& file : m_files)
        paths.push_back(file.toStdString());
    const int scan = ++m_scan;
    m_worker = std::thread([this, paths, scan] {
        TLoudnessScan result;
        QString error;
        try {
            result = ScanLoudness(
                paths,
                [this](int percent) {
                    QMetaObject::invokeMethod(
                        this, [this, percent] { pgbScan->setValue(percent); }, Qt::QueuedConnection);
                },
                [this] { return m_stop.load(); });
        } catch (const std::exception& e) {
            error = QString::fromStdString(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, scan, result, error] { scanDone(scan, result, error); }, Qt::QueuedConnection);
    });
}

void TLoudnessDialog::scanDone(int scan, TLoudnessScan result, QString error) {
    if (scan != m_scan)
        return;
    if (m_worker.joinable())
        m_worker.join();
    m_result = std::move(result);
    setBusy(false);
    showFigures();
    if (!error.isEmpty()) {
        labNote->clear();
        m_dialogs.information(error);
        return;
    }
    labNote->setText(m_result.Tracks.empty() ? QStringLiteral("Measuring is stopped.")
                                             : QStringLiteral("Gains bring the files to -18 LUFS."));
}

void TLoudnessDialog::showFigures() {
    const bool measured = !m_result.Tracks.empty();
    grdLoudness->setRowCount(int(m_files.size()) + (m_album ? 1 : 0));
    for (int row = 0; row < grdLoudness->rowCount(); ++row) {
        const bool albumRow = row == int(m_files.size());
        const QString name = albumRow ? QStringLiteral("Album") : m_files[row];
        QStringList texts = {name, {}, {}, {}, {}};
        if (measured)
            texts = rowTexts(name, albumRow ? m_result.Album : m_result.Tracks[std::size_t(row)]);
        for (int column = 0; column < texts.size(); ++column)
            grdLoudness->setItem(row, column, new QTableWidgetItem(texts[column]));
    }
}

void TLoudnessDialog::btnStopClick() {
    m_stop = true;
}

void TLoudnessDialog::stopScan() {
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
    ++m_scan;
}

void TLoudnessDialog::btnWriteTagsClick() {
    if (m_result.Tracks.empty())
        return;
    QStringList skipped;
    for (std::size_t i = 0; i < m_result.Tracks.size(); ++i) {
        const std::string& path = m_result.Paths[i];
        if (!HoldsLayerIII(path)) {
            skipped << m_files[int(i)];
            continue;
        }
        std::string reason;
        if (!WriteReplayGainTags(path, m_result.Tracks[i], m_album ? &m_result.Album : nullptr, &reason))
            throw std::runtime_error("Cannot write the tags of \"" + path + "\". " + reason);
    }
    emit FilesWritten();
    labNote->setText(skipped.isEmpty() ? QStringLiteral("The tags are written.")
                                       : QStringLiteral("The tags are written; not MP3: ") + skipped.join(", "));
}

void TLoudnessDialog::btnApplyClick() {
    if (m_result.Tracks.empty())
        return;
    const bool album = cmbApply->currentIndex() == 1;
    int changed = 0;
    std::set<int> stepsTaken;
    for (std::size_t i = 0; i < m_result.Tracks.size(); ++i) {
        const std::string& path = m_result.Paths[i];
        const auto range = FileGainRange(path);
        int steps = 0;
        const TLoudness& figures = m_result.Tracks[i];
        if (range) {
            steps = GainSteps(album ? m_result.Album.Gain() : figures.Gain());
            if (chkNoClip->isChecked())
                steps = StepsWithoutClipping(steps, figures.SamplePeak, *range);
        }
        stepsTaken.insert(steps);
        if (steps == 0)
            continue;
        ApplyGain(path, steps);
        m_result.Tracks[i] = AfterGainSteps(figures, steps);
        ++changed;
    }
    emit FilesWritten();
    const QString note = QStringLiteral("The gain of %1 file(s) is changed.").arg(changed);
    // The album's loudness follows one change made to every file; changes
    // that differ weigh its parts anew, and only measuring tells how.
    if (m_album && stepsTaken.size() > 1) {
        btnMeasureClick();
        labNote->setText(note + QStringLiteral(" Measuring the album again..."));
        return;
    }
    if (!stepsTaken.empty())
        m_result.Album = AfterGainSteps(m_result.Album, *stepsTaken.begin());
    showFigures();
    labNote->setText(note);
}

void TLoudnessDialog::btnUndoClick() {
    int undone = 0;
    for (const QString& file : m_files)
        if (HoldsLayerIII(file.toStdString()) && UndoGain(file.toStdString()))
            ++undone;
    emit FilesWritten();
    labNote->setText(QStringLiteral("The gain change of %1 file(s) is undone.").arg(undone));
    if (undone > 0)
        btnMeasureClick();
}

void TLoudnessDialog::reject() {
    stopScan();
    QDialog::reject();
}

} // namespace tindrel
