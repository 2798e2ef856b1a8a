// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "calendar/calendar.h"

#include "tests/calendar/dates.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

namespace {

icaltimetype islamic_of(int64_t jdn, int hijri = hijri_umm_al_qura) {
    icaltimetype d = icaltime_null_time();
    jdn_to_islamic(jdn, &d, hijri);
    return d;
}

constexpr int both_settings[] = {hijri_umm_al_qura, hijri_iran};

icaltimetype islamic_of(icaltimetype gregorian, int hijri = hijri_umm_al_qura) {
    return islamic_of(gregorian_to_jdn(gregorian), hijri);
}

}  // namespace

TEST(islamic, known_dates) {
    expect_date(islamic_of(ymd(2024, 3, 10)), 1445, 8, 29);
    expect_date(islamic_of(ymd(2024, 3, 11)), 1445, 9, 1);
    expect_date(islamic_of(ymd(2024, 7, 7)), 1446, 1, 1);
    EXPECT_EQ(islamic_to_jdn(1405, 1, 1), gregorian_to_jdn(ymd(1984, 9, 26)));
}

// First days of months as Saudi Arabia published them, both ways.
TEST(islamic, published_umm_al_qura_dates) {
    struct {
        int year, month;
        icaltimetype gregorian;
    } cases[] = {
        {1445, 9, ymd(2024, 3, 11)}, {1445, 10, ymd(2024, 4, 10)}, {1446, 1, ymd(2024, 7, 7)},
        {1447, 9, ymd(2026, 2, 18)}, {1447, 10, ymd(2026, 3, 20)},
    };
    for (auto c : cases) {
        EXPECT_EQ(islamic_to_jdn(c.year, c.month, 1), gregorian_to_jdn(c.gregorian))
            << c.year << "-" << c.month;
        expect_date(islamic_of(c.gregorian), c.year, c.month, 1);
    }
    // Ramadan 1447 has 30 days: Eid al-Fitr is on 20 March 2026.
    EXPECT_EQ(islamic_month_length(9, 1447), 30);
}

TEST(islamic, conversion_writes_date_and_clears_time) {
    icaltimetype d = icaltime_null_time();
    d.hour = 13;
    d.minute = 14;
    d.second = 15;
    d.is_date = 1;
    d.is_daylight = 1;
    gregorian_to_islamic(ymd(2024, 7, 7), &d);
    expect_date(d, 1446, 1, 1);
    EXPECT_EQ(d.hour, 0);
    EXPECT_EQ(d.minute, 0);
    EXPECT_EQ(d.second, 0);
    EXPECT_EQ(d.is_date, 1);
    EXPECT_EQ(d.is_daylight, 1);
}

TEST(islamic, month_lengths) {
    int lengths_1445[] = {29, 30, 30, 30, 29, 30, 29, 29, 30, 29, 29, 30};
    int total = 0;
    for (int month = 1; month <= 12; ++month) {
        EXPECT_EQ(islamic_month_length(month, 1445), lengths_1445[month - 1]) << month;
        total += islamic_month_length(month, 1445);
    }
    EXPECT_EQ(total, 354);
    EXPECT_EQ(islamic_month_length(12, 1441), 29);
    // Months outside 1 to 12 carry into the year.
    EXPECT_EQ(islamic_month_length(13, 1444), islamic_month_length(1, 1445));
    EXPECT_EQ(islamic_month_length(0, 1446), islamic_month_length(12, 1445));
    EXPECT_EQ(islamic_to_jdn(1445, 13, 1), islamic_to_jdn(1446, 1, 1));
    EXPECT_EQ(islamic_to_jdn(1445, -11, 1), islamic_to_jdn(1444, 1, 1));
}

TEST(islamic, years_run_on_through_zero) {
    int64_t first = islamic_to_jdn(1, 1, 1);
    EXPECT_EQ(first, gregorian_to_jdn(ymd(622, 7, 19)));  // 622-07-16 Julian
    expect_date(islamic_of(first - 1), 0, 12, 29);
    expect_date(islamic_of(islamic_to_jdn(-24, 10, 7)), -24, 10, 7);
    EXPECT_EQ(islamic_of(ymd(600, 1, 1)).year, -23);
}

// Every month of every navigable year, and the years just outside, has 29 or
// 30 days, the table's years and the arithmetic ones alike.
TEST(islamic, every_month_has_29_or_30_days) {
    for (int hijri : both_settings) {
        int count[31] = {};
        for (int year = islamic_year_min - 1; year <= islamic_year_max + 1; ++year)
            for (int month = 1; month <= 12; ++month) {
                int n = islamic_month_length(month, year, hijri);
                ASSERT_TRUE(n == 29 || n == 30) << hijri << ": " << year << "-" << month;
                ++count[n];
            }
        EXPECT_EQ(count[29] + count[30], 12 * (islamic_year_max - islamic_year_min + 3));
    }
}

