// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Instants of the Moon's principal phases: the true-phase formulas of Meeus,
// Astronomical Formulae for Calculators, with lunations counted from the new
// moon of 1900 January 1 and a Delta T polynomial subtracted to give UT.
// Results are Julian dates (fraction 0 at noon UT).
#include "calendar/calendar.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr double deg = 0.017453292519943295;     // radians per degree
constexpr double two_deg = 0.03490658503988659;  // for the doubled argument 2F

}  // namespace

double moon_phase_jd(int64_t k, int p) {
    if (p < 0 || p > 3) {
        std::fputs("tmoonphase: illegal phase number\n", stdout);
        std::exit(1);
    }
    double c = static_cast<double>(k) + 0.25 * p;
    // Julian centuries from 1900 January 0.5, in lunations: 1236.85 per century.
    double t = c / 1236.85;
    double t2 = t * t;
    double t3 = t * t2;
    // Mean anomalies of the Sun (m) and the Moon (mp), the Moon's argument of
    // latitude (f); degrees.
    double m = 359.2242 + 29.10535608 * c - 0.0000333 * t2 - 0.00000347 * t3;
    double mp = 306.0253 + 385.81691806 * c + 0.0107306 * t2 + 0.00001236 * t3;
    double f = 21.2964 + 390.67050646 * c - 0.0016528 * t2 - 0.00000239 * t3;
    double mean = 2415020.75933 + 29.53058868 * c + 0.0001178 * t2 - 0.000000155 * t3 +
                  0.00033 * std::sin((166.56 + 132.87 * t - 0.009173 * t2) * deg);

    double mr = m * deg, mpr = mp * deg, f2 = f * two_deg;
    double s;
    if (p == 0 || p == 2) {
        s = (0.1734 - 0.000393 * t) * std::sin(mr);
        s += 0.0021 * std::sin(2 * mr);
        s += -0.4068 * std::sin(mpr);
        s += 0.0161 * std::sin(2 * mpr);
        s += -0.0004 * std::sin(3 * mpr);
        s += 0.0104 * std::sin(f2);
        s += -0.0051 * std::sin(mr + mpr);
        s += -0.0074 * std::sin(mr - mpr);
        s += 0.0004 * std::sin(f2 + mr);
        s += -0.0004 * std::sin(f2 - mr);
        s += -0.0006 * std::sin(f2 + mpr);
        s += 0.001 * std::sin(f2 - mpr);
        s += 0.0005 * std::sin(mr + 2 * mpr);
    } else {
        s = (0.1721 - 0.0004 * t) * std::sin(mr);
        s += 0.0021 * std::sin(2 * mr);
        s += -0.628 * std::sin(mpr);
        s += 0.0089 * std::sin(2 * mpr);
        s += -0.0004 * std::sin(3 * mpr);
        s += 0.0079 * std::sin(f2);
        s += -0.0119 * std::sin(mr + mpr);
        s += -0.0047 * std::sin(mr - mpr);
        s += 0.0003 * std::sin(f2 + mr);
        s += -0.0004 * std::sin(f2 - mr);
        s += -0.0006 * std::sin(f2 + mpr);
        s += 0.0021 * std::sin(f2 - mpr);
        s += 0.0003 * std::sin(mr + 2 * mpr);
        s += 0.0004 * std::sin(mr - 2 * mpr);
        s += -0.0003 * std::sin(2 * mr + mpr);
        // The quarter correction: + for the first quarter, - for the last.
        double sign = p == 1 ? 1.0 : -1.0;
        s += sign * 0.0028;
        s += sign * -0.0004 * std::cos(mr);
        s += sign * 0.0003 * std::cos(mpr);
    }
    // Delta T (TT - UT) in minutes.
    return mean + s - (0.41 + 1.2053 * t + 0.4992 * t2) / 1440;
}
