// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    tindrel::test::UseTestEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
