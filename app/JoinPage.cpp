// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/JoinPage.h"

#include "app/FileDrop.h"
#include "app/LoudnessDialog.h"
#include "core/Join.h"
#include "core/ReadOnlyMark.h"
#include "core/TimeText.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FormBuilder.h"
#include "platform/MessageWindow.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeWidget>

#include <cerrno>
#include <cstring>
#include <functional>

namespace tindrel {

namespace {

// The file list, which marks a row when the mouse is released over it. The
// row is read only after the list has handled the release itself: clicking a
// row that is already part of a wider selection narrows the selection to it
// on the release, not on the press.
class FileList final : public QTreeWidget {
public:
    explicit FileList(QWidget* parent) : QTreeWidget(parent) {}
    void setOnRelease(std::function<void()> onRelease) { m_onRelease = std::move(onRelease); }
    void setOnDelete(std::function<void()> onDelete) { m_onDelete = std::move(onDelete); }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && m_onDelete) {
            ErrorHandler::run(m_onDelete);
            return;
        }
        QTreeWidget::keyPressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTreeWidget::mouseReleaseEvent(event);
        if (m_onRelease)
            ErrorHandler::run(m_onRelease);
    }

private:
    std::function<void()> m_onRelease;
    std::function<void()> m_onDelete;
};

class PageJoinObserver final : public JoinObserver {
public:
    PageJoinObserver(const bool& stopFlag, std::function<void(std::size_t, JoinStatus)> setStatus)
        : m_stopFlag(stopFlag), m_setStatus(std::move(setStatus)) {}
    void letEventsRun() override { PumpMessages(); }
    bool stopRequested() override { return m_stopFlag; }
    void setStatus(std::size_t row, JoinStatus status) override { m_setStatus(row, status); }

private:
    const bool& m_stopFlag;
    std::function<void(std::size_t, JoinStatus)> m_setStatus;
};

// The columns of the list; the file name and the status are the design's.
enum Column { kName, kLength, kBitRate, kSampleRate, kStatus, kColumns };
// The facts of a row's file, kept with the row so the rows can be compared.
constexpr int kFactsRole = Qt::UserRole + 1;

const QColor kMismatchBackground(0xff, 0xe3, 0xb8);

} // namespace

TJoinPage::TJoinPage(IDialogs& dialogs, QWidget* parent) : QWidget(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("tabJoint"));
    buildList();
    buildButtons();
    setAcceptDrops(true);
}

void TJoinPage::buildList() {
    auto* list = make<FileList>(this, QStringLiteral("ltvFile"), {6, 6, 524, 412});
    list->setOnRelease([this] { ltvFileMouseUp(); });
    list->setOnDelete([this] { removeSelectedRows(); });
    ltvFile = list;
    ltvFile->setColumnCount(kColumns);
    ltvFile->setHeaderLabels({QStringLiteral("File Name (Double click to play or stop)"), QStringLiteral("Length"),
                              QStringLiteral("kbit/s"), QStringLiteral("Hz"), QStringLiteral("Status")});
    const int widths[] = {250, 76, 52, 58, 62};
    for (int c = 0; c < kColumns; ++c)
        ltvFile->setColumnWidth(c, widths[c]);
    ltvFile->setTextElideMode(Qt::ElideMiddle);
    ltvFile->setRootIsDecorated(false);
    ltvFile->setItemsExpandable(false);
    ltvFile->setUniformRowHeights(true);
    ltvFile->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ltvFile->setSelectionBehavior(QAbstractItemView::SelectRows);
    ltvFile->header()->setStretchLastSection(false);
}

