// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "plugins/PluginConfig.h"

#include "platform/Dialogs.h"
#include "platform/FormBuilder.h"
#include "platform/MessageWindow.h"
#include "plugins/PluginHost.h"

#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

namespace tindrel {

namespace {

constexpr int kGridRows = kPluginSlots + 1; // row 0 is the fixed one

// The parent window a plug-in's own About and Config get. Like every window
// handle given to a plug-in it is a HostWindowRecord, which the plug-in may
// post to; this window has no use for such messages and drops them. It lives
// as long as the program, so a plug-in that keeps it and posts later still
// reaches a valid record.
void dropMessage(HWND, uint32_t, uintptr_t, intptr_t) {}
HostWindowRecord dialogWindow{sizeof(HostWindowRecord), &dropMessage};

} // namespace

TPluginConfigForm::TPluginConfigForm(IDialogs& dialogs, MessageWindow* playerWindow, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_playerWindow(playerWindow) {
    setObjectName(QStringLiteral("PluginConfigForm"));
    setWindowTitle(QStringLiteral("Plug-in Configuration"));
    setFixedSize(582, 338);
    buildControls();
}

void TPluginConfigForm::buildControls() {
    makeLabel(this, "Label2", "Note : Plug-ins must reside in <program_directory>/Plugins directory", {8, 8, 420, 16});
    makeLabel(this, "Label4", "Only Winamp 2 version is acceptable", {8, 26, 300, 16});
    makeLabel(this, "Label5", "Maximum 8 plug-ins can be loaded", {8, 44, 300, 16});
    PluginFirst = make<QCheckBox>(this, "PluginFirst", {8, 66, 100, 18});
    PluginFirst->setText(QStringLiteral("Plugin First"));
    makeLabel(this, "Label6", "( if checked then Winamp plug-in is applied for the file types which can",
              {112, 62, 460, 16});
    makeLabel(this, "Label7", "be played by both BASS and Winamp plug-in )", {112, 78, 460, 16});
    makeLabel(this, "Label1", "Plug-ins", {8, 100, 150, 16});
    makeLabel(this, "Label3", "Loaded Plug-ins", {168, 100, 200, 16});
    PluginList = make<QListWidget>(this, "PluginList", {8, 118, 150, 170});
    PluginGrid = make<QTableWidget>(this, "PluginGrid", {168, 118, 406, 170});
    PluginGrid->setColumnCount(3);
    PluginGrid->setRowCount(kGridRows);
    PluginGrid->setColumnWidth(0, 84);
    PluginGrid->setColumnWidth(1, 173);
    PluginGrid->setColumnWidth(2, 151);
    // The header stands for the grid's fixed row 0: no captions, and its
    // column edges are where the user drags to resize. The table's own row 0
    // stays, hidden, so that the plug-ins keep rows 1 to 8.
    PluginGrid->setHorizontalHeaderLabels({QString(), QString(), QString()});
    PluginGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    PluginGrid->setRowHidden(0, true);
    PluginGrid->verticalHeader()->hide();
    PluginGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    PluginGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    PluginGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int column = 0; column < 3; ++column) {
        auto* fixed = new QTableWidgetItem;
        fixed->setFlags(Qt::NoItemFlags);
        PluginGrid->setItem(0, column, fixed);
    }
    connect(makeButton(this, "btnLoad", "Load", {8, 300, 75, 25}), &QPushButton::clicked, this,
            &TPluginConfigForm::btnLoadClick);
    connect(makeButton(this, "btnUnload", "Unload", {168, 300, 75, 25}), &QPushButton::clicked, this,
            &TPluginConfigForm::btnUnloadClick);
    connect(makeButton(this, "btnAbout", "About", {250, 300, 75, 25}), &QPushButton::clicked, this,
            &TPluginConfigForm::btnAboutClick);
    connect(makeButton(this, "btnConfigure", "Configure", {332, 300, 75, 25}), &QPushButton::clicked, this,
            &TPluginConfigForm::btnConfigureClick);
    connect(makeButton(this, "btnClose", "Close", {499, 300, 75, 25}), &QPushButton::clicked, this,
            &TPluginConfigForm::btnCloseClick);
    connect(PluginFirst, &QCheckBox::clicked, this, &TPluginConfigForm::PluginFirstClick);
}

void TPluginConfigForm::showEvent(QShowEvent* event) {
    FillPluginList();
    QDialog::showEvent(event);
}

void TPluginConfigForm::FillPluginList() {
    PluginList->clear();
    const QDir folder(QString::fromStdString(PluginsFolder()));
    for (const QString& name : folder.entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name))
        PluginList->addItem(name);
}

