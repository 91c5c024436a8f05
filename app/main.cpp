// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Main.h"
#include "platform/Application.h"
#include "platform/ErrorHandler.h"
#include "platform/QtDialogs.h"

// Tindrel takes no command-line arguments; Qt's own are left to Qt.
int main(int argc, char** argv) {
    tindrel::TApplication app(argc, argv);
    tindrel::QtDialogs dialogs;
    tindrel::ErrorHandler::setDialogs(&dialogs);
    tindrel::TMainForm form(dialogs, QCoreApplication::applicationDirPath());
    dialogs.setParentWidget(&form);
    form.show();
    const int code = app.exec();
    tindrel::ErrorHandler::setDialogs(nullptr);
    return code;
}
