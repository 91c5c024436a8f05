// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/CueSheet.h"
#include "core/Silence.h"
#include "core/Split.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QDoubleSpinBox;
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
// or drop it before "Split" writes anything.
class TPauseDialog : public QDialog {
    Q_OBJECT
public:
    TPauseDialog(IDialogs& dialogs, QWidget* parent = nullptr);
    ~TPauseDialog() override;

    // The file to cut, its length as the player measured it, the number of
    // equal parts the page holds (0 for a count it would refuse), and the
    // page's view of the source, and how the page cuts (its Exact box).
    void Start(const std::string& source, int64_t lengthMs, int parts, DescribeSource describe,
               SplitMode mode = SplitMode::Bytes);
    // True while the worker thread scans.
    bool Scanning() const { return m_worker.joinable(); }
    // The planned cuts (piece starts for a sheet), in time order.
    const std::vector<int64_t>& PlannedCuts() const { return m_cuts; }

    void btnFindClick();
    void btnStopClick();
    void btnDropClick();
    void btnSplitClick();
    void btnCueClick();

signals:
    // A planned cut was double-clicked: the page plays from a little before
    // it, so the cut can be heard before anything is written.
    void previewAt(int64_t ms);
    // The pauses found and the planned cuts changed (both empty when there
    // are none), for the page's waveform to show before anything is written.
    void planShown(const std::vector<Silence>& pauses, const std::vector<int64_t>& cuts);

protected:
    void reject() override;

private:
    void buildControls();
    void stopScan();
    void scanDone(int scan, std::shared_ptr<LevelProfile> profile, QString error);
    void planFromProfile();
    void planFromSheet();
    void showPlan();
    void cutEdited(QTableWidgetItem* item);
    bool byCue() const;
    int64_t planLengthMs() const;
    SilenceOptions options() const;
    int64_t windowMs() const;

    IDialogs& m_dialogs;
    std::string m_source;
    int64_t m_lengthMs = 0;
    int m_parts = 2;
    DescribeSource m_describe;
    SplitMode m_mode = SplitMode::Bytes;

    std::thread m_worker;
    std::atomic<bool> m_stopScan{false};
    // Counts the scans started, so that the result of one given up (for
    // another file) is not taken for the current one.
    int m_scan = 0;
    bool m_stopSplit = false;
    std::shared_ptr<LevelProfile> m_profile; // of m_source, once scanned
    std::vector<int64_t> m_cuts;
    std::vector<Silence> m_pauses; // found with the current settings
    std::optional<CueSheet> m_sheet;
    std::vector<CueTrack> m_tracks; // the sheet's, with the cuts as their starts
    std::string m_note;             // the cuts that found no pause
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
    QPushButton* btnFind = nullptr;
    QPushButton* btnStop = nullptr;
    QProgressBar* pgbScan = nullptr;
    QTableWidget* grdCuts = nullptr;
    QListWidget* lstPauses = nullptr;
    QLabel* labNote = nullptr;
    QPushButton* btnDrop = nullptr;
    QPushButton* btnSplit = nullptr;
};

} // namespace tindrel
