// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The Islamic calendar, in two settings that differ in which months they
// keep:
//   - Umm al-Qura: the table of calendar/umm_al_qura.inc from 1300 to 1600 AH;
//   - Iran: the table of calendar/iran_hijri.inc, the months Iran observed
//     from 1265/1 to 1447/10 AH and, after them, the months the crescent rule
//     of tools/iran-hijri predicts, to the end of 2451 AH.
// Outside its table each setting keeps the arithmetic (civil) calendar of
// epoch day 1948440 (1 Muharram 1 = 622-07-16 Julian). The civil calendar
// starts 1300 and 1601 on the Umm al-Qura table's own days, so the two join
// without a month of other than 29 or 30 days. Before Iran's table, Iran's
// setting is the Umm al-Qura setting's civil calendar, whose 1264/12 lasts
// until the table's first day (30 days instead of 29); after it, the civil
// calendar moved by the few days it lies off the table's end, so that every
// month there has 29 or 30 days.
//
// Civil rule: 30-year cycles of 10,631 days; year y is a leap year (355 days,
// Dhu al-Hijja of 30) when (14 + 11 y) mod 30 < 11; other months alternate 30
// and 29, Muharram 30. Years run on through 0 and below without a gap.
#include "calendar/calendar.h"

#include "calendar/range.h"

#include <array>
#include <cstdint>

namespace {

#include "calendar/iran_hijri.inc"
#include "calendar/umm_al_qura.inc"

constexpr int64_t civil_epoch = 1948440;

constexpr int64_t civil_year_start(int64_t year) {
    return civil_epoch + (year - 1) * 354 + floor_div(3 + 11 * year, 30);
}

constexpr int thirty_day_months(unsigned bits) {
    int n = 0;
    for (; bits != 0; bits &= bits - 1) ++n;
    return n;
}

// Day number of 1 Muharram of each table year, and of the year after the last.
template <int years>
constexpr std::array<int32_t, years + 1> table_year_starts(int32_t first_day,
                                                           const uint16_t (&months)[years]) {
    std::array<int32_t, years + 1> starts{};
    starts[0] = first_day;
    for (int i = 0; i < years; ++i) starts[i + 1] = starts[i] + 348 + thirty_day_months(months[i]);
    return starts;
}

constexpr int uq_years = umm_al_qura_last_year - umm_al_qura_first_year + 1;
constexpr int iran_years = iran_hijri_last_year - iran_hijri_first_year + 1;
constexpr std::array<int32_t, uq_years + 1> uq_starts =
    table_year_starts<uq_years>(umm_al_qura_first_day, umm_al_qura_months);
constexpr std::array<int32_t, iran_years + 1> iran_starts =
    table_year_starts<iran_years>(iran_hijri_first_day, iran_hijri_months);

// One setting: its table, and how far the civil calendar after it is moved.
struct month_table {
    int first_year;
    int last_year;
    const uint16_t *months;
    const int32_t *year_starts;
    int64_t shift_after;  // days added to civil dates after the table
};

constexpr month_table tables[2] = {
    {umm_al_qura_first_year, umm_al_qura_last_year, umm_al_qura_months, uq_starts.data(),
     uq_starts[uq_years] - civil_year_start(umm_al_qura_last_year + 1)},
    {iran_hijri_first_year, iran_hijri_last_year, iran_hijri_months, iran_starts.data(),
     iran_starts[iran_years] - civil_year_start(iran_hijri_last_year + 1)},
};

// The Umm al-Qura table meets the civil calendar at both ends; Iran's starts
// a day after the civil year, so that the civil month before it has 30 days.
static_assert(uq_starts[0] == civil_year_start(umm_al_qura_first_year));
static_assert(uq_starts[uq_years] == civil_year_start(umm_al_qura_last_year + 1));
static_assert(iran_starts[0] - civil_year_start(iran_hijri_first_year) == 1);

const month_table &table_of(int hijri) { return tables[hijri == hijri_iran ? 1 : 0]; }

int64_t year_start(const month_table &t, int64_t year) {
    if (year < t.first_year) return civil_year_start(year);
    if (year > t.last_year) return civil_year_start(year) + t.shift_after;
    return t.year_starts[year - t.first_year];
}

// Day number of day 1 of month 1 to 12.
int64_t month_start(const month_table &t, int64_t year, int64_t month) {
    if (year < t.first_year) return civil_year_start(year) + (59 * (month - 1) + 1) / 2;
    if (year > t.last_year)
        return civil_year_start(year) + t.shift_after + (59 * (month - 1) + 1) / 2;
    unsigned earlier = t.months[year - t.first_year] & ((1u << (month - 1)) - 1);
    return t.year_starts[year - t.first_year] + 29 * (month - 1) + thirty_day_months(earlier);
}

// Carries a month outside 1 to 12 into the year: returns the year, sets month.
int64_t normalise(int64_t year, int64_t &month) {
    int64_t carry = floor_div(month - 1, 12);
    month -= 12 * carry;
    return year + carry;
}

}  // namespace

int64_t islamic_to_jdn(int year, int month, int day, int hijri) {
    int64_t m = month;
    int64_t y = normalise(year, m);
    return month_start(table_of(hijri), y, m) + day - 1;
}

void jdn_to_islamic(int64_t jdn, icaltimetype *dest, int hijri) {
    const month_table &t = table_of(hijri);
    // Clamped to 32 bits, about 5.8 million years either way: every product
    // below stays far inside 64 bits and the year fits an int.
    jdn = clamp_jdn(jdn);
    // The mean civil year is 10631/30 days; the estimate is off by at most one
    // year, in the tables as outside them.
    int64_t year = floor_div(30 * (jdn - civil_epoch) + 10646, 10631);
    while (year_start(t, year) > jdn) --year;
    while (year_start(t, year + 1) <= jdn) ++year;
    int64_t month = 1;
    while (month < 12 && month_start(t, year, month + 1) <= jdn) ++month;
    dest->year = static_cast<int>(year);
    dest->month = static_cast<int>(month);
    dest->day = static_cast<int>(jdn - month_start(t, year, month) + 1);
    dest->hour = 0;
    dest->minute = 0;
    dest->second = 0;
}

int islamic_month_length(int month, int year, int hijri) {
    const month_table &t = table_of(hijri);
    int64_t m = month;
    int64_t y = normalise(year, m);
    int64_t next_m = m + 1;
    int64_t next_y = normalise(y, next_m);
    return static_cast<int>(month_start(t, next_y, next_m) - month_start(t, y, m));
}

void gregorian_to_islamic(icaltimetype date, icaltimetype *dest, int hijri) {
    jdn_to_islamic(gregorian_to_jdn(date), dest, hijri);
}
