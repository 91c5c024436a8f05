// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include "core/EditList.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;
class QTemporaryDir;
class QVBoxLayout;

namespace tindrel {

class IDialogs;
class TAudioPlayer;
class TWaveform;

// The Edit MP3 page: the waveform of the whole file with the removed
// ranges shaded and the level changes drawn over it, the selection made
// with the mouse or "[" and "]", and the buttons that add edits to the
// file's edit list. Nothing touches the file itself: Save as... writes the
// edited copy through RunEdit, which the command-line tool uses too.
// What Find pauses... leaves of each pause it shortens, until the user
// sets another length in the page's box.
inline constexpr int64_t kPauseKeptMs = 500;

class TEditPage : public QWidget {
    Q_OBJECT
public:
    // player plays the cuts; without one they are only written.
    explicit TEditPage(IDialogs& dialogs, TAudioPlayer* player = nullptr, QWidget* parent = nullptr);
    ~TEditPage() override;

    void openFile(const QString& path);
    const QString& FileName() const { return m_path; }
    const EditList& Edits() const { return m_edits; }
    int64_t SelStartMs() const { return m_selStartMs; }
    int64_t SelEndMs() const { return m_selEndMs; }
    // A drag over the waveform, or "[" and "]" at the play position.
    void setSelectionMs(int64_t startMs, int64_t endMs);

    void btnOpenClick();
    void btnDeleteClick();
    void btnKeepClick();
    void btnLevelClick();
    void btnFadeInClick();
    void btnFadeOutClick();
    void btnUndoClick();
    void btnRedoClick();
    void btnSaveAsClick();
    void btnStopClick() { m_stopRequested = true; }
    // Writes what the edits sound like kCutPreviewMs either way of each cut
    // to a file of the page's own, and plays it: the edited file is not
    // written.
    void btnPlayCutClick();
    // The last file btnPlayCutClick wrote; empty before.
    const QString& CutPreviewFile() const { return m_previewFile; }
    // Finds the pauses by the Pauses window's rule and shortens each to the
    // length in the pause box by removing its middle (the whole pause at
    // 0), one edit a pause.
    void btnPausesClick();
    // Offers to save the edit list beside the file when it holds edits not
    // saved yet: false when the user cancels (the window stays open).
    bool offerToSaveEdits();

private:
    void buildControls();
    void buildListenRow(QVBoxLayout* page);
    void buildKeys();
    QPushButton* addHandlerButton(QLayout* row, const char* name, const QString& text, void (TEditPage::*handler)());
    void apply(EditKind kind, int gainSteps = 0);
    // Shades what the edit list removes, draws its gains, and sets which
    // buttons can act.
    void showEdits();
    // The scroll bar under the waveform follows its view: shown only while
    // zoomed in.

    IDialogs& m_dialogs;
    TAudioPlayer* m_player = nullptr;
    std::unique_ptr<QTemporaryDir> m_previewDir;
    QString m_previewFile;
    TWaveform* m_wave = nullptr;
    QLabel* lblFile = nullptr;
    QDoubleSpinBox* edtLevel = nullptr;
    QDoubleSpinBox* edtPauseKeep = nullptr;
    QCheckBox* chkExact = nullptr;
    QProgressBar* prgSave = nullptr;
    QPushButton* btnUndo = nullptr;
    QPushButton* btnRedo = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnPlayCut = nullptr;
    QPushButton* btnStop = nullptr;
    QString m_path;
    EditList m_edits;
    int64_t m_selStartMs = 0;
    int64_t m_selEndMs = 0;
    bool m_stopRequested = false;
    bool m_unsaved = false;
};

} // namespace tindrel
