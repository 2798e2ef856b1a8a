// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The Islamic calendar: the Umm al-Qura calendar from 1300 to 1600 AH (the
// table of calendar/umm_al_qura.inc), the arithmetic (civil) calendar before
// and after. The civil calendar of epoch day 1948440 (1 Muharram 1 =
// 622-07-16 Julian) starts 1300 and 1601 on the table's own days, so the two
// join without a month of other than 29 or 30 days.
//
// Civil rule: 30-year cycles of 10,631 days; year y is a leap year (355 days,
// Dhu al-Hijja of 30) when (14 + 11 y) mod 30 < 11; other months alternate 30
// and 29, Muharram 30. Years run on through 0 and below without a gap.
#include "calendar/calendar.h"

#include "calendar/range.h"

#include <array>
#include <cstdint>

namespace {

#include "calendar/umm_al_qura.inc"

constexpr int table_years = umm_al_qura_last_year - umm_al_qura_first_year + 1;
constexpr int64_t civil_epoch = 1948440;

constexpr int thirty_day_months(unsigned bits) {
    int n = 0;
    for (; bits != 0; bits &= bits - 1) ++n;
    return n;
}

// Day number of 1 Muharram of each table year, and of the year after the last.
constexpr std::array<int32_t, table_years + 1> table_year_starts() {
    std::array<int32_t, table_years + 1> starts{};
    starts[0] = umm_al_qura_first_day;
    for (int i = 0; i < table_years; ++i)
        starts[i + 1] = starts[i] + 348 + thirty_day_months(umm_al_qura_months[i]);
    return starts;
}
constexpr std::array<int32_t, table_years + 1> year_starts = table_year_starts();

bool in_table(int64_t year) {
    return year >= umm_al_qura_first_year && year <= umm_al_qura_last_year;
}

int64_t civil_year_start(int64_t year) {
    return civil_epoch + (year - 1) * 354 + floor_div(3 + 11 * year, 30);
}

int64_t year_start(int64_t year) {
    return in_table(year) ? year_starts[year - umm_al_qura_first_year] : civil_year_start(year);
}

// Day number of day 1 of month 1 to 12.
int64_t month_start(int64_t year, int64_t month) {
    if (!in_table(year)) return civil_year_start(year) + (59 * (month - 1) + 1) / 2;
    unsigned earlier =
        umm_al_qura_months[year - umm_al_qura_first_year] & ((1u << (month - 1)) - 1);
    return year_starts[year - umm_al_qura_first_year] + 29 * (month - 1) +
           thirty_day_months(earlier);
}

// Carries a month outside 1 to 12 into the year: returns the year, sets month.
int64_t normalise(int64_t year, int64_t &month) {
    int64_t carry = floor_div(month - 1, 12);
    month -= 12 * carry;
    return year + carry;
}

}  // namespace

int64_t islamic_to_jdn(int year, int month, int day) {
    int64_t m = month;
    int64_t y = normalise(year, m);
    return month_start(y, m) + day - 1;
}

void jdn_to_islamic(int64_t jdn, icaltimetype *dest) {
    // Clamped to 32 bits, about 5.8 million years either way: every product
    // below stays far inside 64 bits and the year fits an int.
    jdn = clamp_jdn(jdn);
    // The mean civil year is 10631/30 days; the estimate is off by at most one
    // year, in the table as outside it.
    int64_t year = floor_div(30 * (jdn - civil_epoch) + 10646, 10631);
    while (year_start(year) > jdn) --year;
    while (year_start(year + 1) <= jdn) ++year;
    int64_t month = 1;
    while (month < 12 && month_start(year, month + 1) <= jdn) ++month;
    dest->year = static_cast<int>(year);
    dest->month = static_cast<int>(month);
    dest->day = static_cast<int>(jdn - month_start(year, month) + 1);
    dest->hour = 0;
    dest->minute = 0;
    dest->second = 0;
}

int islamic_month_length(int month, int year) {
    int64_t m = month;
    int64_t y = normalise(year, m);
    int64_t next_m = m + 1;
    int64_t next_y = normalise(y, next_m);
    return static_cast<int>(month_start(next_y, next_m) - month_start(y, m));
}

void gregorian_to_islamic(icaltimetype date, icaltimetype *dest) {
    jdn_to_islamic(gregorian_to_jdn(date), dest);
}
