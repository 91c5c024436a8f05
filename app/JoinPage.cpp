// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/JoinPage.h"

#include "core/Join.h"
#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"
#include "platform/FormBuilder.h"
#include "platform/MessageWindow.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScopeGuard>
#include <QTreeWidget>

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

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QTreeWidget::mouseReleaseEvent(event);
        if (m_onRelease)
            ErrorHandler::run(m_onRelease);
    }

private:
    std::function<void()> m_onRelease;
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

} // namespace

TJoinPage::TJoinPage(IDialogs& dialogs, QWidget* parent) : QWidget(parent), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("tabJoint"));
    buildList();
    buildButtons();
}

void TJoinPage::buildList() {
    auto* list = make<FileList>(this, QStringLiteral("ltvFile"), {6, 6, 524, 322});
    list->setOnRelease([this] { ltvFileMouseUp(); });
    ltvFile = list;
    ltvFile->setColumnCount(2);
    ltvFile->setHeaderLabels({QStringLiteral("File Name (Double click to play or stop)"), QStringLiteral("Status")});
    ltvFile->setColumnWidth(0, 400);
    ltvFile->setColumnWidth(1, 100);
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
}

void TJoinPage::btnAddClick() {
    const auto chosen = m_dialogs.openFiles(kMp3Filter);
    if (!chosen)
        return;
    for (const QString& path : *chosen)
        new QTreeWidgetItem(ltvFile, {path, QStringLiteral("Ready")});
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
}

void TJoinPage::btnClearClick() {
    ltvFile->clear();
    m_markedIndex = -1;
}

void TJoinPage::ltvFileMouseUp() {
    if (const int first = firstSelectedRow(); first >= 0)
        m_markedIndex = first;
}

void TJoinPage::swapRowPaths(int a, int b) {
    QTreeWidgetItem* rowA = ltvFile->topLevelItem(a);
    QTreeWidgetItem* rowB = ltvFile->topLevelItem(b);
    const QString path = rowA->text(0);
    rowA->setText(0, rowB->text(0));
    rowB->setText(0, path);
}

void TJoinPage::btnUpClick() {
    if (m_markedIndex < 1 || m_markedIndex >= ltvFile->topLevelItemCount())
        return;
    swapRowPaths(m_markedIndex, m_markedIndex - 1);
    --m_markedIndex;
}

void TJoinPage::btnDownClick() {
    if (m_markedIndex < 0 || m_markedIndex >= ltvFile->topLevelItemCount() - 1)
        return;
    swapRowPaths(m_markedIndex, m_markedIndex + 1);
    ++m_markedIndex;
}

void TJoinPage::setRowStatus(int row, JoinStatus status) {
    if (QTreeWidgetItem* item = ltvFile->topLevelItem(row))
        item->setText(1, QString::fromLatin1(JoinStatusText(status)));
}

void TJoinPage::btnJointClick() {
    // A join lets window events run between files; a second Join pressed
    // meanwhile must not start another join over the same list.
    if (m_joinRunning)
        return;
    const int rows = ltvFile->topLevelItemCount();
    if (rows == 0)
        return;
    const auto chosen = m_dialogs.saveFile(kMp3SaveFilter, QStringLiteral("mp3"), QString());
    if (!chosen)
        return;
    std::vector<std::string> inputs;
    for (int row = 0; row < rows; ++row)
        inputs.push_back(ltvFile->topLevelItem(row)->text(0).toStdString());
    const std::string output = chosen->toStdString();
    if (FindInputSameAs(inputs, output)) {
        m_dialogs.information(QStringLiteral("The output file can not be one of the files to join."));
        return;
    }
    m_joinStopRequested = false;
    m_joinRunning = true;
    const auto running = qScopeGuard([this] { m_joinRunning = false; });
    PageJoinObserver observer(m_joinStopRequested,
                              [this](std::size_t row, JoinStatus status) { setRowStatus(int(row), status); });
    if (RunJoin(inputs, output, observer, chkExact->isChecked() ? JoinMode::Exact : JoinMode::Bytes) ==
        JoinResult::Completed)
        m_dialogs.information(QStringLiteral("Joining is completed."));
}

void TJoinPage::BitBtn1Click() {
    m_joinStopRequested = true;
}

} // namespace tindrel
