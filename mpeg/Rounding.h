// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Tindrel developers
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace tindrel {

// Rounds to the nearest whole number, an exact half going to the even
// neighbour (122.5 gives 122, 123.5 gives 124), whatever the floating-point
// rounding mode. Values beyond the 64-bit range saturate and NaN gives 0, so
// a corrupt header can never make the conversion undefined.
inline int64_t RoundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double kLimit = 9.2e18;
    if (value >= kLimit)
        return std::numeric_limits<int64_t>::max();
    if (value <= -kLimit)
        return std::numeric_limits<int64_t>::min();
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<int64_t>(whole);
}

} // namespace tindrel
