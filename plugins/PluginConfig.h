// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

// The dialog that loads and unloads input plug-ins, opens their own About
// and configuration dialogs and sets the player's plug-in-first switch. A
// thin view over the plug-in host: it keeps only the number of filled rows.

#include <QDialog>
#include <cstdint>
#include <string>

class QCheckBox;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace tindrel {

class IDialogs;
class MessageWindow;

class TPluginConfigForm : public QDialog {
    Q_OBJECT
public:
    // playerWindow receives WM_PLUGIN_FIRST when the check box changes.
    TPluginConfigForm(IDialogs& dialogs, MessageWindow* playerWindow, QWidget* parent = nullptr);

    int32_t LoadedCount() const { return m_loadedCount; }
    const std::string& SelectedName() const { return m_selectedName; }

    // Shows the window, or brings it back in front of the main window, with
    // the keyboard focus.
    void ShowInFront();

    // Lists the plug-in libraries found in the Plugins folder.
    void FillPluginList();
    void FillPluginGrid();
    void ClearPluginGrid();

    void btnLoadClick();
    void btnUnloadClick();
    void btnAboutClick();
    void btnConfigureClick();
    void btnCloseClick();
    void PluginFirstClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void setRow(int row, const std::string& fileName, const std::string& description, const std::string& extensions);
    // Column 0 of the selected row when it names a plug-in; empty otherwise.
    std::string selectedGridName() const;
    void confirm(const char* text);
    void callPluginDialog(bool about);

    IDialogs& m_dialogs;
    MessageWindow* m_playerWindow;
    int32_t m_loadedCount = 0;
    std::string m_selectedName;

    QCheckBox* PluginFirst = nullptr;
    QListWidget* PluginList = nullptr;
    QTableWidget* PluginGrid = nullptr;
};

} // namespace tindrel
