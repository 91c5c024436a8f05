// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Silence.h"
#include "core/Split.h"

#include <QWidget>
#include <cstdint>
#include <vector>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QCheckBox;
class QRadioButton;
class QShortcut;
class QTimer;
class QToolButton;
class QDragEnterEvent;
class QDropEvent;

namespace tindrel {

class IDialogs;
class TAudioPlayer;
class TPauseDialog;
class TID3v1;
class TTrackBar;
class TUpDown;
class TWaveform;

// The Split MP3 page: the source file with what its ID3v1 tag says of it, the
// preview that plays it and marks the start and end times on its track bar,
// and the two kinds of split (a time range, or equal parts). The page reads
// its controls and hands the work to RunSplitRange and RunSplitParts.
class TSplitPage : public QWidget {
    Q_OBJECT
public:
    // The player and the ID3v1 tag are the window's, shared with the tag
    // page; both must outlive the page.
    TSplitPage(IDialogs& dialogs, TAudioPlayer& player, TID3v1& id3v1Tag, QWidget* parent = nullptr);

    // A parts split, or the pause window's, is running (it lets window
    // events through meanwhile).
    bool Running() const;
    // The length of the open file as the player measured it, in ms.
    int64_t LengthMs() const { return m_lengthMs; }
    // The path in the source field, which the tag page takes up when shown.
    QString FileName() const;
    // Stops the preview and closes its file, so a tag can be written into it.
    void ReleaseFile();
    // Opens a file as the Open button does after its dialog: typed in the
    // file field (Enter), dropped on the page, or named on the command line.
    // A path that is not a file is refused with a message.
    void openPath(const QString& path);
    // The play position in ms: the player's while it plays or pauses, else
    // where the track bar, a click on the waveform or a key last put it.
    int64_t PlayPositionMs();
    TWaveform* Waveform() const { return m_waveform; }
    // The problem with a time field's text, naming the field and the format;
    // empty when the text is a time.
    static QString TimeFieldProblem(const QString& caption, const QString& text);

    // Source and split handlers.
    void btnOpenClick();
    void rdbTimeClick();
    void rdbPartClick();
    void btnSplitClick();
    void btnStopClick();
    // Opens the window for cuts at pauses or by a CUE sheet.
    void btnPausesClick();
    // Draws the pause window's found pauses and planned cuts on the waveform.
    void showPlanOnWaveform(const std::vector<Silence>& pauses, const std::vector<int64_t>& cuts);

    // Preview handlers.
    void sbtnPlayClick();
    void sbtnPauseClick();
    void sbtnStopClick();
    void TmrPlayerTimer();
    void tkbPositionChange();
    void sbtnBeginClick();
    void sbtnEndClick();

    // Time-field handlers.
    void edtStartChange();
    void edtEndChange();
    void UpdateSelectedPartLabel();

signals:
    // A parts split has ended, completed, stopped or failed.
    void runEnded();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Asks before a split replaces a file the user marked read-only; false
    // when the user keeps it.
    bool confirmReplacing(const std::vector<std::string>& outputs);
    void buildPreview();
    void buildKeys();
    void setTabOrder();
    // Moves the play position (and the player, while it plays) to ms.
    void seekTo(int64_t ms);
    void togglePlay();
    // Shows a play position in the time label and on the waveform.
    void showPosition(int64_t ms);
    // The window's one player holds the file this page opened in it last.
    bool holdsPlayer() const;
    // The player plays or pauses this page's file (not another page's).
    bool previewing() const;
    // Writes the play position into the start or end field, to the ms.
    void markAtPosition(bool isStart);
    // Writes a time into the start or end field and the track bar's
    // selection without moving the play position.
    void writeTimeField(bool isStart, int64_t ms);
    // TimeFieldProblem, and a time past the end of the open file.
    QString timeFieldProblem(const QString& caption, const QString& text) const;
    // Marks a time field whose text is not a time and shows why; true when
    // both fields hold times.
    bool checkTimeFields();
    void showSelectionOnWaveform();
    // Keeps an open pause window on the file and the mode the page shows.
    void syncPauseDialog();
    void buildSplitControls();
    void connectControls();
    SplitMode splitMode() const;
    void splitTimeMode();
    void splitPartsMode();
    // The cut's view of a source: its length and bit rate from the player.
    DescribeSource describeWithPlayer();
    void setFieldByButton(QLineEdit* field, bool& oneShot, bool isStart);
    void edtTimeChange(QLineEdit* field, bool& oneShot, bool isStart);

    IDialogs& m_dialogs;
    TAudioPlayer& m_player;
    TID3v1& m_id3v1Tag;

    int64_t m_lengthMs = 0;
    bool m_splitStopRequested = false;
    bool m_splitRunning = false;
    bool m_timerMoving = false; // the preview timer is moving the thumb
    // Set when a mark button writes a time field, so that the field's own
    // change handler does not move the thumb back.
    bool m_startOneShot = false;
    bool m_endOneShot = false;
    int64_t m_cursorMs = 0;     // the play position while the player is stopped
    bool m_seekingByMs = false; // seekTo is moving the thumb
    QString m_loadedPath;       // the file the labels and the waveform describe
    // The file this page last opened in the player, which the window's
    // other pages share: the Edit page's preview may have taken it since.
    std::string m_playerFile;

    // Source and split.
    QLineEdit* edtFile = nullptr;
    QLineEdit* edtPart = nullptr;
    TUpDown* updPart = nullptr;
    QCheckBox* chkExact = nullptr;
    QRadioButton* rdbPart = nullptr;
    QRadioButton* rdbTime = nullptr;
    QLabel* labPart2 = nullptr;
    QLabel* labStart1 = nullptr;
    QLabel* labEnd1 = nullptr;
    QLineEdit* edtStart = nullptr;
    QLineEdit* edtEnd = nullptr;
    QLabel* labPeriod = nullptr;
    QProgressBar* pgbProgress = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnSplit = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnPauses = nullptr;
    TPauseDialog* m_pauseDialog = nullptr; // made when first asked for

    // Preview.
    QLabel* labTime1 = nullptr;
    QLabel* m_infoLabels[6] = {}; // labTitle, labArtist, labAlbum, labYear, labComment, labLength
    QToolButton* sbtnPlay = nullptr;
    QToolButton* sbtnPause = nullptr;
    QToolButton* sbtnStop = nullptr;
    QToolButton* sbtnBegin = nullptr;
    QToolButton* sbtnEnd = nullptr;
    TTrackBar* tkbPosition = nullptr;
    TWaveform* m_waveform = nullptr;
    QTimer* TmrPlayer = nullptr;
    // Moves the waveform's play position more smoothly than the design's timer.
    QTimer* m_cursorTimer = nullptr;
    // The page's keys, live once a file is open.
    std::vector<QShortcut*> m_keys;
};

} // namespace tindrel
