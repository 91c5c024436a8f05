// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "app/Main.h"
#include "platform/Application.h"
#include "platform/ErrorHandler.h"
#include "platform/QtDialogs.h"

#include <fontconfig/fontconfig.h>
#include <thread>

// Tindrel opens the files named on its command line (Qt takes its own
// options out first) once its window is on the screen: one on the Split MP3
// page, several in the Join list.
int main(int argc, char** argv) {
    // The first text the window lays out waits for the font configuration
    // (tens of files, parsed); a second core reads it while Qt starts.
    // Qt's own call then finds it done; were it still being read, Qt would
    // read it itself and one copy be dropped.
    const std::jthread fonts([] { FcInit(); });
    tindrel::TApplication app(argc, argv);
    tindrel::QtDialogs dialogs;
    tindrel::ErrorHandler::setDialogs(&dialogs);
    tindrel::TMainForm form(dialogs, QCoreApplication::applicationDirPath());
    dialogs.setParentWidget(&form);
    form.show();
    form.afterFirstPaint([&] { form.openFiles(app.arguments().mid(1)); });
    const int code = app.exec();
    tindrel::ErrorHandler::setDialogs(nullptr);
    return code;
}
