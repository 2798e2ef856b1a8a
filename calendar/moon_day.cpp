// Moon phase of a Gregorian day, memoised by day number.
#include "calendar/calendar.h"

#include <cmath>

// Slot j % 200 holds the phase code of day j. Starts zeroed (day 0, no
// phase) and is never invalidated: its contents depend on dates alone.
moon_phase_slot moon_phase_cache[moon_phase_cache_size];

namespace {

// Day of a phase: the integer part of its Julian date, which changes at noon UT.
int64_t phase_day(int64_t k, int p) {
    return static_cast<int64_t>(std::trunc(moon_phase_jd(k, p)));
}

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

    // Clear five lunations around day j, then mark the phases of six: the
    // marks reach about 170 days past the start, so no batch writes two days
    // into one slot.
    double start = moon_phase_jd(k - 2, 0);
    double end = moon_phase_jd(k + 3, 0);
    for (int64_t i = static_cast<int64_t>(std::trunc(start)); static_cast<double>(i) < end; ++i)
        set_slot(i, 0);
    for (int64_t n = k - 2; n <= k + 3; ++n)
        for (int p = 0; p < 4; ++p) set_slot(phase_day(n, p), p + 1);

    return slot.day == j ? slot.phase : 0;
}
