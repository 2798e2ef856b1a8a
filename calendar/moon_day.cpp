// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Moon phase of a Gregorian day, memoised by day number. A phase belongs to
// the civil date on which its instant falls in local time, as localtime sees
// it under the process's TZ; the zone is fixed for the life of the process,
// so the cache never needs clearing.
#include "calendar/calendar.h"

#include <cmath>
#include <ctime>

// Slot j % 200 holds the phase code of day j. Starts zeroed (day 0, no
// phase) and is never invalidated: its contents depend on dates alone.
moon_phase_slot moon_phase_cache[moon_phase_cache_size];

namespace {

constexpr double unix_epoch_jd = 2440587.5;  // 1970-01-01 00:00 UT
constexpr double seconds_per_day = 86400;

// Day number of the local date of a Julian date (UT). Where localtime cannot
// say, the UT date.
int64_t local_day(double jd) {
    double seconds = std::floor((jd - unix_epoch_jd) * seconds_per_day);
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) return static_cast<int64_t>(std::floor(jd + 0.5));
    icaltimetype d = icaltime_null_time();
    d.year = local.tm_year + 1900;
    d.month = local.tm_mon + 1;
    d.day = local.tm_mday;
    return gregorian_to_jdn(d);
}

int64_t phase_day(int64_t k, int p) { return local_day(moon_phase_jd(k, p)); }

void set_slot(int64_t day, int phase) {
    moon_phase_slot &slot = moon_phase_cache[day % moon_phase_cache_size];
    slot.phase = phase;
    slot.day = static_cast<int32_t>(day);
}

}  // namespace

int moon_phase_of_day(icaltimetype date) {
    int32_t j = gregorian_to_jdn(date);
    // Outside the supported years the estimate below is not known to find the
    // lunation; such days have no phase, and the cache is left alone.
    if (j < lunar_jdn_min || j > lunar_jdn_max) return 0;
    const moon_phase_slot &slot = moon_phase_cache[j % moon_phase_cache_size];
    if (slot.day == j) return slot.phase;

    // At or above the lunation of the last new moon on or before day j for
    // every date from year 1 to 6000 (at most three above from 1000 to 3000).
    double x = (date.month - 1) / 12.0 + date.year + date.day / 365.0 - 1900;
    if (!(x > -2000 && x < 4200))
        return 0;  // fields far from normal form; keeps k and the search bounded
    int32_t k = static_cast<int32_t>(x * 12.3685 + 1);
    while (j < phase_day(k, 0)) --k;

    // Clear the days from the new moon of lunation k - 2 to that of k + 3,
    // about 148, then mark the phases of those six lunations: the marks reach
    // about 170 days past the first, so no batch writes two days into one slot.
    int64_t end = phase_day(k + 3, 0);
    for (int64_t i = phase_day(k - 2, 0); i <= end; ++i) set_slot(i, 0);
    for (int64_t n = k - 2; n <= k + 3; ++n)
        for (int p = 0; p < 4; ++p) set_slot(phase_day(n, p), p + 1);

    return slot.day == j ? slot.phase : 0;
}
