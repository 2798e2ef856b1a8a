// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "calendar/calendar.h"

#include "tests/calendar/dates.h"

#include <gtest/gtest.h>

namespace {

icaltimetype persian_of(int32_t jdn) {
    icaltimetype d = icaltime_null_time();
    jdn_to_persian(jdn, &d);
    return d;
}

}  // namespace

TEST(persian, known_dates) {
    icaltimetype d = icaltime_null_time();
    gregorian_to_persian(ymd(2024, 3, 19), &d);
    expect_date(d, 1402, 12, 29);
    EXPECT_EQ(d.is_date, 1);
    gregorian_to_persian(ymd(2024, 3, 20), &d);
    expect_date(d, 1403, 1, 1);
    gregorian_to_persian(ymd(2024, 9, 21), &d);
    expect_date(d, 1403, 6, 31);
    gregorian_to_persian(ymd(2024, 9, 22), &d);
    expect_date(d, 1403, 7, 1);

    // 1403 is a leap year: 30 Esfand 1403 is 2025-03-20, and 1404 begins on
    // the 21st (the equinox fell at 12:31 in Tehran, after apparent noon).
    gregorian_to_persian(ymd(2025, 3, 20), &d);
    expect_date(d, 1403, 12, 30);
    gregorian_to_persian(ymd(2025, 3, 21), &d);
    expect_date(d, 1404, 1, 1);
    gregorian_to_persian(ymd(2026, 3, 20), &d);
    expect_date(d, 1404, 12, 29);
    gregorian_to_persian(ymd(2026, 3, 21), &d);
    expect_date(d, 1405, 1, 1);

    EXPECT_EQ(persian_to_jdn(1403, 1, 1), 2460390);
    EXPECT_EQ(persian_to_jdn(1, 1, 1), 1948320);
    EXPECT_EQ(persian_to_jdn(475, 1, 1), 2121445);
}

TEST(persian, conversion_keeps_the_time_of_day) {
    icaltimetype d = icaltime_null_time();
    d.hour = 5;
    d.minute = 6;
    d.second = 7;
    d.is_daylight = 1;
    jdn_to_persian(2460390, &d);
    expect_date(d, 1403, 1, 1);
    EXPECT_EQ(d.hour, 5);
    EXPECT_EQ(d.minute, 6);
    EXPECT_EQ(d.second, 7);
    EXPECT_EQ(d.is_daylight, 1);
    EXPECT_EQ(d.is_date, 1);
}

TEST(persian, month_lengths) {
    // 1399, 1403 and 1408 have 30 days in Esfand, the years between 29.
    for (int year = 1399; year <= 1408; ++year) {
        bool leap = year == 1399 || year == 1403 || year == 1408;
        EXPECT_EQ(persian_month_length(12, year), leap ? 30 : 29) << year;
    }
    for (int month = 1; month <= 6; ++month) EXPECT_EQ(persian_month_length(month, 1403), 31);
    for (int month = 7; month <= 11; ++month) EXPECT_EQ(persian_month_length(month, 1403), 30);
    EXPECT_EQ(persian_month_length(0, 1403), 31);
    EXPECT_EQ(persian_month_length(-5, 1403), 31);
    EXPECT_EQ(persian_month_length(13, 1399), 30);
    EXPECT_EQ(persian_month_length(13, 1400), 29);
}

TEST(persian, year_ends_and_years_before_one) {
    int32_t first_1399 = persian_to_jdn(1399, 1, 1);
    expect_date(persian_of(first_1399 + 365), 1399, 12, 30);
    expect_date(persian_of(first_1399 + 366), 1400, 1, 1);
    expect_date(persian_of(persian_to_jdn(1400, 1, 1) + 365), 1401, 1, 1);

    // The rule runs on through year 0 and below, with floored remainders.
    for (int year = -100; year <= 100; ++year) {
        int r = ((25 * year + 11) % 33 + 33) % 33;
        EXPECT_EQ(persian_to_jdn(year + 1, 1, 1) - persian_to_jdn(year, 1, 1), r < 8 ? 366 : 365)
            << year;
    }
    expect_date(persian_of(persian_to_jdn(1, 1, 1) - 1), 0, 12, 29);
    expect_date(persian_of(persian_to_jdn(-40, 7, 3)), -40, 7, 3);
}

TEST(persian, day_outside_the_month_is_linear) {
    EXPECT_EQ(persian_to_jdn(1403, 1, 32), persian_to_jdn(1403, 2, 1));
    EXPECT_EQ(persian_to_jdn(1403, 8, 0), persian_to_jdn(1403, 7, 30));
}

// Every day from 475 to 3000: consecutive day numbers are consecutive Persian
// dates, each converts back to its day number, and the leap years are those
// of the 33-year rule.
TEST(persian, sweep_round_trip_and_consecutive_days) {
    int32_t jdn = persian_to_jdn(475, 1, 1);
    int failures = 0;
    for (int year = 475; year <= 3000 && failures < 10; ++year) {
        bool leap = (25 * year + 11) % 33 < 8;
        int esfand = persian_month_length(12, year);
        if (esfand != (leap ? 30 : 29)) {
            ADD_FAILURE() << "year " << year << " Esfand " << esfand;
            ++failures;
        }
        for (int month = 1; month <= 12; ++month) {
            int n = month <= 6 ? 31 : month <= 11 ? 30 : esfand;
            for (int day = 1; day <= n; ++day, ++jdn) {
                icaltimetype d = persian_of(jdn);
                if (d.year != year || d.month != month || d.day != day ||
                    persian_to_jdn(year, month, day) != jdn) {
                    ADD_FAILURE() << "jdn " << jdn << " gives " << d.year << "-" << d.month << "-"
                                  << d.day << ", expected " << year << "-" << month << "-" << day;
                    ++failures;
                }
            }
        }
    }
    EXPECT_EQ(jdn, persian_to_jdn(3001, 1, 1));
}

TEST(persian, extreme_arguments_stay_defined) {
    // Round trips at both ends of the day numbers.
    for (int32_t jdn : {INT32_MIN, INT32_MIN + 1, -1, 0, INT32_MAX - 1, INT32_MAX}) {
        icaltimetype d = persian_of(jdn);
        EXPECT_EQ(persian_to_jdn(d.year, d.month, d.day), jdn);
    }
    EXPECT_EQ(persian_to_jdn(INT32_MAX, 12, 31), INT32_MAX);
    EXPECT_EQ(persian_to_jdn(INT32_MIN, 1, 1), INT32_MIN);
    (void)persian_month_length(12, INT32_MAX);
    (void)persian_month_length(12, INT32_MIN);
    (void)persian_to_jdn(1403, INT32_MAX, INT32_MAX);
}
