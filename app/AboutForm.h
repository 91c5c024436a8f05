// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QDialog>

namespace tindrel {

// A small window with the program's version and the platforms it runs on.
// While it is shown the window it was opened from is disabled.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    TAboutForm(const QString& versionText, QWidget* owner);
    // Shows the window without waiting and disables the owner until it closes.
    void showFor();

private:
    QWidget* m_owner;
};

// The platforms this build supports, as the About window lists them.
QString SupportedPlatformsText();

} // namespace tindrel
