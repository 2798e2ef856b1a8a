// Calendar arithmetic: Julian day numbers, the Gregorian, Persian and Islamic
// calendars, lunar phases and the moon phase of a day.
//
// Dates are libical records; only year, month and day take part. Integer
// divisions truncate toward zero and remainders take the dividend's sign.
#pragma once

#include <libical/ical.h>

#include <cstdint>

enum calendar_kind_value { calendar_gregorian = 0, calendar_persian = 1, calendar_islamic = 2 };

// Gregorian (Fliegel and Van Flandern).
int32_t gregorian_to_jdn(icaltimetype date);
void jdn_to_gregorian(int64_t jdn, icaltimetype *dest);  // writes year, month, day
int weekday_of(icaltimetype date);                        // 0 Tuesday ... 6 Monday
int gregorian_month_length(int month, int year);
int date_equal(icaltimetype a, icaltimetype b);
int date_before(icaltimetype a, icaltimetype b);
int date_on_or_after(icaltimetype a, icaltimetype b);

// Persian, the arithmetic 2820-year cycle.
int32_t persian_to_jdn(int year, int month, int day);
void jdn_to_persian(int32_t jdn, icaltimetype *dest);  // writes year, month, day, is_date
int persian_month_length(int month, int year);
void gregorian_to_persian(icaltimetype date, icaltimetype *dest);

// Lunar phases: lunation k counted from the new moon of 1900-01-01,
// phase p 0 new, 1 first quarter, 2 full, 3 last quarter. Julian dates in UT.
double moon_phase_jd(int64_t k, int p);
double new_moon_jd(int64_t k);  // month-start instant of lunation k

// Islamic, months begun by the computed new moon.
int64_t islamic_to_jdn(int year, int month, int day);
void jdn_to_islamic(int64_t jdn, icaltimetype *dest);  // writes year, month, day, h:m:s = 0
int islamic_month_length(int month, int year);
void gregorian_to_islamic(icaltimetype date, icaltimetype *dest);

// Any calendar kind.
void to_gregorian(int kind, icaltimetype date, icaltimetype *dest);
int days_in_month(int month, int year, int kind);

// Moon phase code of a Gregorian day: 0 none, 1 new, 2 first quarter, 3 full, 4 last quarter.
struct moon_phase_slot {
    int32_t phase;
    int32_t day;  // Julian day number the slot describes
};
constexpr int moon_phase_cache_size = 200;
extern moon_phase_slot moon_phase_cache[moon_phase_cache_size];
int moon_phase_of_day(icaltimetype date);
