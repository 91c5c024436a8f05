// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Loudness.h"

#include <QDialog>
#include <QStringList>

#include <atomic>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tindrel {

class IDialogs;

// The window for the loudness of the Edit Tag page's file or of the Join
// list as an album: it measures on a worker thread (with progress and
// Stop), shows each file's loudness, peaks and gain, writes the ReplayGain
// tags, and changes the MP3 gain losslessly or takes the change back.
class TLoudnessDialog : public QDialog {
    Q_OBJECT
public:
    explicit TLoudnessDialog(IDialogs& dialogs, QWidget* parent = nullptr);
    ~TLoudnessDialog() override;

    // Shows the files and starts measuring them; album adds the album's
    // figures and offers its gain.
    void Start(const QStringList& files, bool album);
    bool Scanning() const { return m_worker.joinable(); }
    const TLoudnessScan& Scan() const { return m_result; }

    void btnMeasureClick();
    void btnStopClick();
    void btnWriteTagsClick();
    void btnApplyClick();
    void btnUndoClick();

signals:
    // Tags were written or the gain of files changed (or was undone).
    void FilesWritten();

protected:
    void reject() override;

private:
    void buildControls();
    void scanDone(int scan, TLoudnessScan result, QString error);
    void showFigures();
    void stopScan();
    void setBusy(bool busy);

    IDialogs& m_dialogs;
    QStringList m_files;
    bool m_album = false;
    TLoudnessScan m_result;
    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    int m_scan = 0;

    QTableWidget* grdLoudness = nullptr;
    QProgressBar* pgbScan = nullptr;
    QLabel* labNote = nullptr;
    QPushButton* btnMeasure = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnWriteTags = nullptr;
    QComboBox* cmbApply = nullptr;
    QCheckBox* chkNoClip = nullptr;
    QPushButton* btnApply = nullptr;
    QPushButton* btnUndo = nullptr;
};

} // namespace tindrel
