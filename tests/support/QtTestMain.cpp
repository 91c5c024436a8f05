// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "platform/Application.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

// Widgets need the application object before the first test creates one.
int main(int argc, char** argv) {
    tindrel::test::UseTestEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    tindrel::TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
