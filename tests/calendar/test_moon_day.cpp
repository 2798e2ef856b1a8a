// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "calendar/calendar.h"

#include "tests/calendar/dates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

void clear_cache() { std::memset(moon_phase_cache, 0, sizeof moon_phase_cache); }

// The program fixes its zone for life; a test that changes it starts afresh.
void use_zone(const char *zone) {
    setenv("TZ", zone, 1);
    tzset();
    clear_cache();
}

// Day of a phase in UTC: the Julian date's day turns at midnight UT.
int64_t phase_day(int64_t k, int p) {
    return static_cast<int64_t>(std::floor(moon_phase_jd(k, p) + 0.5));
}

std::vector<int> month_of_phases(int year, int month) {
    std::vector<int> codes;
    for (int day = 1; day <= gregorian_month_length(month, year); ++day)
        codes.push_back(moon_phase_of_day(ymd(year, month, day)));
    return codes;
}

}  // namespace

TEST(moon_day, phases_of_early_2024) {
    use_zone("UTC");
    std::vector<int> january(31, 0);
    january[4 - 1] = 4;   // 03:30 UT
    january[11 - 1] = 1;  // 11:57 UT
    january[18 - 1] = 2;  // 03:52 UT
    january[25 - 1] = 3;
    EXPECT_EQ(month_of_phases(2024, 1), january);

    std::vector<int> february(29, 0);
    february[2 - 1] = 4;  // 23:18 UT
    february[9 - 1] = 1;  // 22:59 UT
    february[16 - 1] = 2;
    february[24 - 1] = 3;
    EXPECT_EQ(month_of_phases(2024, 2), february);
    EXPECT_EQ(moon_phase_of_day(ymd(2024, 3, 25)), 3);  // 07:00 UT

    // Three and a half hours ahead, the two late phases of February move on a day.
    use_zone("Asia/Tehran");
    february[2 - 1] = 0;
    february[3 - 1] = 4;
    february[9 - 1] = 0;
    february[10 - 1] = 1;
    EXPECT_EQ(month_of_phases(2024, 2), february);

    // Six hours behind, the early last quarter and first quarter of January
    // (03:30 and 03:52 UT) fall a day earlier.
    use_zone("America/Chicago");
    january[3 - 1] = 4;
    january[4 - 1] = 0;
    january[17 - 1] = 2;
    january[18 - 1] = 0;
    EXPECT_EQ(month_of_phases(2024, 1), january);
    use_zone("UTC");
}

TEST(moon_day, answers_from_the_cache) {
    use_zone("UTC");
    int32_t full = gregorian_to_jdn(ymd(2024, 1, 25));
    EXPECT_EQ(moon_phase_of_day(ymd(2024, 1, 25)), 3);
    // Filled by the first question: the next day's answer is already there.
    const moon_phase_slot &before = moon_phase_cache[(full - 1) % moon_phase_cache_size];
    EXPECT_EQ(before.day, full - 1);
    EXPECT_EQ(moon_phase_of_day(ymd(2024, 1, 24)), 0);

    // A slot that describes a day 200 days earlier is computed afresh.
    icaltimetype later = icaltime_null_time();
    jdn_to_gregorian(full + 200, &later);
    int expected = 0;
    for (int64_t k = 1534; k < 1545; ++k)
        for (int p = 0; p < 4; ++p)
            if (phase_day(k, p) == full + 200) expected = p + 1;
    EXPECT_EQ(moon_phase_of_day(later), expected);
    EXPECT_EQ(moon_phase_cache[full % moon_phase_cache_size].day, full + 200);

    // A slot that describes the day is the answer, phase 0 included.
    moon_phase_cache[full % moon_phase_cache_size] = {0, full};
    EXPECT_EQ(moon_phase_of_day(ymd(2024, 1, 25)), 0);
    clear_cache();
    EXPECT_EQ(moon_phase_of_day(ymd(2024, 1, 25)), 3);
}

TEST(moon_day, days_outside_the_range_have_no_phase) {
    use_zone("UTC");
    for (icaltimetype d : {ymd(0, 12, 31), ymd(6001, 1, 1), ymd(-4713, 11, 24), ymd(-20000, 1, 1),
                           ymd(INT32_MAX, 12, 31), ymd(INT32_MIN, 1, 1),
                           ymd(2024, INT32_MAX, INT32_MIN), ymd(INT32_MIN, INT32_MAX, INT32_MAX)})
        EXPECT_EQ(moon_phase_of_day(d), 0);
    for (const moon_phase_slot &slot : moon_phase_cache) ASSERT_EQ(slot.day, 0);
    // Both ends of the range answer.
    (void)moon_phase_of_day(ymd(1, 1, 1));
    (void)moon_phase_of_day(ymd(6000, 12, 31));
}

