#include "calendar/calendar.h"

#include "tests/calendar/dates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

void clear_cache() { std::memset(moon_phase_cache, 0, sizeof moon_phase_cache); }

int64_t phase_day(int64_t k, int p) {
    return static_cast<int64_t>(std::trunc(moon_phase_jd(k, p)));
}

std::vector<int> month_of_phases(int year, int month) {
    std::vector<int> codes;
    for (int day = 1; day <= gregorian_month_length(month, year); ++day)
        codes.push_back(moon_phase_of_day(ymd(year, month, day)));
    return codes;
}

}  // namespace

TEST(moon_day, phases_of_early_2024) {
    clear_cache();
    std::vector<int> january(31, 0);
    january[3 - 1] = 4;
    january[10 - 1] = 1;  // 11:55 UT on the 11th is before noon: the 10th
    january[17 - 1] = 2;
    january[25 - 1] = 3;
    EXPECT_EQ(month_of_phases(2024, 1), january);

    std::vector<int> february(29, 0);
    february[2 - 1] = 4;
    february[9 - 1] = 1;
    february[16 - 1] = 2;
    february[24 - 1] = 3;
    EXPECT_EQ(month_of_phases(2024, 2), february);
}

TEST(moon_day, answers_from_the_cache) {
    clear_cache();
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
    clear_cache();
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
