// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/Application.h"

#include <gtest/gtest.h>

// Widgets need the application object before the first test creates one.
// Tests never need a real display.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    tindrel::TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
