// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Internal helpers: day numbers kept inside 32 bits, floored division.
#pragma once

#include <cstdint>
#include <limits>

// Clamps a 64-bit day number to the 32-bit range. Dates that need more lie
// millions of years away; clamping keeps every later product defined.
inline int64_t clamp_jdn(int64_t jdn) {
    constexpr int64_t lo = std::numeric_limits<int32_t>::min();
    constexpr int64_t hi = std::numeric_limits<int32_t>::max();
    return jdn < lo ? lo : jdn > hi ? hi : jdn;
}

inline int32_t saturate_jdn(int64_t jdn) { return static_cast<int32_t>(clamp_jdn(jdn)); }

// Division rounded toward minus infinity, for a positive divisor.
constexpr int64_t floor_div(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
