// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/Application.h"
#include "tests/support/TestEnvironment.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Widgets need the application object before the first test creates one.
int main(int argc, char** argv) {
    tindrel::test::UseTestEnvironment();
    // Never the user's own settings, even for a test that sets no folder.
    const QTemporaryDir settings;
    tindrel::test::UseSettingsFolder(settings.path().toStdString());
    ::testing::InitGoogleTest(&argc, argv);
    tindrel::TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

#if defined(__SANITIZE_THREAD__)
// A message posted from another thread (a plug-in's, the engine's) travels
// through Qt's posted-event queue, whose lock is a futex inside the
// uninstrumented Qt library: the thread sanitizer sees the event written on one thread and read and freed
// on the UI thread without seeing the lock between them. Only that handoff
// is left out of its reports; races on anything else are still reported.
extern "C" const char* __tsan_default_suppressions() {
    return "race:tindrel::MessageWindow::event\n"
           "race:QEvent::type\n"
           "race:QCoreApplicationPrivate::sendPostedEvents\n";
}
#endif
