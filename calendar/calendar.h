// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Calendar arithmetic: Julian day numbers, the Gregorian, Persian and Islamic
// calendars, lunar phases and the moon phase of a day.
//
// Dates are libical records; only year, month and day take part. Integer
// divisions truncate toward zero and remainders take the dividend's sign.
//
// Every function is defined (no overflow, no out-of-range index, no endless
// search) for every argument value. The ranges below are those in which the
// results are exact and mutually consistent; outside them results are
// defined but unspecified.
#pragma once

#include <libical/ical.h>

#include <cstdint>

enum calendar_kind_value { calendar_gregorian = 0, calendar_persian = 1, calendar_islamic = 2 };

// Displayed years for which every conversion, month length and the moon
// cache are exact: each calendar's range lies within Gregorian 1000 to 3000,
// where the tests check every day of every calendar. The face keeps its
// navigation inside these years.
constexpr int gregorian_year_min = 1000;
constexpr int gregorian_year_max = 3000;
constexpr int persian_year_min = 475;   // starts 1096-03-20
constexpr int persian_year_max = 2378;  // ends 3000-03-20
constexpr int islamic_year_min = 391;   // starts 1000-12-07
constexpr int islamic_year_max = 2451;  // ends 3000-07-24

constexpr int calendar_year_min(int kind) {
    return kind == calendar_persian   ? persian_year_min
           : kind == calendar_islamic ? islamic_year_min
                                      : gregorian_year_min;
}
constexpr int calendar_year_max(int kind) {
    return kind == calendar_persian   ? persian_year_max
           : kind == calendar_islamic ? islamic_year_max
                                      : gregorian_year_max;
}

// Gregorian (Fliegel and Van Flandern). Exact, and inverse to each other, from
// year -4799 on (checked day by day to 9999); day numbers are 32-bit and saturate beyond about year
// 5.8 million. Day and month are not validated: the formula is linear in the
// day, so day 0 is the last day of the previous month.
int32_t gregorian_to_jdn(icaltimetype date);
void jdn_to_gregorian(int64_t jdn, icaltimetype *dest);  // writes year, month, day;
                                                         // jdn clamped to 32 bits
int weekday_of(icaltimetype date);                       // 0 Tuesday ... 6 Monday; negative before
                                                         // day number 1 (4714 BC November 25)
int gregorian_month_length(int month, int year);         // 31 for months 0, 12 and outside 0-12
int date_equal(icaltimetype a, icaltimetype b);
int date_before(icaltimetype a, icaltimetype b);
int date_on_or_after(icaltimetype a, icaltimetype b);

// Persian (solar Hijri) by the 33-year rule: year y is a leap year when
// (25 y + 11) mod 33 < 8. That is the official calendar (the year begins on
// the day of the March equinox at 52.5 E, or the next day when the equinox
// falls after apparent noon there) in every year from 1179 to 1502 (begun in 1800 to
// 2123 CE); the rule goes on unchanged outside them. Inverse to each other for
// every 32-bit day number (checked day by day from 475 to 3000).
int32_t persian_to_jdn(int year, int month, int day);
void jdn_to_persian(int32_t jdn, icaltimetype *dest);  // writes year, month, day, is_date
int persian_month_length(int month, int year);         // months 12 and above: the month-12 rule
void gregorian_to_persian(icaltimetype date, icaltimetype *dest);

// Lunar phases: lunation k counted from the new moon of 1900-01-01,
// phase p 0 new, 1 first quarter, 2 full, 3 last quarter. Julian dates in UT,
// within a few minutes of an ephemeris from 1900 to 2100. Defined for every k;
// p outside 0 to 3 prints "tmoonphase: illegal phase number" and exits with 1.
double moon_phase_jd(int64_t k, int p);

// Days for which moon_phase_of_day's lunation estimate is known to lie at or
// above the lunation its downward search seeks: Gregorian 0001-01-01 to
// 6000-12-31.
constexpr int32_t lunar_jdn_min = 1721426;
constexpr int32_t lunar_jdn_max = 3912880;

