// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/PauseDialog.h"

#include "app/GaugeSplitObserver.h"
#include "core/SplitPlan.h"
#include "core/TimeText.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"
#include "platform/FormBuilder.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
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
    setWindowModality(Qt::WindowModal);
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
    auto* settings = new QFormLayout;
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

    grdCuts = new QTableWidget(0, 2, this);
    grdCuts->setObjectName(QStringLiteral("grdCuts"));
    grdCuts->setHorizontalHeaderLabels({QStringLiteral("Cut at"), QStringLiteral("Piece from there")});
    grdCuts->setToolTip(QStringLiteral("Double-click a cut to hear it"));
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
    auto* btnClose = button(this, QStringLiteral("btnClosePauses"), QStringLiteral("&Close"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnDrop);
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
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(grdCuts, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && std::size_t(row) < m_cuts.size())
            emit previewAt(std::max<int64_t>(0, m_cuts[std::size_t(row)] - kPreviewLeadMs));
    });
    // Only the settings of the chosen way of cutting can be changed.
    const auto enableSettings = [this] {
        spnThreshold->setEnabled(!byCue());
        spnMinSilence->setEnabled(!byCue());
        spnWindow->setEnabled(rdbAtPauses->isChecked());
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
        edtCue->setText(QString::fromStdString(CueBeside(source).value_or(std::string())));
        lstPauses->clear();
        pgbScan->setValue(0);
        showPlan();
    }
    m_source = source;
    m_lengthMs = lengthMs;
    m_parts = parts;
    m_describe = std::move(describe);
    m_mode = mode;
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
    btnSplit->setEnabled(true);
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
    btnSplit->setEnabled(true);
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
    if (rdbAtPauses->isChecked()) {
        if (m_parts < 1) {
            m_cuts.clear();
            showPlan();
            m_dialogs.information(QStringLiteral("Please specify a proper quantity of parts."));
            return;
        }
        const std::vector<PauseCut> cuts =
            PlacePartsAtPauses(*m_profile, m_parts, planLengthMs(), settings, windowMs());
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
    m_tracks.clear();
    m_cuts.clear();
    m_note.clear();
    m_pauses.clear();
    lstPauses->clear();
    for (const CueTrack& track : TracksFor(*m_sheet, m_source))
        if (track.startMs() < m_lengthMs) {
            m_tracks.push_back(track);
            m_cuts.push_back(track.startMs());
        }
    showPlan();
}

void TPauseDialog::showPlan() {
    m_showing = true;
    const auto done = qScopeGuard([this] { m_showing = false; });
    grdCuts->setRowCount(static_cast<int>(m_cuts.size()));
    const QString stem = QString::fromStdString(SourceStem(m_source));
    // A sheet's rows are its pieces' starts; the other rows are the cuts
    // between numbered parts, so the part after cut i is part i + 2.
    for (int i = 0; i < grdCuts->rowCount(); ++i) {
        grdCuts->setItem(i, 0, new QTableWidgetItem(timeText(m_cuts[std::size_t(i)])));
        const QString piece = m_sheet && i < int(m_tracks.size())
                                  ? QString::fromStdString(CuePieceName(m_tracks[std::size_t(i)]))
                                  : stem + QStringLiteral("_chunk_%1.mp3").arg(i + 2);
        auto* name = new QTableWidgetItem(piece);
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        grdCuts->setItem(i, 1, name);
    }
    labNote->setText(QString::fromStdString(m_note));
    emit planShown(m_pauses, m_cuts);
}

void TPauseDialog::cutEdited(QTableWidgetItem* item) {
    if (m_showing || item->column() != 0)
        return;
    const std::size_t row = std::size_t(item->row());
    const double seconds = ParseTimeSeconds(item->text().toStdString());
    const int64_t ms = seconds < 0 ? -1 : std::llround(seconds * 1000);
    if (ms < 0 || !MoveCut(m_cuts, row, ms, planLengthMs())) {
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

void TPauseDialog::btnSplitClick() {
    if (Scanning())
        return;
    if (m_cuts.empty()) {
        m_dialogs.information(QStringLiteral("There is no cut to split at; press Find first."));
        return;
    }
    const auto chosen = m_dialogs.chooseFolder();
    if (!chosen)
        return;
    const std::string folder = chosen->toStdString();
    if (const auto refusal = PartsFolderRefusal(folder)) {
        m_dialogs.information(QString::fromStdString(*refusal));
        return;
    }
    const std::vector<PlannedPiece> pieces = m_sheet ? PiecesFromCue(m_source, folder, *m_sheet, m_tracks, m_lengthMs)
                                                     : PiecesBetweenCuts(m_source, folder, m_cuts, planLengthMs());
    m_stopSplit = false;
    btnSplit->setEnabled(false);
    btnFind->setEnabled(false);
    btnStop->setEnabled(true);
    const auto running = qScopeGuard([this] {
        btnSplit->setEnabled(true);
        btnFind->setEnabled(true);
        btnStop->setEnabled(false);
    });
    TGaugeSplitObserver observer(*pgbScan, m_stopSplit);
    const SplitOutcome outcome = RunSplitPlan(m_source, pieces, m_describe, observer, m_note, m_mode);
    if (outcome.result != SplitResult::Stopped)
        m_dialogs.information(QString::fromStdString(outcome.message));
}

void TPauseDialog::reject() {
    stopScan();
    m_stopSplit = true;
    QDialog::reject();
}

} // namespace tindrel