void TJoinPage::buildButtons() {
    struct ButtonSpec {
        const char* name;
        const char* caption;
        int y;
        void (TJoinPage::*handler)();
    };
    const ButtonSpec buttons[] = {
        {"btnAdd", "&Add File ", 6, &TJoinPage::btnAddClick},
        {"btnRemove", "&Remove", 40, &TJoinPage::btnRemoveClick},
        {"btnClear", "  &Clear  ", 74, &TJoinPage::btnClearClick},
        {"btnUp", "  &Up    ", 118, &TJoinPage::btnUpClick},
        {"btnDown", " &Down", 152, &TJoinPage::btnDownClick},
        {"btnJoint", "  &Join", 196, &TJoinPage::btnJointClick},
        {"BitBtn1", "S&top", 230, &TJoinPage::BitBtn1Click},
    };
    for (const ButtonSpec& entry : buttons) {
        auto* button = makeButton(this, QString::fromLatin1(entry.name), QString::fromLatin1(entry.caption),
                                  {538, entry.y, 98, 28});
        onClick(button, this, entry.handler);
    }
    // Beyond the byte join: the audio frames behind one Xing/Info frame.
    chkExact =
        makeButton<QCheckBox>(this, QStringLiteral("chkExactJoin"), QStringLiteral("E&xact"), {538, 266, 98, 22});
    chkExact->setToolTip(QStringLiteral("Join the audio frames gaplessly"));
    auto* loudness =
        makeButton(this, QStringLiteral("btnLoudness"), QStringLiteral("&Loudness..."), {538, 300, 98, 28});
    onClick(loudness, this, &TJoinPage::btnLoudnessClick);
}

void TJoinPage::btnLoudnessClick() {
    QStringList files;
    for (int row = 0; row < ltvFile->topLevelItemCount(); ++row)
        files << ltvFile->topLevelItem(row)->text(kName);
    if (files.isEmpty()) {
        m_dialogs.information(QStringLiteral("Please add MP3 files."));
        return;
    }
    if (!m_loudness)
        m_loudness = new TLoudnessDialog(m_dialogs, this);
    m_loudness->Start(files, true);
}

void TJoinPage::btnAddClick() {
    if (const auto chosen = m_dialogs.openFiles(kMp3Filter))
        addFiles(*chosen);
}

void TJoinPage::addFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        auto* row = new QTreeWidgetItem(ltvFile);
        row->setText(kName, path);
        row->setToolTip(kName, path);
        row->setText(kStatus, QString::fromLatin1(JoinStatusText(JoinStatus::Ready)));
        const JoinInputFacts facts = DescribeJoinInput(path.toStdString());
        if (facts.valid) {
            row->setText(kLength, QString::fromStdString(FormatTimeText(static_cast<double>(facts.lengthMs) / 1000.0)));
            row->setText(kBitRate, QString::number(facts.kbps));
            row->setText(kSampleRate, QString::number(facts.sampleRate));
        }
        for (int c : {kLength, kBitRate, kSampleRate})
            row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        row->setData(kName, kFactsRole,
                     QVariantList{facts.valid, qint64(facts.lengthMs), facts.kbps, facts.sampleRate, facts.mono});
    }
    markMismatches();
}

namespace {

JoinInputFacts factsOfRow(const QTreeWidgetItem* row) {
    const QVariantList v = row->data(kName, kFactsRole).toList();
    if (v.size() != 5)
        return {};
    return {v[0].toBool(), v[1].toLongLong(), v[2].toInt(), v[3].toInt(), v[4].toBool()};
}

} // namespace

void TJoinPage::markMismatches() {
    if (ltvFile->topLevelItemCount() == 0)
        return;
    const JoinInputFacts first = factsOfRow(ltvFile->topLevelItem(0));
    for (int r = 0; r < ltvFile->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = ltvFile->topLevelItem(r);
        const QString why = QString::fromStdString(JoinMismatch(first, factsOfRow(row)));
        row->setData(kStatus, Qt::UserRole, !why.isEmpty());
        for (int c = 0; c < kColumns; ++c) {
            row->setBackground(c, why.isEmpty() ? QBrush() : QBrush(kMismatchBackground));
            if (c != kName)
                row->setToolTip(c, why.isEmpty() ? QString() : QStringLiteral("Does not match the first file: ") + why);
        }
    }
}

