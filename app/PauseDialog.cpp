// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/PauseDialog.h"

#include "app/GaugeSplitObserver.h"
#include "core/ReadOnlyMark.h"
#include "core/TimeText.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"
#include "platform/FileStream.h"
#include "platform/FormBuilder.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

namespace tindrel {

namespace {

// How much of the sound before a cut its preview plays.
constexpr int64_t kPreviewLeadMs = 2'000;

QDoubleSpinBox* makeSeconds(QWidget* parent, const QString& name, double value, double maximum) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, maximum);
    box->setDecimals(2);
    box->setSuffix(QStringLiteral(" s"));
    box->setValue(value);
    return box;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QString timeText(int64_t ms) {
    return QString::fromStdString(FormatTimeText(ms / 1000.0));
}

QString pauseText(const Silence& s) {
    char length[32];
    std::snprintf(length, sizeof length, " (%.3f s)", s.lengthMs() / 1000.0);
    return timeText(s.startMs) + QStringLiteral(" - ") + timeText(s.endMs) + QString::fromLatin1(length);
}

} // namespace

TPauseDialog::TPauseDialog(IDialogs& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("frmPauses"));
    setWindowTitle(QStringLiteral("Split at pauses"));
    buildControls();
}

TPauseDialog::~TPauseDialog() {
    stopScan();
}

