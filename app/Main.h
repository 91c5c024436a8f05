// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/Split.h"
#include "core/TagFields.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
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

    // Edit Tag page handlers and operations.
    void tabTagShow();
    void btnOpenTagClick();
    void ShowID3v1(const QString& fileName);
    void ShowID3v2(const QString& fileName);
    void EnableID3v1Edits(bool enabled);
    void EnableID3v2Edits(bool enabled);
    void SaveID3v1(const QString& fileName);
    void SaveID3v2(const QString& fileName);
    void chkTagExists1Click();
    void chkTagExistsClick();
    void Button1Click();
    void Button2Click();
    void Button3Click();

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
    QWidget* buildTagPage();
    QWidget* buildTagGroup(QWidget* page, bool v1);
    void addHelpAndAbout(QWidget* page, int index, const QRect& helpRect, const QRect& aboutRect);
    void connectSplitPage();
    void edtTimeChange(QLineEdit* field, bool& oneShot, bool isStart);
    // The tag groups as plain fields, and back.
    ID3v1Fields v1FromPage() const;
    ID3v2Fields v2FromPage() const;
    void showSaveFailure(const std::string& tagName, const QString& fileName, const std::string& reason);
    void showOnPage(const ID3v1Fields& fields);
    void showOnPage(const ID3v2Fields& fields);
    // Stops the preview and closes its file before a tag is written into it.
    void releaseFileForWriting();

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

    // Edit Tag page: the two groups have the same fields, except that the
    // ID3v1 genre is a pick list and its comment a single line.
    struct TagGroup {
        QGroupBox* group = nullptr;
        QCheckBox* exists = nullptr;
        QLineEdit* track = nullptr;
        QLineEdit* title = nullptr;
        QLineEdit* artist = nullptr;
        QLineEdit* album = nullptr;
        QLineEdit* year = nullptr;
        QComboBox* genreList = nullptr;  // ID3v1
        QLineEdit* genre = nullptr;      // ID3v2
        QLineEdit* comment = nullptr;    // ID3v1
        QPlainTextEdit* memo = nullptr;  // ID3v2
    };
    QLineEdit* edtFileTag = nullptr;
    TagGroup m_v1;
    TagGroup m_v2;
};

} // namespace tindrel
