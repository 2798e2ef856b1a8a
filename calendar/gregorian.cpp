// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Gregorian dates and Julian day numbers (Fliegel and Van Flandern, CACM 1968).
//
// Both conversions are written for 32-bit day numbers but evaluated in 64 bits:
// wherever the 32-bit evaluation does not overflow the two agree to the bit,
// and beyond that the 64-bit one stays defined. C++ division truncates toward
// zero and the remainder takes the dividend's sign, which the formulas rely on
// for negative intermediates.
#include "calendar/calendar.h"

#include "calendar/range.h"

int32_t gregorian_to_jdn(icaltimetype date) {
    int64_t year = date.year, month = date.month, day = date.day;
    // a is -1 for January and February, 0 otherwise. With |year|, |month|,
    // |day| below 2^31 every product stays below 2^43.
    int64_t a = (month - 14) / 12;
    int64_t jdn = (1461 * (year + 4800 + a)) / 4 + (367 * (month - 2 - 12 * a)) / 12 -
                  (3 * ((year + 4900 + a) / 100)) / 4 + day - 32075;
    return saturate_jdn(jdn);
}

void jdn_to_gregorian(int64_t jdn, icaltimetype *dest) {
    // Clamped to 32 bits (years within about 5.8 million of the epoch): then
    // 4000 * (l + 1) stays below 2^44 and the year fits an int.
    jdn = clamp_jdn(jdn);
    int64_t l = jdn + 68569;
    int64_t n = (4 * l) / 146097;
    l = l - (146097 * n + 3) / 4;
    int64_t i = (4000 * (l + 1)) / 1461001;
    l = l - (1461 * i) / 4 + 31;
    int64_t j = (80 * l) / 2447;
    int64_t day = l - (2447 * j) / 80;
    int64_t k = j / 11;
    int64_t month = j + 2 - 12 * k;
    int64_t year = 100 * n - 4900 + i + k;
    dest->year = static_cast<int>(year);
    dest->month = static_cast<int>(month);
    dest->day = static_cast<int>(day);
}

int weekday_of(icaltimetype date) {
    // Day number 1 (4713 BC January 2, proleptic Julian) was a Tuesday.
    return static_cast<int>((static_cast<int64_t>(gregorian_to_jdn(date)) - 1) % 7);
}

int gregorian_month_length(int month, int year) {
    if (month > 11 || month < 0) return 31;
    if (month == 4 || month == 6 || month == 9 || month == 11) return 30;
    if (month != 2) return 31;
    bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return leap ? 29 : 28;
}

int date_equal(icaltimetype a, icaltimetype b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

int date_before(icaltimetype a, icaltimetype b) {
    if (a.year != b.year) return a.year < b.year;
    if (a.month != b.month) return a.month < b.month;
    return a.day < b.day;
}

int date_on_or_after(icaltimetype a, icaltimetype b) { return !date_before(a, b); }