// Every day from Gregorian 1000 to 3000: consecutive day numbers are
// consecutive Islamic dates, months end at islamic_month_length, and every
// date converts back to its day number.
TEST(islamic, sweep_round_trip_and_consecutive_days) {
    for (int hijri : both_settings) {
        int64_t first = gregorian_to_jdn(ymd(1000, 1, 1));
        int64_t last = gregorian_to_jdn(ymd(3000, 12, 31));
        icaltimetype prev = islamic_of(first - 1, hijri);
        int failures = 0;
        for (int64_t jdn = first; jdn <= last && failures < 10; ++jdn) {
            icaltimetype d = islamic_of(jdn, hijri);
            bool next_day = d.year == prev.year && d.month == prev.month && d.day == prev.day + 1;
            bool next_month = d.day == 1 &&
                              prev.day == islamic_month_length(prev.month, prev.year, hijri) &&
                              (d.month == prev.month + 1
                                   ? d.year == prev.year
                                   : d.month == 1 && prev.month == 12 && d.year == prev.year + 1);
            if (!(next_day || next_month) || islamic_to_jdn(d.year, d.month, d.day, hijri) != jdn) {
                ADD_FAILURE() << "setting " << hijri << ": jdn " << jdn << " gives " << d.year
                              << "-" << d.month << "-" << d.day << " after " << prev.year << "-"
                              << prev.month << "-" << prev.day;
                ++failures;
            }
            prev = d;
        }
    }
}

// Iran's setting against the months Iran observed, every day from the
// table's first month to the first day of its last, and the Umm al-Qura
// setting's civil calendar up to the day before it.
TEST(islamic, iran_every_day_of_the_observed_table) {
    FILE *f = std::fopen(IRAN_HIJRI_TABLE, "r");
    ASSERT_NE(f, nullptr) << IRAN_HIJRI_TABLE;
    char line[256];
    int64_t expected_next = -1, months = 0, first_day = 0;
    int year = 0, month = 0, gy = 0, gm = 0, gd = 0;
    while (std::fgets(line, sizeof line, f)) {
        const char *p = line[0] == '*' ? line + 1 : line;
        ASSERT_EQ(std::sscanf(p, "%d/%d %d-%d-%d", &year, &month, &gy, &gm, &gd), 5) << line;
        int64_t start = gregorian_to_jdn(ymd(gy, gm, gd));
        if (expected_next >= 0) {
            EXPECT_EQ(start, expected_next) << "month before " << line;
        }
        if (months == 0) first_day = start;
        int length = islamic_month_length(month, year, hijri_iran);
        EXPECT_EQ(islamic_to_jdn(year, month, 1, hijri_iran), start) << line;
        for (int day = 1; day <= length; ++day)
            ASSERT_TRUE(date_equal(islamic_of(start + day - 1, hijri_iran), ymd(year, month, day)))
                << line << " day " << day;
        expected_next = start + length;
        ++months;
    }
    std::fclose(f);
    EXPECT_EQ(months, 2194);
    EXPECT_EQ(year * 12 + month, 1447 * 12 + 10);
    for (int64_t jdn = first_day - 400; jdn < first_day - 1; ++jdn)
        ASSERT_TRUE(date_equal(islamic_of(jdn, hijri_iran), islamic_of(jdn))) << jdn;
    // The civil 1264/12 of 29 days runs on to the table's first day.
    expect_date(islamic_of(first_day - 1, hijri_iran), 1264, 12, 30);
}

TEST(islamic, extreme_arguments_stay_defined) {
    // Clamped to 32 bits; the dates at both ends convert back.
    for (int64_t jdn : {int64_t{INT32_MIN}, int64_t{-1}, int64_t{0}, int64_t{INT32_MAX}}) {
        icaltimetype d = islamic_of(jdn);
        EXPECT_EQ(islamic_to_jdn(d.year, d.month, d.day), jdn);
    }
    EXPECT_TRUE(date_equal(islamic_of(INT64_MIN), islamic_of(int64_t{INT32_MIN})));
    EXPECT_TRUE(date_equal(islamic_of(INT64_MAX), islamic_of(int64_t{INT32_MAX})));
    (void)islamic_to_jdn(INT32_MAX, INT32_MAX, INT32_MAX);
    (void)islamic_to_jdn(INT32_MIN, INT32_MIN, INT32_MIN);
    for (int n : {islamic_month_length(12, INT32_MAX), islamic_month_length(INT32_MIN, INT32_MIN),
                  islamic_month_length(INT32_MAX, INT32_MAX)})
        EXPECT_TRUE(n == 29 || n == 30) << n;
    for (int64_t jdn : {int64_t{INT32_MIN}, int64_t{INT32_MAX}}) {
        icaltimetype d = islamic_of(jdn, hijri_iran);
        EXPECT_EQ(islamic_to_jdn(d.year, d.month, d.day, hijri_iran), jdn);
    }
}
