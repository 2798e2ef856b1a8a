// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The Islamic calendar against ICU's islamic-umalqura calendar: the Umm
// al-Qura table from 1300 to 1600 AH and, outside it, the civil calendar that
// ICU uses there too.
#include "calendar/calendar.h"

#include <gtest/gtest.h>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <memory>

namespace {

constexpr int64_t unix_epoch_jdn = 2440588;  // 1970-01-01
constexpr double ms_per_day = 86400000.0;

std::unique_ptr<icu::Calendar> umm_al_qura() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(icu::Calendar::createInstance(
        icu::TimeZone::createTimeZone("GMT"), icu::Locale("en@calendar=islamic-umalqura"), status));
    if (U_FAILURE(status)) return nullptr;
    return cal;
}

// Day number of day 1 of a month, as ICU places it.
int64_t icu_month_start(icu::Calendar &cal, int year, int month) {
    cal.clear();
    cal.set(UCAL_EXTENDED_YEAR, year);
    cal.set(UCAL_MONTH, month - 1);
    cal.set(UCAL_DATE, 1);
    UErrorCode status = U_ZERO_ERROR;
    double ms = cal.getTime(status);
    EXPECT_TRUE(U_SUCCESS(status)) << year << "-" << month;
    return static_cast<int64_t>(ms / ms_per_day) + unix_epoch_jdn;
}

}  // namespace

// Every day of the table's years, both ways.
TEST(islamic_icu, every_day_of_1300_to_1600_agrees) {
    std::unique_ptr<icu::Calendar> cal = umm_al_qura();
    ASSERT_NE(cal, nullptr);
    ASSERT_STREQ(cal->getType(), "islamic-umalqura");
    int64_t first = islamic_to_jdn(1300, 1, 1);
    int64_t end = islamic_to_jdn(1601, 1, 1);
    EXPECT_EQ(end - first, 106665);  // 1882-11-12 to 2174-11-25
    int failures = 0;
    for (int64_t jdn = first; jdn < end && failures < 10; ++jdn) {
        UErrorCode status = U_ZERO_ERROR;
        cal->setTime(static_cast<double>(jdn - unix_epoch_jdn) * ms_per_day, status);
        int year = cal->get(UCAL_EXTENDED_YEAR, status);
        int month = cal->get(UCAL_MONTH, status) + 1;
        int day = cal->get(UCAL_DATE, status);
        ASSERT_TRUE(U_SUCCESS(status)) << jdn;
        icaltimetype d = icaltime_null_time();
        jdn_to_islamic(jdn, &d);
        if (d.year != year || d.month != month || d.day != day ||
            islamic_to_jdn(year, month, day) != jdn) {
            ADD_FAILURE() << "day " << jdn << ": " << d.year << "-" << d.month << "-" << d.day
                          << ", ICU " << year << "-" << month << "-" << day;
            ++failures;
        }
    }
}

// Every month of the navigable years, and one year beyond each end: the same
// first day and the same length. Within a month the days follow from these
// (the invariant sweeps of test_islamic.cpp).
TEST(islamic_icu, every_navigable_month_agrees) {
    std::unique_ptr<icu::Calendar> cal = umm_al_qura();
    ASSERT_NE(cal, nullptr);
    int failures = 0;
    for (int year = islamic_year_min - 1; year <= islamic_year_max + 1 && failures < 10; ++year)
        for (int month = 1; month <= 12; ++month) {
            int64_t start = icu_month_start(*cal, year, month);
            int64_t next = icu_month_start(*cal, month == 12 ? year + 1 : year, month % 12 + 1);
            if (islamic_to_jdn(year, month, 1) != start ||
                islamic_month_length(month, year) != next - start) {
                ADD_FAILURE() << year << "-" << month << ": starts "
                              << islamic_to_jdn(year, month, 1) << ", "
                              << islamic_month_length(month, year) << " days; ICU " << start << ", "
                              << next - start;
                ++failures;
            }
        }
}
