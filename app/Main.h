// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "app/GrowthRules.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QCloseEvent;
class QPaintEvent;
class QResizeEvent;
class QLabel;
class QRect;
class QTabWidget;

namespace tindrel {

class IDialogs;
class TAboutForm;
class THelpForm;
class TAudioPlayer;
class TEditPage;
class TID3v1;
class TID3v2;
class TJoinPage;
class TSplitPage;
class TTagPage;

// The main window: a banner and three pages (split, join, tag editor), with
// Help and About on each. The window owns what the pages share: the player
// and the one pair of tag objects. Every control carries its design name as
// its Qt object name.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    // programFolder is where Option.ini and the audio engine are looked for; audioDevice is the engine's output device
    // (-1 the default device, 0 "no sound").
    TMainForm(IDialogs& dialogs, const QString& programFolder, int audioDevice = -1, QWidget* parent = nullptr);
    ~TMainForm() override;

    const QString& AppDir() const { return m_appDir; }
    const QString& VersionText() const { return m_versionText; }
    TAboutForm* AboutForm() const { return m_about.get(); }
    THelpForm* HelpForm() const { return m_help; }
    TAudioPlayer* Player() const { return m_player; }
    TSplitPage* SplitPage() const { return m_splitPage; }
    TJoinPage* JoinPage() const { return m_joinPage; }
    TTagPage* TagPage() const { return m_tagPage; }

    // Shows the manual at the section of the page shown.
    void showHelp();
    void showAbout();
    // The files named on the command line: one opens on the Split MP3 page,
    // several go into the Join MP3 list in the order given.
    void openFiles(const QStringList& paths);
    // Runs work once the window has been painted for the first time, or at
    // once when it has been: what the first sight of the window does not
    // need (the audio engine, the files named on the command line) waits
    // until the window is on the screen.
    void afterFirstPaint(std::function<void()> work);

    // The one pair of tag objects, shared by the split and tag pages.
    TID3v1* ID3v1Tag() const { return m_id3v1Tag.get(); }
    TID3v2* ID3v2Tag() const { return m_id3v2Tag.get(); }

protected:
    // Closing asks before unsaved tag edits are lost, offers to save an
    // unsaved edit list beside its file, and asks before a running
    // split or join is stopped; a stopped run closes the window once it has
    // ended.
    void closeEvent(QCloseEvent* event) override;
    // Past its default size the window gives the room to the waveform and
    // the join list; at the default size every control is where it always was.
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool confirmClose();
    void FormCreate(const QString& programFolder, int audioDevice);
    QWidget* buildBanner();
    void buildPages();
    void addHelpAndAbout(QWidget* page, int index, const QRect& helpRect, const QRect& aboutRect);
    void setUpGrowth();
    // The size (and whether maximised) of the last run, and the Exact boxes.
    void restoreSettings();
    void rememberSize() const;

    IDialogs& m_dialogs;

    QString m_appDir;
    QString m_versionText;

    std::unique_ptr<TAboutForm> m_about;
    THelpForm* m_help = nullptr; // a Qt child of the window, made when first asked for
    std::unique_ptr<TID3v1> m_id3v1Tag;
    std::unique_ptr<TID3v2> m_id3v2Tag;
    TAudioPlayer* m_player = nullptr; // a Qt child of the window, "PermanentPlayer"

    // The user agreed to stop a run and quit: the window closes when the
    // run has ended.
    bool m_closeWhenIdle = false;
    bool m_closeAgreed = false;

    // What waits for the first paint; done once it has run.
    std::vector<std::function<void()>> m_afterFirstPaint;
    bool m_firstPaintQueued = false;
    bool m_firstPaintDone = false;

    GrowthRules m_growth;
    // The join list's name column takes the list's growth, so long names
    // are shown whole on a large window.
    int m_nameColumnWidth = 0;
    QLabel* labVersion = nullptr;
    QTabWidget* pgcMain = nullptr;
    // The pages are Qt children of pgcMain.
    TSplitPage* m_splitPage = nullptr;
    TJoinPage* m_joinPage = nullptr;
    TTagPage* m_tagPage = nullptr;
    TEditPage* m_editPage = nullptr;
};

} // namespace tindrel