void TPauseDialog::buildControls() {
    auto* modes = new QGroupBox(QStringLiteral("Cut"), this);
    rdbAtPauses = makeButton<QRadioButton>(modes, QStringLiteral("rdbAtPauses"),
                                           QStringLiteral("the equal parts, each cut moved into a pause"), {});
    rdbSilences = makeButton<QRadioButton>(modes, QStringLiteral("rdbSilences"),
                                           QStringLiteral("in the middle of every pause"), {});
    rdbCue = makeButton<QRadioButton>(modes, QStringLiteral("rdbCue"), QStringLiteral("by a CUE sheet:"), {});
    rdbAtPauses->setChecked(true);
    edtCue = new QLineEdit(modes);
    edtCue->setObjectName(QStringLiteral("edtCue"));
    btnCue = button(modes, QStringLiteral("btnCue"), QStringLiteral("C&hoose..."));
    auto* cueRow = new QHBoxLayout;
    cueRow->addWidget(rdbCue);
    cueRow->addWidget(edtCue, 1);
    cueRow->addWidget(btnCue);
    auto* modeBox = new QVBoxLayout(modes);
    modeBox->addWidget(rdbAtPauses);
    modeBox->addWidget(rdbSilences);
    modeBox->addLayout(cueRow);

    spnThreshold = new QDoubleSpinBox(this);
    spnThreshold->setObjectName(QStringLiteral("spnThreshold"));
    spnThreshold->setRange(-120, 0);
    spnThreshold->setDecimals(1);
    spnThreshold->setSuffix(QStringLiteral(" dB"));
    spnThreshold->setValue(SilenceOptions{}.thresholdDb);
    spnMinSilence = makeSeconds(this, QStringLiteral("spnMinSilence"), SilenceOptions{}.minLengthMs / 1000.0, 3600);
    spnMinSilence->setMinimum(0.01);
    spnWindow = makeSeconds(this, QStringLiteral("spnWindow"), kPauseWindowMs / 1000.0, 3600);
    spnMinPiece = makeSeconds(this, QStringLiteral("spnMinPiece"), 0, 36000);
    spnPieces = new QSpinBox(this);
    spnPieces->setObjectName(QStringLiteral("spnPieces"));
    spnPieces->setRange(0, 9999);
    spnPieces->setSpecialValueText(QStringLiteral("any"));
    // The window's own count, so that what it cuts into is in sight here.
    spnParts = new QSpinBox(this);
    spnParts->setObjectName(QStringLiteral("spnParts"));
    spnParts->setRange(2, 99);
    spnParts->setValue(2);
    auto* settings = new QFormLayout;
    settings->addRow(QStringLiteral("Number of equal parts:"), spnParts);
    settings->addRow(QStringLiteral("A pause is quieter than:"), spnThreshold);
    settings->addRow(QStringLiteral("and lasts at least:"), spnMinSilence);
    settings->addRow(QStringLiteral("Look for it within (either way):"), spnWindow);
    settings->addRow(QStringLiteral("Pieces last at least:"), spnMinPiece);
    settings->addRow(QStringLiteral("Number of pieces at most:"), spnPieces);

    btnFind = button(this, QStringLiteral("btnFind"), QStringLiteral("&Find"));
    btnStop = button(this, QStringLiteral("btnStopFind"), QStringLiteral("S&top"));
    btnStop->setEnabled(false);
    pgbScan = new QProgressBar(this);
    pgbScan->setObjectName(QStringLiteral("pgbScan"));
    pgbScan->setRange(0, 100);
    pgbScan->setValue(0);
    auto* findRow = new QHBoxLayout;
    findRow->addWidget(btnFind);
    findRow->addWidget(btnStop);
    findRow->addWidget(pgbScan, 1);

    grdCuts = new QTableWidget(0, 3, this);
    grdCuts->setObjectName(QStringLiteral("grdCuts"));
    grdCuts->setHorizontalHeaderLabels(
        {QStringLiteral("Cut at"), QStringLiteral("Really cut at"), QStringLiteral("Piece from there")});
    grdCuts->setToolTip(QStringLiteral("Double-click a cut to hear it, and again to stop it.\nWithout Exact a cut "
                                       "falls between whole frames, at the time beside it."));
    grdCuts->horizontalHeader()->setStretchLastSection(true);
    grdCuts->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCuts->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPauses = new QListWidget(this);
    lstPauses->setObjectName(QStringLiteral("lstPauses"));
    auto* lists = new QHBoxLayout;
    auto* cutsBox = new QVBoxLayout;
    cutsBox->addWidget(new QLabel(QStringLiteral("Planned cuts (edit a time to move one):"), this));
    cutsBox->addWidget(grdCuts);
    auto* pausesBox = new QVBoxLayout;
    pausesBox->addWidget(new QLabel(QStringLiteral("Pauses found:"), this));
    pausesBox->addWidget(lstPauses);
    lists->addLayout(cutsBox, 3);
    lists->addLayout(pausesBox, 2);
    labNote = new QLabel(this);
    labNote->setObjectName(QStringLiteral("labNote"));
    labNote->setWordWrap(true);

    btnDrop = button(this, QStringLiteral("btnDrop"), QStringLiteral("&Drop cut"));
    btnSplit = button(this, QStringLiteral("btnSplitAtCuts"), QStringLiteral("&Split"));
    btnSplit->setEnabled(false);
    btnStopPlay = button(this, QStringLiteral("btnStopPlay"), QStringLiteral("Stop &playing"));
    btnStopPlay->setEnabled(false);
    auto* btnClose = button(this, QStringLiteral("btnClosePauses"), QStringLiteral("&Close"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDrop);
    buttons->addWidget(btnStopPlay);
    buttons->addStretch(1);
    buttons->addWidget(btnSplit);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(modes);
    layout->addLayout(settings);
    layout->addLayout(findRow);
    layout->addLayout(lists, 1);
    layout->addWidget(labNote);
    layout->addLayout(buttons);
    resize(620, 560);

    onClick(btnFind, this, &TPauseDialog::btnFindClick);
    onClick(btnStop, this, &TPauseDialog::btnStopClick);
    onClick(btnDrop, this, &TPauseDialog::btnDropClick);
    onClick(btnSplit, this, &TPauseDialog::btnSplitClick);
    onClick(btnCue, this, &TPauseDialog::btnCueClick);
    onClick(btnStopPlay, this, &TPauseDialog::btnStopPlayClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(grdCuts, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { cutDoubleClicked(row); });
    // Only the settings of the chosen way of cutting can be changed.
    const auto enableSettings = [this] {
        spnThreshold->setEnabled(!byCue());
        spnMinSilence->setEnabled(!byCue());
        spnWindow->setEnabled(rdbAtPauses->isChecked());
        spnParts->setEnabled(rdbAtPauses->isChecked());
        spnMinPiece->setEnabled(rdbSilences->isChecked());
        spnPieces->setEnabled(rdbSilences->isChecked());
    };
    for (QRadioButton* mode : {rdbAtPauses, rdbSilences, rdbCue})
        connect(mode, &QRadioButton::toggled, this, enableSettings);
    enableSettings();
    connect(grdCuts, &QTableWidget::itemChanged, this,
            [this](QTableWidgetItem* item) { ErrorHandler::guard([this, item] { cutEdited(item); })(); });
}

void TPauseDialog::Start(const std::string& source, int64_t lengthMs, int parts, DescribeSource describe,
                         SplitMode mode) {
    if (source != m_source || lengthMs != m_lengthMs) {
        stopScan();
        m_profile.reset();
        m_cuts.clear();
        m_tracks.clear();
        m_note.clear();
        m_sheet.reset();
        m_pauses.clear();
        m_frames.reset();
        m_planned = false;
        edtCue->setText(QString::fromStdString(CueBeside(source).value_or(std::string())));
        lstPauses->clear();
        pgbScan->setValue(0);
        if (parts >= 2)
            spnParts->setValue(parts);
    }
    m_source = source;
    m_lengthMs = lengthMs;
    m_describe = std::move(describe);
    m_mode = mode;
    // Shown again for the file and the mode now in force: the waveform
    // behind shows this file, and the Exact box decides where cuts fall.
    showPlan();
}

int64_t TPauseDialog::planLengthMs() const {
    // The exact mode cuts the decoded stream, whose length the scan measured;
    // the byte rule goes by the player's length.
    return m_mode == SplitMode::Exact && m_profile && !m_sheet ? m_profile->lengthMs() : m_lengthMs;
}

bool TPauseDialog::byCue() const {
    return rdbCue->isChecked();
}

SilenceOptions TPauseDialog::options() const {
    return {spnThreshold->value(), std::llround(spnMinSilence->value() * 1000)};
}

int64_t TPauseDialog::windowMs() const {
    return std::llround(spnWindow->value() * 1000);
}

void TPauseDialog::btnCueClick() {
    if (const auto chosen = m_dialogs.openFile(QStringLiteral("CUE sheets (*.cue)|*.cue"))) {
        edtCue->setText(*chosen);
        rdbCue->setChecked(true);
    }
}

void TPauseDialog::btnFindClick() {
    if (Scanning())
        return;
    if (byCue()) {
        planFromSheet();
        return;
    }
    // The levels are kept: other settings plan again without decoding.
    if (m_profile) {
        planFromProfile();
        return;
    }
    m_stopScan = false;
    btnFind->setEnabled(false);
    btnStop->setEnabled(true);
    btnSplit->setEnabled(false);
    btnSplit->setToolTip({});
    pgbScan->setValue(0);
    labNote->setText(QStringLiteral("Looking for pauses..."));
    const std::string path = m_source;
    const int scan = ++m_scan;
    m_worker = std::thread([this, path, scan] {
        std::shared_ptr<LevelProfile> profile;
        QString error;
        try {
            std::optional<LevelProfile> scanned = ScanLevels(
                path,
                [this](int percent) {
                    QMetaObject::invokeMethod(
                        this, [this, percent] { pgbScan->setValue(percent); }, Qt::QueuedConnection);
                },
                [this] { return m_stopScan.load(); });
            if (scanned)
                profile = std::make_shared<LevelProfile>(std::move(*scanned));
        } catch (const std::exception& e) {
            error = QString::fromStdString(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, scan, profile, error] { scanDone(scan, profile, error); }, Qt::QueuedConnection);
    });
}

void TPauseDialog::scanDone(int scan, std::shared_ptr<LevelProfile> profile, QString error) {
    if (scan != m_scan)
        return;
    if (m_worker.joinable())
        m_worker.join();
    btnFind->setEnabled(true);
    btnStop->setEnabled(false);
    enableSplit();
    if (!error.isEmpty()) {
        labNote->clear();
        m_dialogs.information(error);
        return;
    }
    if (!profile) {
        labNote->setText(QStringLiteral("Looking for pauses is stopped."));
        return;
    }
    m_profile = std::move(profile);
    planFromProfile();
}

void TPauseDialog::stopScan() {
    m_stopScan = true;
    if (m_worker.joinable())
        m_worker.join();
    ++m_scan;
    btnFind->setEnabled(true);
    btnStop->setEnabled(false);
    enableSplit();
}

void TPauseDialog::btnStopClick() {
    m_stopScan = true;
    m_stopSplit = true;
}

void TPauseDialog::planFromProfile() {
    const SilenceOptions settings = options();
    const std::vector<Silence> pauses = m_profile->FindSilences(settings);
    m_pauses = pauses;
    lstPauses->clear();
    for (const Silence& s : pauses)
        lstPauses->addItem(pauseText(s));
    m_sheet.reset();
    m_tracks.clear();
    m_note.clear();
    m_planned = true;
    if (rdbAtPauses->isChecked()) {
        const std::vector<PauseCut> cuts =
            PlacePartsAtPauses(*m_profile, spnParts->value(), planLengthMs(), settings, windowMs());
        m_cuts.clear();
        for (const PauseCut& cut : cuts)
            m_cuts.push_back(cut.cutMs);
        m_note = UnmovedCutsText(cuts, settings, windowMs());
    } else {
        m_cuts = CutsAtSilences(pauses, m_profile->lengthMs(), std::llround(spnMinPiece->value() * 1000),
                                spnPieces->value());
        if (m_cuts.empty())
            m_note = "No pause of at least " + FormatTimeText(settings.minLengthMs / 1000.0) +
                     " to cut at was found; change the settings and find again.";
    }
    showPlan();
}

void TPauseDialog::planFromSheet() {
    std::string path = edtCue->text().toStdString();
    if (path.empty())
        path = CueBeside(m_source).value_or(std::string());
    if (path.empty()) {
        m_dialogs.information(QStringLiteral("Please choose a CUE sheet."));
        return;
    }
    m_sheet = LoadCueSheet(path);
    m_tracks = TracksFor(*m_sheet, m_source);
    m_cuts.clear();
    m_pauses.clear();
    lstPauses->clear();
    m_planned = true;
    // The tracks of other files, and those starting after the end, are left
    // out: the note names them, here and after the split.
    std::string pastTheEnd;
    m_note = OtherFilesText(*m_sheet, m_tracks);
    m_tracks.resize(PiecesFromCue(m_source, {}, *m_sheet, m_tracks, m_lengthMs, &pastTheEnd).size());
    for (const CueTrack& track : m_tracks)
        m_cuts.push_back(track.startMs());
    if (!pastTheEnd.empty())
        m_note += (m_note.empty() ? "" : "\n") + pastTheEnd;
    if (m_cuts.empty() && m_note.empty())
        m_note = "No track of the CUE sheet starts before the end of the file.";
    showPlan();
}

std::vector<PlannedPiece> TPauseDialog::plannedPieces(const std::string& folder) const {
    return m_sheet ? PiecesFromCue(m_source, folder, *m_sheet, m_tracks, m_lengthMs)
                   : PiecesBetweenCuts(m_source, folder, m_cuts, planLengthMs());
}

std::vector<int64_t> TPauseDialog::realCuts() {
    if (m_cuts.empty() || m_mode == SplitMode::Exact)
        return m_cuts;
    std::vector<PlannedPiece> pieces = plannedPieces({});
    try {
        if (!m_frames)
            m_frames.emplace(FileStream::openRead(m_source));
        PlaceOnFrames(*m_frames, pieces);
    } catch (const std::exception&) {
        return {}; // no frames to place on: the split itself says why
    }
    // A sheet's rows are its pieces' starts; the other rows are the starts
    // of the pieces after the first.
    const std::size_t first = m_sheet ? 0 : 1;
    std::vector<int64_t> cuts;
    for (std::size_t i = first; i < pieces.size(); ++i)
        cuts.push_back(pieces[i].startMs);
    return cuts;
}

void TPauseDialog::showPlan() {
    m_showing = true;
    const auto done = qScopeGuard([this] { m_showing = false; });
    grdCuts->setRowCount(static_cast<int>(m_cuts.size()));
    const QString stem = QString::fromStdString(SourceStem(m_source));
    const std::vector<int64_t> real = realCuts();
    // A sheet's rows are its pieces' starts; the other rows are the cuts
    // between numbered parts, so the part after cut i is part i + 2.
    for (int i = 0; i < grdCuts->rowCount(); ++i) {
        const std::size_t row = std::size_t(i);
        grdCuts->setItem(i, 0, new QTableWidgetItem(timeText(m_cuts[row])));
        const QString piece = m_sheet && row < m_tracks.size() ? QString::fromStdString(CuePieceName(m_tracks[row]))
                                                               : stem + QStringLiteral("_chunk_%1.mp3").arg(i + 2);
        const QString texts[] = {row < real.size() ? timeText(real[row]) : QString(), piece};
        for (int column = 1; column < 3; ++column) {
            auto* item = new QTableWidgetItem(texts[column - 1]);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            grdCuts->setItem(i, column, item);
        }
    }
    labNote->setText(QString::fromStdString(m_note));
    enableSplit();
    emit planShown(m_pauses, m_cuts);
}

void TPauseDialog::enableSplit() {
    const bool ready = !m_cuts.empty() && !Scanning() && !m_splitting;
    btnSplit->setEnabled(ready);
    QString why;
    if (m_cuts.empty())
        why = !m_planned       ? QStringLiteral("Press Find to plan the cuts.")
              : m_note.empty() ? QStringLiteral("There is no cut left to split at.")
                               : QString::fromStdString(m_note);
    btnSplit->setToolTip(why);
    // Said where it is seen, unless the note already says it.
    if (m_cuts.empty() && labNote->text().isEmpty())
        labNote->setText(why);
}

void TPauseDialog::cutEdited(QTableWidgetItem* item) {
    if (m_showing || item->column() != 0)
        return;
    const std::size_t row = std::size_t(item->row());
    const QString typed = item->text();
    const double seconds = ParseTimeSeconds(typed.toStdString());
    if (seconds < 0) {
        showPlan();
        m_dialogs.information(QStringLiteral("\"") + typed + QStringLiteral("\" is not a time. Type it as mm:ss.mmm."));
        return;
    }
    const int64_t ms = std::llround(seconds * 1000);
    if (!MoveCut(m_cuts, row, ms, planLengthMs())) {
        showPlan();
        m_dialogs.information(QStringLiteral("A cut must lie after the cut before it and before the one after it."));
        return;
    }
    if (row < m_tracks.size()) {
        // Sheets count in 1/75 s.
        m_tracks[row].index01 = (ms * 75 + 500) / 1000;
        m_cuts[row] = m_tracks[row].startMs();
    }
    m_note.clear();
    showPlan();
}

void TPauseDialog::btnDropClick() {
    const int row = grdCuts->currentRow();
    if (row < 0 || std::size_t(row) >= m_cuts.size())
        return;
    m_cuts.erase(m_cuts.begin() + row);
    if (std::size_t(row) < m_tracks.size())
        m_tracks.erase(m_tracks.begin() + row);
    m_note.clear();
    showPlan();
}

bool TPauseDialog::previewing() const {
    return m_previewRow >= 0 && (!m_previewPlaying || m_previewPlaying());
}

void TPauseDialog::cutDoubleClicked(int row) {
    if (row < 0 || std::size_t(row) >= m_cuts.size())
        return;
    // The same cut again stops it, as a second click on a play button would.
    if (row == m_previewRow && previewing()) {
        btnStopPlayClick();
        return;
    }
    m_previewRow = row;
    btnStopPlay->setEnabled(true);
    emit previewAt(std::max<int64_t>(0, m_cuts[std::size_t(row)] - kPreviewLeadMs));
}

void TPauseDialog::btnStopPlayClick() {
    const bool playing = previewing();
    m_previewRow = -1;
    btnStopPlay->setEnabled(false);
    if (playing)
        emit previewStopped();
}

void TPauseDialog::btnSplitClick() {
    if (Scanning() || m_splitting || m_cuts.empty())
        return;
    const auto chosen = m_dialogs.chooseFolder();
    if (!chosen)
        return;
    const std::string folder = chosen->toStdString();
    if (const auto refusal = PartsFolderRefusal(folder)) {
        m_dialogs.information(QString::fromStdString(*refusal));
        return;
    }
    const std::vector<PlannedPiece> pieces = plannedPieces(folder);
    std::vector<std::string> paths;
    for (const PlannedPiece& piece : pieces)
        paths.push_back(piece.path);
    if (const auto marked = FirstWithReadOnlyMark(paths);
        marked &&
        m_dialogs.messageBox(QStringLiteral("Confirm"), QString::fromStdString(ReplaceReadOnlyQuestion(*marked)),
                             MessageIcon::Question, MessageButtons::YesNoDefaultNo) != MessageResult::Yes)
        return;
    runSplit(pieces, folder);
}

void TPauseDialog::runSplit(const std::vector<PlannedPiece>& pieces, const std::string& folder) {
    m_stopSplit = false;
    m_splitting = true;
    btnSplit->setEnabled(false);
    btnFind->setEnabled(false);
    btnStop->setEnabled(true);
    const auto running = qScopeGuard([this] {
        m_splitting = false;
        enableSplit();
        btnFind->setEnabled(true);
        btnStop->setEnabled(false);
        emit splitEnded();
    });
    // The run lets window events through: what the page or the user changes
    // in the window meanwhile (another file, say) must not reach it.
    const std::string source = m_source, note = m_note;
    const DescribeSource describe = m_describe;
    TGaugeSplitObserver observer(*pgbScan, m_stopSplit);
    const SplitOutcome outcome = RunSplitPlan(source, pieces, describe, observer, note, m_mode);
    if (outcome.result == SplitResult::Stopped)
        m_dialogs.information(QStringLiteral("Splitting was stopped after %1 of %2 pieces; the pieces written are in "
                                             "\"%3\".")
                                  .arg(outcome.partsDone)
                                  .arg(pieces.size())
                                  .arg(QString::fromStdString(folder)));
    else
        m_dialogs.information(QString::fromStdString(SplitOutcomeText(outcome)));
}

void TPauseDialog::keyPressEvent(QKeyEvent* event) {
    // Escape stops a preview first; only then does it close the window.
    if (event->key() == Qt::Key_Escape && previewing()) {
        btnStopPlayClick();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TPauseDialog::reject() {
    stopScan();
    m_stopSplit = true;
    btnStopPlayClick();
    QDialog::reject();
}

} // namespace tindrel
