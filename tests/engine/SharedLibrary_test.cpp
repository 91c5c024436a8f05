// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#include "engine/SharedLibrary.h"

#include <gtest/gtest.h>
#include <math.h>
#include <mpg123.h>
#include <stdexcept>

namespace tindrel::engine {
namespace {

#define PRESENT_CALLS(X) X(j0)
#define ONE_MISSING_CALLS(X) X(j0) X(mpg123_init)
struct Present {
    PRESENT_CALLS(TINDREL_LIBRARY_MEMBER)
};
struct NoLibrary {
    PRESENT_CALLS(TINDREL_LIBRARY_MEMBER)
};
struct OneMissing {
    ONE_MISSING_CALLS(TINDREL_LIBRARY_MEMBER)
};

struct Missing : std::runtime_error {
    Missing() : std::runtime_error("missing") {}
};
const auto kThrow = [] { throw Missing(); };

// A library that is there gives calls that work; a missing library, or a
// call the library lacks, is told by the caller's error each time it is
// asked for, never by a crash on an empty call.
TEST(SharedLibrary, CallsAreThereOrTheirAbsenceIsAnErrorEveryTime) {
    const Present& present = LibraryCalls<Present>("m", 6, TINDREL_LIBRARY_FILLER(Present, PRESENT_CALLS), kThrow);
    EXPECT_DOUBLE_EQ(present.j0(0.0), 1.0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THROW(LibraryCalls<NoLibrary>("tindrel-no-such-library", 0,
                                             TINDREL_LIBRARY_FILLER(NoLibrary, PRESENT_CALLS), kThrow),
                     Missing);
        EXPECT_THROW(LibraryCalls<OneMissing>("m", 6, TINDREL_LIBRARY_FILLER(OneMissing, ONE_MISSING_CALLS), kThrow),
                     Missing);
    }
}

} // namespace
} // namespace tindrel::engine