// Every day from 1900 to 2100, asked in order, in reverse and at random: the
// answer is the phase whose day it is, or 0, whatever came before.
TEST(moon_day, sweep_order_does_not_matter) {
    use_zone("UTC");
    int32_t first = gregorian_to_jdn(ymd(1900, 1, 1));
    int32_t last = gregorian_to_jdn(ymd(2100, 12, 31));
    std::vector<int> expected(last - first + 1, 0);
    for (int64_t k = -2; k <= 2500; ++k)
        for (int p = 0; p < 4; ++p) {
            int64_t d = phase_day(k, p);
            if (d >= first && d <= last) expected[d - first] = p + 1;
        }

    std::vector<int32_t> order(expected.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = first + static_cast<int32_t>(i);
    std::vector<int32_t> reversed(order.rbegin(), order.rend());
    std::vector<int32_t> shuffled = order;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(20261209));

    for (const auto *days : {&order, &reversed, &shuffled}) {
        clear_cache();
        int failures = 0;
        for (int32_t j : *days) {
            icaltimetype date = icaltime_null_time();
            jdn_to_gregorian(j, &date);
            int got = moon_phase_of_day(date);
            if (got != expected[j - first] && ++failures <= 10)
                ADD_FAILURE() << "day " << j << ": " << got << ", expected " << expected[j - first];
        }
        EXPECT_EQ(failures, 0);
    }
}

// The lunation estimate of the moon cache lies at or above the lunation that
// its downward search seeks, for every day of Gregorian 1 to 6000. A zone
// ahead of UTC moves phase days later and the sought lunation down, so UTC-12
// is the closest case.
TEST(moon_day, sweep_estimate_lies_above_the_sought_lunation) {
    int64_t moon_k = -23500;  // before year 1
    int worst = 0;            // largest excess within 1000 to 3000
    int failures = 0;
    for (int year = 1; year <= 6000 && failures < 10; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= gregorian_month_length(month, year); ++day) {
                int64_t j = gregorian_to_jdn(ymd(year, month, day));
                // The day of a new moon at UTC-12.
                while (std::floor(moon_phase_jd(moon_k + 1, 0)) <= static_cast<double>(j)) ++moon_k;
                double x = (month - 1) / 12.0 + year + day / 365.0 - 1900;
                int64_t estimate = static_cast<int64_t>(x * 12.3685 + 1);
                if (estimate < moon_k) {
                    ADD_FAILURE() << year << "-" << month << "-" << day;
                    ++failures;
                }
                if (year >= 1000 && year <= 3000)
                    worst = std::max(worst, static_cast<int>(estimate - moon_k));
            }
    EXPECT_LE(worst, 3);
}

// Every principal phase of 1990 to 2040 from PyEphem (the reference table of
// the lunar tests) marks its own local date, in three zones: UTC, Tehran
// (+03:30, +04:30 in summer until 2022) and Chicago (-06:00, -05:00). Phases
// within ten minutes of local midnight are left out: the formulas may put
// them on either side.
TEST(moon_day, phases_fall_on_their_local_day) {
    std::ifstream in(CALENDAR_TEST_DATA "/moon_phases_1900_2100.txt");
    ASSERT_TRUE(in) << "reference table missing";
    std::vector<std::pair<int, double>> phases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int phase;
        double jd;
        ASSERT_TRUE(fields >> phase >> jd) << line;
        if (jd >= 2447892.5 && jd < 2466520.5) phases.emplace_back(phase, jd);  // 1990 to 2040
    }
    ASSERT_GT(phases.size(), 2500u);
    for (const char *zone : {"UTC", "Asia/Tehran", "America/Chicago"}) {
        use_zone(zone);
        int checked = 0, failures = 0;
        for (auto [phase, jd] : phases) {
            std::time_t t = static_cast<std::time_t>(std::floor((jd - 2440587.5) * 86400));
            std::tm local{};
            ASSERT_NE(localtime_r(&t, &local), nullptr);
            int minute = local.tm_hour * 60 + local.tm_min;
            if (minute < 10 || minute >= 1430) continue;
            icaltimetype day = ymd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
            int got = moon_phase_of_day(day);
            if (got != phase + 1 && ++failures <= 10)
                ADD_FAILURE() << zone << " " << day.year << "-" << day.month << "-" << day.day
                              << " " << local.tm_hour << ":" << local.tm_min << ": phase "
                              << phase + 1 << ", got " << got;
            ++checked;
        }
        EXPECT_EQ(failures, 0) << zone;
        EXPECT_GT(checked, 2450) << zone;
    }
    use_zone("UTC");
}
