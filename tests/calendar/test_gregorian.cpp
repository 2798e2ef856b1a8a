// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "calendar/calendar.h"

#include "tests/calendar/dates.h"

#include <gtest/gtest.h>

TEST(gregorian, day_numbers_of_known_dates) {
    EXPECT_EQ(gregorian_to_jdn(ymd(2000, 1, 1)), 2451545);
    EXPECT_EQ(gregorian_to_jdn(ymd(1970, 1, 1)), 2440588);
    EXPECT_EQ(gregorian_to_jdn(ymd(1900, 1, 1)), 2415021);
    EXPECT_EQ(gregorian_to_jdn(ymd(2024, 3, 20)), 2460390);
    // Proleptic dates on both sides of the year 0.
    EXPECT_EQ(gregorian_to_jdn(ymd(1, 1, 1)), 1721426);
    EXPECT_EQ(gregorian_to_jdn(ymd(-4713, 11, 24)), 0);

    icaltimetype d = ymd(0, 0, 0);
    jdn_to_gregorian(2451545, &d);
    EXPECT_EQ(d.year, 2000);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
}

TEST(gregorian, conversion_writes_only_the_date) {
    icaltimetype d = icaltime_null_time();
    d.hour = 7;
    d.minute = 8;
    d.second = 9;
    d.is_date = 0;
    jdn_to_gregorian(2460390, &d);
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 20);
    EXPECT_EQ(d.hour, 7);
    EXPECT_EQ(d.minute, 8);
    EXPECT_EQ(d.second, 9);
    EXPECT_EQ(d.is_date, 0);
}

TEST(gregorian, day_outside_the_month_is_linear) {
    EXPECT_EQ(gregorian_to_jdn(ymd(2024, 1, 32)), gregorian_to_jdn(ymd(2024, 2, 1)));
    EXPECT_EQ(gregorian_to_jdn(ymd(2024, 3, 0)), gregorian_to_jdn(ymd(2024, 2, 29)));
    EXPECT_EQ(gregorian_to_jdn(ymd(2023, 1, 0)), gregorian_to_jdn(ymd(2022, 12, 31)));
}

TEST(gregorian, weekdays_count_from_tuesday) {
    EXPECT_EQ(weekday_of(ymd(2000, 1, 1)), 4);   // Saturday
    EXPECT_EQ(weekday_of(ymd(2024, 1, 1)), 6);   // Monday
    EXPECT_EQ(weekday_of(ymd(1970, 1, 1)), 2);   // Thursday
    EXPECT_EQ(weekday_of(ymd(2026, 12, 8)), 0);  // Tuesday
}

TEST(gregorian, month_lengths) {
    EXPECT_EQ(gregorian_month_length(2, 1900), 28);
    EXPECT_EQ(gregorian_month_length(2, 2000), 29);
    EXPECT_EQ(gregorian_month_length(2, 2024), 29);
    EXPECT_EQ(gregorian_month_length(2, 2023), 28);
    EXPECT_EQ(gregorian_month_length(2, 0), 29);
    EXPECT_EQ(gregorian_month_length(2, -100), 28);
    for (int year : {1, 1999, 2024}) EXPECT_EQ(gregorian_month_length(9, year), 30);
    for (int month : {12, 0, 13, -1, 1000})
        EXPECT_EQ(gregorian_month_length(month, 2024), 31) << month;
    int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(gregorian_month_length(month, 2023), lengths[month - 1]) << month;
}

TEST(gregorian, comparisons_look_at_the_day_only) {
    icaltimetype a = ymd(2024, 5, 6);
    EXPECT_TRUE(date_equal(a, a));
    EXPECT_FALSE(date_before(a, a));
    EXPECT_TRUE(date_on_or_after(a, a));

    icaltimetype b = a;
    b.hour = 23;
    b.is_date = 1;
    b.zone = icaltimezone_get_utc_timezone();
    EXPECT_TRUE(date_equal(a, b));
    EXPECT_FALSE(date_before(a, b));
    EXPECT_FALSE(date_before(b, a));

    EXPECT_TRUE(date_before(ymd(2023, 12, 31), ymd(2024, 1, 1)));
    EXPECT_FALSE(date_before(ymd(2024, 2, 1), ymd(2024, 1, 31)));
    EXPECT_TRUE(date_on_or_after(ymd(2024, 2, 1), ymd(2024, 1, 31)));
    EXPECT_TRUE(date_before(ymd(2024, 1, 31), ymd(2024, 2, 1)));
    EXPECT_FALSE(date_equal(ymd(2024, 1, 31), ymd(2024, 2, 31)));
    // Not normalised: (2024, 1, 32) is after (2024, 1, 31) but before February.
    EXPECT_TRUE(date_before(ymd(2024, 1, 31), ymd(2024, 1, 32)));
    EXPECT_TRUE(date_before(ymd(2024, 1, 32), ymd(2024, 2, 1)));
    EXPECT_TRUE(date_before(ymd(-1, 12, 31), ymd(0, 1, 1)));
}

// Every day from -4799 to 9999: the round trip holds, consecutive day numbers
// are consecutive dates and the weekday steps by one.
TEST(gregorian, sweep_round_trip_and_weekdays) {
    icaltimetype first = ymd(-4799, 1, 1);
    int32_t jdn = gregorian_to_jdn(first);
    int weekday = weekday_of(first);
    int failures = 0;
    for (int year = -4799; year <= 9999 && failures < 10; ++year) {
        for (int month = 1; month <= 12; ++month) {
            int n = gregorian_month_length(month, year);
            for (int day = 1; day <= n; ++day) {
                icaltimetype date = ymd(year, month, day);
                int32_t got = gregorian_to_jdn(date);
                icaltimetype back = ymd(0, 0, 0);
                jdn_to_gregorian(got, &back);
                int w = weekday_of(date);
                if (got != jdn || !date_equal(back, date) || (jdn > 0 && w != weekday)) {
                    ADD_FAILURE() << year << "-" << month << "-" << day << " jdn " << got
                                  << " expected " << jdn << " weekday " << w;
                    ++failures;
                }
                ++jdn;
                weekday = jdn > 0 ? (w + 1) % 7 : w;
            }
        }
    }
    EXPECT_EQ(jdn, gregorian_to_jdn(ymd(10000, 1, 1)));
}

// Years far beyond the 32-bit products still give defined, correct results.
TEST(gregorian, large_years_stay_defined) {
    EXPECT_EQ(gregorian_to_jdn(ymd(2000000, 1, 1)) - gregorian_to_jdn(ymd(1999999, 1, 1)), 365);
    EXPECT_EQ(gregorian_to_jdn(ymd(2147483647, 12, 31)), INT32_MAX);
    EXPECT_EQ(gregorian_to_jdn(ymd(-2147483647 - 1, 1, 1)), INT32_MIN);
    icaltimetype d = ymd(0, 0, 0);
    jdn_to_gregorian(INT64_MAX, &d);
    jdn_to_gregorian(INT64_MIN, &d);
    jdn_to_gregorian(INT32_MAX, &d);
    EXPECT_GT(d.year, 5000000);
    (void)weekday_of(ymd(INT32_MIN, INT32_MIN, INT32_MIN));
}
