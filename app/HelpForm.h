// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QDialog>

class QTextBrowser;

namespace tindrel {

// The manual in a window of its own, which stays open beside the main window.
// The manual is built into the program, so Help works wherever it is run from.
class THelpForm : public QDialog {
    Q_OBJECT
public:
    explicit THelpForm(QWidget* owner);
    // Shows the window, or brings it to the front, at the section whose
    // heading is `section` (the whole manual from the top when empty).
    void showAt(const QString& section = {});
    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

// The manual's text (Markdown).
QString ManualText();

} // namespace tindrel