void TJoinPage::removeSelectedRows() {
    const QList<QTreeWidgetItem*> selected = ltvFile->selectedItems();
    if (selected.isEmpty())
        return;
    qDeleteAll(selected);
    m_markedIndex = -1;
    markMismatches();
}

void TJoinPage::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(event);
}

void TJoinPage::dropEvent(QDropEvent* event) {
    TakeFileDrop(event, [this](const QStringList& paths) { addFiles(paths); });
}

int TJoinPage::firstSelectedRow() const {
    int first = -1;
    for (QTreeWidgetItem* item : ltvFile->selectedItems()) {
        const int row = ltvFile->indexOfTopLevelItem(item);
        if (first < 0 || row < first)
            first = row;
    }
    return first;
}

void TJoinPage::btnRemoveClick() {
    const int first = firstSelectedRow();
    if (first < 0)
        return;
    delete ltvFile->takeTopLevelItem(first);
    m_markedIndex = -1;
    markMismatches();
}

void TJoinPage::btnClearClick() {
    ltvFile->clear();
    m_markedIndex = -1;
}

void TJoinPage::ltvFileMouseUp() {
    if (const int first = firstSelectedRow(); first >= 0)
        m_markedIndex = first;
}

void TJoinPage::moveMarkedRow(int by) {
    const int to = m_markedIndex + by;
    if (m_markedIndex < 0 || m_markedIndex >= ltvFile->topLevelItemCount() || to < 0 ||
        to >= ltvFile->topLevelItemCount())
        return;
    // The file moves with what is known of it; a status stays with its place
    // in the list, as the join reports it by place.
    QTreeWidgetItem* from = ltvFile->topLevelItem(m_markedIndex);
    QTreeWidgetItem* onto = ltvFile->topLevelItem(to);
    for (int c = 0; c < kColumns; ++c) {
        if (c == kStatus)
            continue;
        const QString text = from->text(c);
        from->setText(c, onto->text(c));
        onto->setText(c, text);
        const QString tip = from->toolTip(c);
        from->setToolTip(c, onto->toolTip(c));
        onto->setToolTip(c, tip);
    }
    const QVariant facts = from->data(kName, kFactsRole);
    from->setData(kName, kFactsRole, onto->data(kName, kFactsRole));
    onto->setData(kName, kFactsRole, facts);
    m_markedIndex = to;
    // The highlight follows the file.
    ltvFile->clearSelection();
    ltvFile->setCurrentItem(onto);
    onto->setSelected(true);
    markMismatches();
}

void TJoinPage::btnUpClick() {
    moveMarkedRow(-1);
}

void TJoinPage::btnDownClick() {
    moveMarkedRow(+1);
}

void TJoinPage::setRowStatus(int row, JoinStatus status) {
    if (QTreeWidgetItem* item = ltvFile->topLevelItem(row))
        item->setText(kStatus, QString::fromLatin1(JoinStatusText(status)));
}

void TJoinPage::btnJointClick() {
    // A join lets window events run between files; a second Join pressed
    // meanwhile must not start another join over the same list.
    if (m_joinRunning)
        return;
    const int rows = ltvFile->topLevelItemCount();
    if (rows == 0 || !acceptMismatches())
        return;
    const auto chosen = m_dialogs.saveFile(kMp3SaveFilter, QStringLiteral("mp3"), QString());
    if (!chosen)
        return;
    std::vector<std::string> inputs;
    for (int row = 0; row < rows; ++row)
        inputs.push_back(ltvFile->topLevelItem(row)->text(kName).toStdString());
    const std::string output = chosen->toStdString();
    if (FindInputSameAs(inputs, output)) {
        m_dialogs.information(QStringLiteral("The output file can not be one of the files to join."));
        return;
    }
    if (!confirmReplacing(output))
        return;
    m_joinStopRequested = false;
    m_joinRunning = true;
    QWidget* join = findChild<QWidget*>(QStringLiteral("btnJoint"));
    join->setEnabled(false);
    const auto running = qScopeGuard([this, join] {
        m_joinRunning = false;
        join->setEnabled(true);
        emit runEnded();
    });
    PageJoinObserver observer(m_joinStopRequested,
                              [this](std::size_t row, JoinStatus status) { setRowStatus(int(row), status); });
    if (RunJoin(inputs, output, observer, chkExact->isChecked() ? JoinMode::Exact : JoinMode::Bytes) ==
        JoinResult::Completed)
        m_dialogs.information(QStringLiteral("Joining is completed."));
    else
        reportStop(*chosen);
}

