// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The Persian (solar Hijri) calendar by the 33-year arithmetic rule: year y is
// a leap year when (25 y + 11) mod 33 < 8, eight leap years in every 33. From
// 1800 to 2123 CE this gives exactly the years of the official calendar, whose
// year begins on the March equinox's day at 52.5 E (UTC+03:30) when the
// equinox falls before apparent noon there, else on the next day. The same
// rule carries on, without a break, before and after those years.
//
// Months 1 to 6 have 31 days, 7 to 11 have 30, month 12 has 29 or, in a leap
// year, 30. 1 Farvardin 1 is day number 1948320 (622-03-21 Gregorian).
#include "calendar/calendar.h"

#include "calendar/range.h"

namespace {

constexpr int64_t epoch = 1948320;  // 1 Farvardin 1

// Day number of 1 Farvardin of year y. (8 y - 12) / 33 + 1, floored, counts
// the leap years from 1 to y - 1; both sides of year 1 alike.
int64_t year_start(int64_t y) { return epoch + 365 * (y - 1) + floor_div(8 * y - 12, 33) + 1; }

}  // namespace

int32_t persian_to_jdn(int year, int month, int day) {
    int64_t m = month;
    // Months 1 to 6 have 31 days, 7 to 11 have 30: 31 (m - 1) days precede
    // month m up to month 7, 30 m - 24 from month 8 on.
    int64_t before = m <= 7 ? 31 * (m - 1) : 30 * m - 24;
    return saturate_jdn(year_start(year) + before + day - 1);
}

void jdn_to_persian(int32_t jdn, icaltimetype *dest) {
    // 33 years have 12,053 days; the estimate is within a year of the answer.
    int64_t j = jdn;
    int64_t y = floor_div(33 * (j - epoch), 12053) + 1;
    while (year_start(y) > j) --y;
    while (year_start(y + 1) <= j) ++y;
    int64_t yday = j - year_start(y) + 1;  // 1 on 1 Farvardin
    int64_t m0 = yday <= 186 ? (yday - 1) / 31 : (yday - 7) / 30;
    dest->year = static_cast<int>(y);
    dest->month = static_cast<int>(m0 + 1);
    dest->day = static_cast<int>(m0 < 7 ? yday - 31 * m0 : yday - (30 * m0 + 6));
    dest->is_date = 1;
}

int persian_month_length(int month, int year) {
    if (month < 7) return 31;
    if (month <= 11) return 30;
    // Month 12 (and any month above) holds the days up to the next 1 Farvardin.
    return static_cast<int>(year_start(int64_t{year} + 1) - year_start(year) - 336);
}

void gregorian_to_persian(icaltimetype date, icaltimetype *dest) {
    jdn_to_persian(gregorian_to_jdn(date), dest);
}
