// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <QApplication>

namespace tindrel {

// The application object. Handlers connected through ErrorHandler::guard
// report their own errors; this is the safety net for any other event
// handler, so no exception ever ends the program.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace tindrel
