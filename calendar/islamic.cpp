// The computed Islamic calendar: every month is one lunation, begun on the
// day that new_moon_jd's day rule gives. Month (year, month) is lunation
// 12 year + month - 15813; lunation 1048 is 1 Muharram 1405.
#include "calendar/calendar.h"

#include <cmath>

namespace {

int64_t lunation_of(int64_t year, int64_t month) { return 12 * year + month - 15813; }

}  // namespace

int64_t islamic_to_jdn(int year, int month, int day) {
    return static_cast<int64_t>(new_moon_jd(lunation_of(year, month)) + static_cast<double>(day));
}

void jdn_to_islamic(int64_t jdn, icaltimetype *dest) {
    // Outside the lunar range the estimate below is not known to lie above the
    // lunation, and far outside it the search would run for millions of steps.
    jdn = jdn < lunar_jdn_min ? lunar_jdn_min : jdn > lunar_jdn_max ? lunar_jdn_max : jdn;
    icaltimetype g = icaltime_null_time();
    jdn_to_gregorian(jdn, &g);
    // The estimate lies at or above the sought lunation over the lunar range
    // (at most two above from 1000 to 3000); the search only moves down.
    double x = (g.month - 1) / 12.0 + g.year + g.day / 365.0 - 1900;
    int64_t k = static_cast<int64_t>(x * 12.3685 + 0.6);
    double r = new_moon_jd(k);
    while (r > static_cast<double>(jdn)) {
        --k;
        r = new_moon_jd(k);
    }
    // Floor division and a non-negative remainder, relative to lunation 1048.
    int64_t q = k - 1048;
    int64_t years = q >= 0 ? q / 12 : -((-q + 11) / 12);
    int64_t year = 1405 + years;
    if (year <= 0) year -= 1;  // no year 0
    dest->year = static_cast<int>(year);
    dest->month = static_cast<int>(q - 12 * years + 1);
    dest->day = static_cast<int>(std::trunc(static_cast<double>(jdn) - r + 1));
    dest->hour = 0;
    dest->minute = 0;
    dest->second = 0;
}

int islamic_month_length(int month, int year) {
    int64_t next =
        month == 12 ? lunation_of(int64_t{year} + 1, 1) : lunation_of(year, int64_t{month} + 1);
    // The day before the next month's first day, converted back: its day is
    // the length, and so always agrees with jdn_to_islamic.
    int64_t last = static_cast<int64_t>(new_moon_jd(next) + 1) - 1;
    icaltimetype d = icaltime_null_time();
    jdn_to_islamic(last, &d);
    return d.day;
}

void gregorian_to_islamic(icaltimetype date, icaltimetype *dest) {
    jdn_to_islamic(gregorian_to_jdn(date), dest);
}
