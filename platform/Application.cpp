// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/Application.h"

#include "platform/ErrorHandler.h"
#include "platform/FileOps.h"

#include <exception>

namespace tindrel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    IgnoreFileSizeLimitSignal();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ErrorHandler::report(error);
        return false;
    }
}

} // namespace tindrel
