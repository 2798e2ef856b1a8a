// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "calendar/calendar.h"

#include "tests/calendar/dates.h"

#include <gtest/gtest.h>

namespace {

icaltimetype gregorian_of(int kind, int year, int month, int day) {
    icaltimetype g = icaltime_null_time();
    to_gregorian(kind, ymd(year, month, day), &g);
    return g;
}

}  // namespace

TEST(month, to_gregorian_of_each_kind) {
    icaltimetype src = ymd(1403, 1, 1);
    src.hour = 9;
    src.minute = 10;
    src.second = 11;
    icaltimetype dest = icaltime_null_time();
    dest.hour = 1;
    dest.is_date = 1;
    dest.is_daylight = 1;
    to_gregorian(calendar_persian, src, &dest);
    expect_date(dest, 2024, 3, 20);
    EXPECT_EQ(dest.hour, 0);
    EXPECT_EQ(dest.minute, 0);
    EXPECT_EQ(dest.second, 0);
    EXPECT_EQ(dest.is_date, 1);  // not written
    EXPECT_EQ(dest.is_daylight, 1);

    to_gregorian(calendar_islamic, ymd(1445, 9, 1), &dest);
    expect_date(dest, 2024, 3, 11);
    EXPECT_EQ(dest.hour, 0);

    icaltimetype g = ymd(2024, 5, 6);
    g.hour = 7;
    g.minute = 8;
    g.second = 9;
    g.is_date = 0;
    g.zone = icaltimezone_get_utc_timezone();
    to_gregorian(calendar_gregorian, g, &dest);
    EXPECT_EQ(icaltime_compare(dest, g), 0);
    EXPECT_EQ(dest.hour, 7);
    EXPECT_EQ(dest.is_date, 0);
    EXPECT_EQ(dest.zone, g.zone);

    // The day is not validated in either calendar.
    EXPECT_TRUE(date_equal(gregorian_of(calendar_persian, 1403, 1, 32),
                           gregorian_of(calendar_persian, 1403, 2, 1)));
    EXPECT_TRUE(date_equal(gregorian_of(calendar_islamic, 1445, 9, 0),
                           gregorian_of(calendar_islamic, 1445, 8, 29)));
}

TEST(month, days_in_month_of_each_kind) {
    EXPECT_EQ(days_in_month(2, 2024, calendar_gregorian), 29);
    EXPECT_EQ(days_in_month(12, 2024, calendar_gregorian), 31);
    EXPECT_EQ(days_in_month(12, 1399, calendar_persian), 30);
    EXPECT_EQ(days_in_month(12, 1402, calendar_persian), 29);
    EXPECT_EQ(days_in_month(12, 1403, calendar_persian), 30);
    EXPECT_EQ(days_in_month(12, 1404, calendar_persian), 29);
    EXPECT_EQ(days_in_month(3, 1445, calendar_islamic), 30);
    EXPECT_EQ(days_in_month(8, 1445, calendar_islamic), 29);
    EXPECT_EQ(days_in_month(12, 1441, calendar_islamic), 29);
}

TEST(month, supported_ranges_lie_in_the_gregorian_window) {
    for (int kind : {calendar_gregorian, calendar_persian, calendar_islamic}) {
        int lo = calendar_year_min(kind), hi = calendar_year_max(kind);
        icaltimetype first = gregorian_of(kind, lo, 1, 1);
        icaltimetype last = gregorian_of(kind, hi, 12, days_in_month(12, hi, kind));
        EXPECT_GE(first.year, gregorian_year_min) << kind;
        EXPECT_LE(last.year, gregorian_year_max) << kind;
    }
    // The ranges are as wide as the window allows (the Persian one starts
    // later, in 1096).
    EXPECT_LT(gregorian_of(calendar_islamic, islamic_year_min - 1, 1, 1).year, gregorian_year_min);
    EXPECT_GT(gregorian_of(calendar_islamic, islamic_year_max + 1, 12, 1).year, gregorian_year_max);
    EXPECT_GT(gregorian_of(calendar_persian, persian_year_max + 1, 12, 1).year, gregorian_year_max);
    EXPECT_EQ(persian_to_jdn(persian_year_min, 1, 1), 2121445);
}

namespace {

// Walks every month of a calendar from (first, 1) to (last, 12): the days
// 1 to days_in_month are consecutive Gregorian days, and day 1 of the next
// month follows the last of them.
void sweep_months(int kind, int first, int last) {
    int32_t expected = gregorian_to_jdn(gregorian_of(kind, first, 1, 1));
    int failures = 0;
    for (int year = first; year <= last && failures < 10; ++year) {
        for (int month = 1; month <= 12; ++month) {
            int n = days_in_month(month, year, kind);
            for (int day = 1; day <= n; ++day, ++expected) {
                int32_t got = gregorian_to_jdn(gregorian_of(kind, year, month, day));
                if (got != expected) {
                    ADD_FAILURE() << "kind " << kind << " " << year << "-" << month << "-" << day
                                  << " is day " << got << ", expected " << expected;
                    ++failures;
                    expected = got;
                }
            }
        }
    }
    EXPECT_EQ(gregorian_to_jdn(gregorian_of(kind, last + 1, 1, 1)), expected);
}

}  // namespace

TEST(month, sweep_persian_months) { sweep_months(calendar_persian, 475, 3000); }

TEST(month, sweep_islamic_months) {
    sweep_months(calendar_islamic, islamic_year_min - 1, islamic_year_max + 1);
}
