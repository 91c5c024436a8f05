// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/CueSheet.h"
#include "core/FrameCuts.h"
#include "core/Silence.h"
#include "core/Split.h"
#include "core/SplitPlan.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QDoubleSpinBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QTableWidget;
class QTableWidgetItem;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tindrel {

class IDialogs;

// The split page's window for cuts placed by the sound or by a CUE sheet:
// the equal parts' cuts moved into pauses, a cut at every pause, or one
// piece a track of a sheet. "Find" looks for the pauses on a worker thread
// (with progress and Stop) or reads the sheet; the cuts it plans are listed
// with the pauses found, and the user may move a cut (by editing its time)
// or drop it before "Split" writes anything. The window is not modal: the
// page's waveform behind it shows the pauses and cuts as they change, and
// the page keeps it on the file it shows.
class TPauseDialog : public QDialog {
    Q_OBJECT
public:
    TPauseDialog(IDialogs& dialogs, QWidget* parent = nullptr);
    ~TPauseDialog() override;

    // The file to cut, its length as the player measured it, the number of
    // equal parts to start from when the file is new to the window (0 keeps
    // the window's own), the page's view of the source, and how the page
    // cuts (its Exact box). The same file keeps its plan.
    void Start(const std::string& source, int64_t lengthMs, int parts, DescribeSource describe,
               SplitMode mode = SplitMode::Bytes);
    // True while the worker thread scans.
    bool Scanning() const { return m_worker.joinable(); }
    // True while Split writes the pieces.
    bool Splitting() const { return m_splitting; }
    // Tells whether the preview that a double-click started still plays.
    void SetPreviewPlaying(std::function<bool()> playing) { m_previewPlaying = std::move(playing); }
    // The planned cuts (piece starts for a sheet), in time order.
    const std::vector<int64_t>& PlannedCuts() const { return m_cuts; }

    void btnFindClick();
    void btnStopClick();
    void btnDropClick();
    void btnSplitClick();
    void btnCueClick();
    // Stops the preview a double-click started.
    void btnStopPlayClick();

signals:
    // A planned cut was double-clicked: the page plays from a little before
    // it, so the cut can be heard before anything is written.
    void previewAt(int64_t ms);
    // The preview is to stop (Stop, Escape, the same cut again, closing).
    void previewStopped();
    // Split has written its pieces, or stopped or failed.
    void splitEnded();
    // The pauses found and the planned cuts changed (both empty when there
    // are none), for the page's waveform to show before anything is written.
    void planShown(const std::vector<Silence>& pauses, const std::vector<int64_t>& cuts);

protected:
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void stopScan();
    void scanDone(int scan, std::shared_ptr<LevelProfile> profile, QString error);
    void planFromProfile();
    void planFromSheet();
    void showPlan();
    void cutEdited(QTableWidgetItem* item);
    void cutDoubleClicked(int row);
    bool previewing() const;
    // Where each row's cut really falls: on a frame boundary without the
    // Exact box, else at its own time.
    std::vector<int64_t> realCuts();
    std::vector<PlannedPiece> plannedPieces(const std::string& folder) const;
    // Split is enabled only with cuts to split at; otherwise the note says why.
    void enableSplit();
    void runSplit(const std::vector<PlannedPiece>& pieces, const std::string& folder);
    bool byCue() const;
    int64_t planLengthMs() const;
    SilenceOptions options() const;
    int64_t windowMs() const;

    IDialogs& m_dialogs;
    std::string m_source;
    int64_t m_lengthMs = 0;
    DescribeSource m_describe;
    SplitMode m_mode = SplitMode::Bytes;

    std::thread m_worker;
    std::atomic<bool> m_stopScan{false};
    // Counts the scans started, so that the result of one given up (for
    // another file) is not taken for the current one.
    int m_scan = 0;
    bool m_stopSplit = false;
    bool m_splitting = false;
    bool m_planned = false; // Find has planned cuts for this file
    int m_previewRow = -1;  // the cut whose preview was started last
    std::function<bool()> m_previewPlaying;
    std::optional<FrameCuts> m_frames;       // of m_source, walked once when needed
    std::shared_ptr<LevelProfile> m_profile; // of m_source, once scanned
    std::vector<int64_t> m_cuts;
    std::vector<Silence> m_pauses; // found with the current settings
    std::optional<CueSheet> m_sheet;
    std::vector<CueTrack> m_tracks; // the sheet's, with the cuts as their starts
    std::string m_note;             // the cuts that found no pause, the tracks left out
    bool m_showing = false;         // the list is being filled, not edited

    QRadioButton* rdbAtPauses = nullptr;
    QRadioButton* rdbSilences = nullptr;
    QRadioButton* rdbCue = nullptr;
    QLineEdit* edtCue = nullptr;
    QPushButton* btnCue = nullptr;
    QDoubleSpinBox* spnThreshold = nullptr;
    QDoubleSpinBox* spnMinSilence = nullptr;
    QDoubleSpinBox* spnWindow = nullptr;
    QDoubleSpinBox* spnMinPiece = nullptr;
    QSpinBox* spnPieces = nullptr;
    QSpinBox* spnParts = nullptr;
    QPushButton* btnFind = nullptr;
    QPushButton* btnStop = nullptr;
    QProgressBar* pgbScan = nullptr;
    QTableWidget* grdCuts = nullptr;
    QListWidget* lstPauses = nullptr;
    QLabel* labNote = nullptr;
    QPushButton* btnDrop = nullptr;
    QPushButton* btnSplit = nullptr;
    QPushButton* btnStopPlay = nullptr;
};

} // namespace tindrel