void TPluginConfigForm::confirm(const char* text) {
    m_dialogs.messageBox(QStringLiteral("Confirm"), QString::fromUtf8(text), MessageIcon::Information);
    // The box belongs to the main window, which the window manager activates
    // when the box closes; this window would drop behind it.
    if (isVisible())
        ShowInFront();
}

void TPluginConfigForm::ShowInFront() {
    show();
    raise();
    activateWindow();
}

void TPluginConfigForm::setRow(int row, const std::string& fileName, const std::string& description,
                               const std::string& extensions) {
    const std::string texts[] = {fileName, description, extensions};
    for (int column = 0; column < 3; ++column)
        PluginGrid->setItem(row, column, new QTableWidgetItem(QString::fromStdString(texts[column])));
}

void TPluginConfigForm::FillPluginGrid() {
    m_loadedCount = 0;
    for (int32_t slot = 0; slot < kPluginSlots; ++slot) {
        if (!GetPluginModule(slot))
            continue;
        const TPluginInfo info = GetPluginInfo(slot);
        ++m_loadedCount;
        setRow(m_loadedCount, info.FileName, info.Description, info.FileExtensions);
    }
}

void TPluginConfigForm::ClearPluginGrid() {
    PluginGrid->setUpdatesEnabled(false);
    for (int row = 1; row < kGridRows; ++row)
        setRow(row, {}, {}, {});
    PluginGrid->setUpdatesEnabled(true);
    PluginGrid->viewport()->update();
}

std::string TPluginConfigForm::selectedGridName() const {
    const int row = PluginGrid->currentRow();
    const QTableWidgetItem* item = row >= 1 ? PluginGrid->item(row, 0) : nullptr;
    return item && PluginGrid->selectionModel()->isRowSelected(row, {}) ? item->text().toStdString() : std::string();
}

void TPluginConfigForm::btnLoadClick() {
    if (PluginList->count() == 0)
        return confirm("No plug-in to load");
    const QListWidgetItem* item = PluginList->currentItem();
    if (!item || !item->isSelected())
        return confirm("Select plug-in to load first");
    m_selectedName = item->text().toStdString();
    static const char* const kRefusals[] = {
        nullptr,
        "Load denied : Output plug-in is not ready",
        "Load denied : Already loaded before",
        "Load denied : No space to load",
        "Load denied : Unknown Error",
        "Load denied : Not valid Winamp 2 input plug-in",
    };
    const int32_t code = LoadPlugin(m_selectedName);
    if (code == kPluginDone) {
        ++m_loadedCount;
        const TPluginInfo info = GetPluginInfo(FindPlugin(m_selectedName));
        setRow(m_loadedCount, info.FileName, info.Description, info.FileExtensions);
    } else if (code > 0 && code <= kLoadNotAPlugin) {
        confirm(kRefusals[code]);
    }
}

void TPluginConfigForm::btnUnloadClick() {
    if (m_loadedCount == 0)
        return confirm("No plug-ins are loaded");
    m_selectedName = selectedGridName();
    if (m_selectedName.empty())
        return confirm("Select plug-in to unload first");
    const int row = PluginGrid->currentRow();
    switch (UnloadPlugin(m_selectedName)) {
    case kPluginDone:
        if (row == m_loadedCount) {
            setRow(row, {}, {}, {});
            --m_loadedCount;
        } else {
            ClearPluginGrid();
            FillPluginGrid();
        }
        break;
    case kUnloadFailed:
        confirm("Cannot unload : Unknown Error");
        break;
    case kUnloadNotLoaded:
        confirm("Cannot unload : Plug-in is not loaded");
        break;
    case kUnloadInUse:
        confirm("Cannot unload : Plug-in is in use");
        break;
    default:
        break;
    }
}

void TPluginConfigForm::callPluginDialog(bool about) {
    if (m_loadedCount == 0)
        return confirm(about ? "No plug-ins to query are loaded" : "No plug-ins to configure are loaded");
    m_selectedName = selectedGridName();
    if (m_selectedName.empty())
        return confirm(about ? "Select plug-in to query first" : "Select plug-in to configure first");
    In_Module* module = GetPluginModule(FindPlugin(m_selectedName));
    if (!module)
        return;
    auto entry = about ? module->About : module->Config;
    if (entry)
        entry(&dialogWindow);
}

void TPluginConfigForm::btnAboutClick() {
    callPluginDialog(true);
}
void TPluginConfigForm::btnConfigureClick() {
    callPluginDialog(false);
}
void TPluginConfigForm::btnCloseClick() {
    close();
}

void TPluginConfigForm::PluginFirstClick() {
    if (m_playerWindow)
        m_playerWindow->post(WM_PLUGIN_FIRST, 0, PluginFirst->isChecked() ? 1 : 0);
}

} // namespace tindrel