// Islamic (lunar Hijri), in one of two settings of which months it keeps:
// - hijri_umm_al_qura: the Umm al-Qura calendar, day for day, from 1300 to
//   1600 AH (1882-11-12 to 2174-11-25);
// - hijri_iran: the months Iran observed from 1265/1 to 1447/10 AH
//   (1848-11-28 to 2026-03-21), then months predicted from the visibility of
//   the crescent from Iran (tools/iran-hijri) to the end of 2451 AH.
// Around its table each keeps the arithmetic (civil) calendar of the 30-year
// cycle, which meets the table at both ends without a gap or an overlap.
// Years run on through 0 and below. Inverse to each other for every 32-bit
// day number; jdn_to_islamic clamps its day number to 32 bits, and a month
// outside 1 to 12 carries into the year. Any other hijri value acts as
// hijri_umm_al_qura.
enum hijri_calendar_value { hijri_umm_al_qura = 0, hijri_iran = 1 };
int64_t islamic_to_jdn(int year, int month, int day, int hijri = hijri_umm_al_qura);
void jdn_to_islamic(int64_t jdn, icaltimetype *dest,
                    int hijri = hijri_umm_al_qura);  // writes year, month, day, h:m:s = 0
int islamic_month_length(int month, int year, int hijri = hijri_umm_al_qura);  // 29 or 30
void gregorian_to_islamic(icaltimetype date, icaltimetype *dest, int hijri = hijri_umm_al_qura);

// Any calendar kind; kinds other than 1 and 2 act as Gregorian. hijri names
// the Islamic calendar's months.
void to_gregorian(int kind, icaltimetype date, icaltimetype *dest, int hijri = hijri_umm_al_qura);
int days_in_month(int month, int year, int kind, int hijri = hijri_umm_al_qura);

// Iran's official holidays of a Gregorian day: those of the Persian calendar
// and the lunar ones by Iran's months (whatever month table the face shows),
// the lunar dates moved by hijri_adjust days as the face moves them (-2 to 2;
// anything else acts as 0). Fridays, the weekly rest day, are not listed
// here: rest_day says whether the day is a holiday or a Friday.
enum holiday_value {
    holiday_none = 0,
    holiday_nowruz,            // 1-4 Farvardin
    holiday_republic_day,      // 12 Farvardin
    holiday_nature_day,        // 13 Farvardin
    holiday_khomeini_death,    // 14 Khordad
    holiday_khordad_uprising,  // 15 Khordad
    holiday_revolution,        // 22 Bahman
    holiday_oil_nationalised,  // 29 Esfand
    holiday_tasua,             // 9 Muharram
    holiday_ashura,            // 10 Muharram
    holiday_arbaeen,           // 20 Safar
    holiday_prophet_death,     // 28 Safar
    holiday_reza_martyrdom,    // the last day of Safar
    holiday_askari_martyrdom,  // 8 Rabi' al-awwal
    holiday_prophet_birth,     // 17 Rabi' al-awwal
    holiday_fatima_martyrdom,  // 3 Jumada al-thani
    holiday_ali_birth,         // 13 Rajab
    holiday_mabath,            // 27 Rajab
    holiday_mahdi_birth,       // 15 Sha'ban
    holiday_ali_martyrdom,     // 21 Ramadan
    holiday_fitr,              // 1 Shawwal
    holiday_fitr_second,       // 2 Shawwal
    holiday_sadiq_martyrdom,   // 25 Shawwal
    holiday_adha,              // 10 Dhu al-Hijja
    holiday_ghadir,            // 18 Dhu al-Hijja
    holiday_count
};
struct day_holidays {
    int count = 0;  // named holidays: a solar one, a lunar one, or both
    holiday_value names[2] = {holiday_none, holiday_none};  // solar first
    bool friday = false;
    bool rest_day() const { return count > 0 || friday; }
};
day_holidays iran_holidays(icaltimetype gregorian, int hijri_adjust);
// The official name in English, the message the catalogs translate; "" for
// holiday_none and values outside the list.
const char *holiday_name(holiday_value holiday);

// Moon phase code of a Gregorian day: 0 none, 1 new, 2 first quarter, 3 full, 4 last quarter.
// A phase marks the civil date on which it falls in local time (localtime of
// the process's TZ, which must not change while the process runs).
// Answers, the same whatever the earlier questions, for the days from
// lunar_jdn_min to lunar_jdn_max; other days answer 0 and leave the cache alone.
struct moon_phase_slot {
    int32_t phase;
    int32_t day;  // Julian day number the slot describes
};
constexpr int moon_phase_cache_size = 200;
extern moon_phase_slot moon_phase_cache[moon_phase_cache_size];
int moon_phase_of_day(icaltimetype date);
