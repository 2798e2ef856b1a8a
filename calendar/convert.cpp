// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The switch between the calendar kinds.
#include "calendar/calendar.h"

void to_gregorian(int kind, icaltimetype date, icaltimetype *dest, int hijri) {
    if (kind != calendar_persian && kind != calendar_islamic) {
        *dest = date;
        return;
    }
    int64_t jdn = kind == calendar_persian ? persian_to_jdn(date.year, date.month, date.day)
                                           : islamic_to_jdn(date.year, date.month, date.day, hijri);
    jdn_to_gregorian(jdn, dest);
    dest->hour = 0;
    dest->minute = 0;
    dest->second = 0;
}

int days_in_month(int month, int year, int kind, int hijri) {
    if (kind == calendar_persian) return persian_month_length(month, year);
    if (kind == calendar_islamic) return islamic_month_length(month, year, hijri);
    return gregorian_month_length(month, year);
}
