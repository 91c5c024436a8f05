// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QTreeWidget;

namespace tindrel {

class IDialogs;
enum class JoinStatus;

// The Join MP3 page: a list of files in the order they are joined, with a
// status per row, and the buttons that fill, reorder and join it. The join
// itself is RunJoin's; the page shows its progress row by row.
class TJoinPage : public QWidget {
    Q_OBJECT
public:
    explicit TJoinPage(IDialogs& dialogs, QWidget* parent = nullptr);

    // A join is running (it lets window events through meanwhile).
    bool Running() const { return m_joinRunning; }
    // The row that Up and Down move: the one the last click on the list
    // selected, or -1 once a row was removed or the list cleared.
    int32_t MarkedIndex() const { return m_markedIndex; }

    // Adds rows for files, in the order given (Add File, a drop, the command
    // line), each with its length, bit rate and sample rate.
    void addFiles(const QStringList& paths);
    // Removes every selected row (the Delete key).
    void removeSelectedRows();

    void btnAddClick();
    void btnRemoveClick();
    void btnClearClick();
    void btnUpClick();
    void btnDownClick();
    void btnJointClick();
    void BitBtn1Click();
    void ltvFileMouseUp();
    // Opens the Loudness window for the list as an album.
    void btnLoudnessClick();

signals:
    // A join has ended, completed, stopped or failed.
    void runEnded();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildList();
    // Marks the rows whose format differs from the first row's.
    void markMismatches();
    // Moves the marked row by one (Up, Down) and keeps it selected.
    void moveMarkedRow(int by);
    void buildButtons();
    // The lowest index among the selected rows, or -1.
    int firstSelectedRow() const;
    void setRowStatus(int row, JoinStatus status);
    // The rows unlike the first, one "name: why" a line; withoutAudio also
    // lists the files in which no MPEG audio was found.
    QStringList mismatchedRows(bool withoutAudio) const;
    // Refuses (Exact) or asks about (bytes) files unlike the first before
    // anything is asked or written; false when the join is not to go on.
    bool acceptMismatches();
    // Asks before a read-only output is replaced and takes its mark off;
    // false when the user keeps it.
    bool confirmReplacing(const std::string& output);
    // Shows what a stopped join left in its output.
    void reportStop(const QString& output);

    IDialogs& m_dialogs;
    int32_t m_markedIndex = 0;
    bool m_joinStopRequested = false;
    bool m_joinRunning = false;

    QTreeWidget* ltvFile = nullptr;
    QCheckBox* chkExact = nullptr;
    class TLoudnessDialog* m_loudness = nullptr;
};

} // namespace tindrel
