// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/ErrorHandler.h"

#include "platform/Dialogs.h"

#include <cstdio>

namespace tindrel {

namespace {
IDialogs* g_dialogs = nullptr;
}

void ErrorHandler::setDialogs(IDialogs* dialogs) {
    g_dialogs = dialogs;
}

void ErrorHandler::report(const std::exception& error) {
    if (g_dialogs)
        g_dialogs->messageBox(QStringLiteral("Error"), QString::fromUtf8(error.what()), MessageIcon::Error);
    else
        std::fprintf(stderr, "Error: %s\n", error.what());
}

void ErrorHandler::run(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        report(error);
    }
}

} // namespace tindrel