QStringList TJoinPage::mismatchedRows(bool withoutAudio) const {
    QStringList lines;
    const JoinInputFacts first = factsOfRow(ltvFile->topLevelItem(0));
    for (int r = 0; r < ltvFile->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = ltvFile->topLevelItem(r);
        const JoinInputFacts facts = factsOfRow(row);
        if (!withoutAudio && (!facts.valid || !first.valid))
            continue;
        if (const std::string why = JoinMismatch(first, facts); !why.empty())
            lines << QFileInfo(row->text(kName)).fileName() + QStringLiteral(": ") + QString::fromStdString(why);
    }
    return lines;
}

bool TJoinPage::acceptMismatches() {
    // The byte join copies what it is given, audio or not, as it always
    // did; only audio of another format is asked about.
    const QStringList lines = mismatchedRows(chkExact->isChecked());
    if (lines.isEmpty())
        return true;
    const QString list = lines.join(QLatin1Char('\n'));
    if (chkExact->isChecked()) {
        m_dialogs.messageBox(QStringLiteral("Error"),
                             QStringLiteral("These files do not match the first one and cannot be joined frame by "
                                            "frame:\n") +
                                 list,
                             MessageIcon::Error);
        return false;
    }
    // A file that changes its format at a seam plays wrongly in most players.
    const QString question =
        QStringLiteral("These files do not match the first one:\n") + list +
        QStringLiteral("\nThe joined file would change its format where they start, and most players play it "
                       "wrongly from there. Join them all the same?");
    return m_dialogs.messageBox(QStringLiteral("Confirm"), question, MessageIcon::Warning,
                                MessageButtons::YesNoDefaultNo) == MessageResult::Yes;
}

bool TJoinPage::confirmReplacing(const std::string& output) {
    if (!HasReadOnlyMark(output))
        return true;
    if (m_dialogs.messageBox(QStringLiteral("Confirm"), QString::fromStdString(ReplaceReadOnlyQuestion(output)),
                             MessageIcon::Question, MessageButtons::YesNoDefaultNo) != MessageResult::Yes)
        return false;
    // The join refuses a file its user may not write; the user has just
    // said it may be.
    if (!RemoveReadOnlyMark(output)) {
        m_dialogs.messageBox(QStringLiteral("Error"),
                             QStringLiteral("Cannot remove the read-only mark of \"%1\". %2")
                                 .arg(QString::fromStdString(output), QString::fromLocal8Bit(std::strerror(errno))),
                             MessageIcon::Error);
        return false;
    }
    return true;
}

void TJoinPage::reportStop(const QString& output) {
    // Rows past the stopped one may still show "Done" from an earlier join.
    int done = 0;
    for (int r = 0; r < ltvFile->topLevelItemCount(); ++r) {
        const QString status = ltvFile->topLevelItem(r)->text(kStatus);
        if (status == QLatin1String(JoinStatusText(JoinStatus::Stopped)))
            break;
        done += status == QLatin1String(JoinStatusText(JoinStatus::Done));
    }
    m_dialogs.information(QStringLiteral("Joining was stopped: \"%1\" holds the first %2 of the %3 files.")
                              .arg(output)
                              .arg(done)
                              .arg(ltvFile->topLevelItemCount()));
}

void TJoinPage::BitBtn1Click() {
    m_joinStopRequested = true;
}

} // namespace tindrel
