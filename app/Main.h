// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Split.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QRect;
class QTabWidget;
class QTimer;
class QToolButton;

namespace tindrel {

class IDialogs;
class TAboutForm;
class TAudioPlayer;
class TID3v1;
class TID3v2;
class TJoinPage;
class TTagPage;
class TTrackBar;
class TUpDown;

// The main window: a banner and three pages (split, join, tag editor). Every
// control carries its design name as its Qt object name.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    // programFolder is where Option.ini, the help file and the audio engine
    // are looked for; audioDevice is the engine's output device (-1 the
    // default device, 0 "no sound").
    TMainForm(IDialogs& dialogs, const QString& programFolder, int audioDevice = -1, QWidget* parent = nullptr);
    ~TMainForm() override;

    const QString& AppDir() const { return m_appDir; }
    const QString& VersionText() const { return m_versionText; }
    const QString& HelpFilePath() const { return m_helpFilePath; }
    TAboutForm* AboutForm() const { return m_about.get(); }
    TAudioPlayer* Player() const { return m_player; }
    TJoinPage* JoinPage() const { return m_joinPage; }
    TTagPage* TagPage() const { return m_tagPage; }
    int32_t LengthMs() const { return m_lengthMs; }

    // Split page handlers.
    void btnOpenClick();
    void rdbTimeClick();
    void rdbPartClick();
    void btnSplitClick();
    void btnStopClick();

    // Preview handlers.
    void sbtnPlayClick();
    void sbtnPauseClick();
    void sbtnStopClick();
    void TmrPlayerTimer();
    void tkbPositionChange();
    void sbtnBeginClick();
    void sbtnEndClick();

    // Time-value handlers of the split page.
    void edtStartChange();
    void edtEndChange();
    void UpdateSelectedPartLabel();

    void showHelp();
    void showAbout();

    // The one pair of tag objects, shared by the split and tag pages.
    TID3v1* ID3v1Tag() const { return m_id3v1Tag.get(); }
    TID3v2* ID3v2Tag() const { return m_id3v2Tag.get(); }

private:
    void FormCreate(const QString& programFolder, int audioDevice);
    void splitTimeMode();
    // The cut's view of a source: its length and bit rate from the player.
    DescribeSource describeWithPlayer();
    void splitPartsMode();
    void setFieldByButton(QLineEdit* field, bool& oneShot, bool isStart);
    QWidget* buildBanner();
    QWidget* buildSplitPage();
    void buildPages();
    void addHelpAndAbout(QWidget* page, int index, const QRect& helpRect, const QRect& aboutRect);
    void connectSplitPage();
    void edtTimeChange(QLineEdit* field, bool& oneShot, bool isStart);

    IDialogs& m_dialogs;

    // Values of the window itself.
    QString m_appDir;
    QString m_versionText;
    QString m_helpFilePath;
    int32_t m_lengthMs = 0;
    bool m_splitStopRequested = false;
    bool m_startOneShot = false;
    bool m_endOneShot = false;

    std::unique_ptr<TAboutForm> m_about;
    TAudioPlayer* m_player = nullptr; // a Qt child of the window, "PermanentPlayer"
    bool m_splitRunning = false;
    bool m_timerMoving = false; // the preview timer is moving the thumb
    std::unique_ptr<TID3v1> m_id3v1Tag;
    std::unique_ptr<TID3v2> m_id3v2Tag;

    QLabel* labVersion = nullptr;
    QTabWidget* pgcMain = nullptr;

    // Split page.
    QLineEdit* edtFile = nullptr;
    QLineEdit* edtPart = nullptr;
    TUpDown* updPart = nullptr;
    QRadioButton* rdbPart = nullptr;
    QRadioButton* rdbTime = nullptr;
    QLabel* labPart2 = nullptr;
    QLabel* labStart1 = nullptr;
    QLabel* labEnd1 = nullptr;
    QLineEdit* edtStart = nullptr;
    QLineEdit* edtEnd = nullptr;
    QLabel* labPeriod = nullptr;
    QProgressBar* pgbProgress = nullptr;
    QLabel* labTime1 = nullptr;
    QLabel* m_infoLabels[6] = {}; // labTitle, labArtist, labAlbum, labYear, labComment, labLength
    QPushButton* btnOpen = nullptr;
    QPushButton* btnSplit = nullptr;
    QPushButton* btnStop = nullptr;
    QToolButton* sbtnPlay = nullptr;
    QToolButton* sbtnPause = nullptr;
    QToolButton* sbtnStop = nullptr;
    QToolButton* sbtnBegin = nullptr;
    QToolButton* sbtnEnd = nullptr;
    TTrackBar* tkbPosition = nullptr;
    QTimer* TmrPlayer = nullptr;

    TJoinPage* m_joinPage = nullptr; // a Qt child of pgcMain
    TTagPage* m_tagPage = nullptr;   // a Qt child of pgcMain
};

} // namespace tindrel
