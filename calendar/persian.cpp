// The arithmetic Persian calendar of the 2820-year cycle: 1,029,983 days,
// 683 of the years leap years. Years are counted from 474 (y = year - 474); the
// cycle that starts with year 475 starts on day number 2121446.
//
// The formulas are those of 32-bit code, evaluated in 64 bits: identical
// wherever the 32-bit evaluation does not overflow, and defined beyond it.
#include "calendar/calendar.h"

#include "calendar/range.h"

namespace {

// Day number of the day before 1 Farvardin of year y + 474. The third term
// counts the leap days of the cycle before year r, (31 r + 14689) / 128.
int64_t day_before_year(int64_t y) {
    int64_t c = y / 2820, r = y % 2820;
    return 365 * r + (682 * r + 323158) / 2816 + 1029983 * c + 2120965;
}

}  // namespace

int32_t persian_to_jdn(int year, int month, int day) {
    int64_t m = month;
    // Months 1 to 6 have 31 days, 7 to 11 have 30: 31 (m - 1) days precede
    // month m up to month 7, 30 m - 24 from month 8 on.
    int64_t before = m <= 7 ? 31 * (m - 1) : 30 * m - 24;
    return saturate_jdn(day + before + day_before_year(static_cast<int64_t>(year) - 474));
}

void jdn_to_persian(int32_t jdn, icaltimetype *dest) {
    int64_t d = static_cast<int64_t>(jdn) - 2121446;
    int64_t cycle = d / 1029983, cyear = d % 1029983;
    int64_t ycycle;
    if (cyear == 1029982) {
        ycycle = 2820;  // the last day of a cycle
    } else {
        // 2816 cyear - 1028522 a1 written as 2134 a1 + 2816 a2: the plain
        // form passes 2^31 in the last third of a cycle.
        int64_t a1 = cyear / 366, a2 = cyear % 366;
        ycycle = a1 + (2134 * a1 + 2816 * a2 + 2815) / 1028522 + 1;
    }
    int64_t y = 2820 * cycle + ycycle;
    if (y < -473) y -= 1;                     // no year 0
    int64_t yday = jdn - day_before_year(y);  // 1 on 1 Farvardin
    int64_t m0 = yday <= 186 ? (yday - 1) / 31 : (yday - 7) / 30;
    dest->year = static_cast<int>(y + 474);
    dest->month = static_cast<int>(m0 + 1);
    dest->day = static_cast<int>(m0 < 7 ? yday - 31 * m0 : yday - (30 * m0 + 6));
    dest->is_date = 1;
}

int persian_month_length(int month, int year) {
    if (month < 7) return 31;
    if (month <= 11) return 30;
    // Month 12 (and any month above): the 366th day of a common year is
    // 1 Farvardin of the next year, that of a leap year 30 Esfand.
    icaltimetype probe = icaltime_null_time();
    jdn_to_persian(saturate_jdn(static_cast<int64_t>(persian_to_jdn(year, 1, 1)) + 365), &probe);
    return probe.day == 1 ? 29 : 30;
}

void gregorian_to_persian(icaltimetype date, icaltimetype *dest) {
    jdn_to_persian(gregorian_to_jdn(date), dest);
}
