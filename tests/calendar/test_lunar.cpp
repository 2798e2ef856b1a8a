#include "calendar/calendar.h"

#include "calendar/lunar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

TEST(lunar, phase_instants_of_known_lunations) {
    constexpr double tolerance = 0.0001;
    EXPECT_NEAR(moon_phase_jd(0, 0), 2415021.0764, tolerance);  // 1900-01-01 13:50 UT
    EXPECT_NEAR(moon_phase_jd(0, 1), 2415027.7356, tolerance);
    EXPECT_NEAR(moon_phase_jd(0, 2), 2415035.2958, tolerance);
    EXPECT_NEAR(moon_phase_jd(0, 3), 2415043.4953, tolerance);
    EXPECT_NEAR(moon_phase_jd(1534, 0), 2460320.9968, tolerance);  // 2024-01-11 11:55 UT
    EXPECT_NEAR(moon_phase_jd(1534, 2), 2460335.2445, tolerance);  // 2024-01-25 17:52 UT
}

TEST(lunar, month_start_instants) {
    constexpr double tolerance = 0.0001;
    // f about 0.076: the moon falls after noon UT, a day is added.
    EXPECT_NEAR(new_moon_jd(0), 2415022.0764, tolerance);
    EXPECT_DOUBLE_EQ(new_moon_jd(0), moon_phase_jd(0, 0) + 1);
    // f about 0.5565, h about 4.4: 01:21 UT, the instant itself.
    EXPECT_NEAR(new_moon_jd(1), 2415050.5565, tolerance);
    EXPECT_DOUBLE_EQ(new_moon_jd(1), moon_phase_jd(1, 0));
    // f about 0.875, h about 12: a day added.
    EXPECT_NEAR(new_moon_jd(1536), 2460380.8751, tolerance);
}

TEST(lunar, day_rule_borders_in_single_precision) {
    const double day = 2415021.0;
    // f = 0.5 adds the day; f just past it goes on to the hour test (h = 3).
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.5), day + 1.5);
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.51), day + 0.51);
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.25), day + 1.25);
    // h = 6 (f = 0.625) keeps the day; just past it adds one.
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.625), day + 0.625);
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.6251), day + 1.6251);
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.9), day + 1.9);
    // The fraction is rounded to single precision before either test: these
    // round to exactly 0.5 and 0.625, where double precision would decide the
    // other way.
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.500000001), day + 1.500000001);
    EXPECT_DOUBLE_EQ(new_moon_day_rule(day + 0.625000001), day + 0.625000001);
}

TEST(lunar, illegal_phase_selector_ends_the_process) {
    // The message goes to standard output; send it to standard error, where
    // the death test can read it.
    auto call = [](int p) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        moon_phase_jd(0, p);
    };
    EXPECT_EXIT(call(4), testing::ExitedWithCode(1), "^tmoonphase: illegal phase number\n$");
    EXPECT_EXIT(call(-1), testing::ExitedWithCode(1), "^tmoonphase: illegal phase number\n$");
}

TEST(lunar, far_lunations_stay_finite) {
    for (int64_t k : {INT64_MIN, -(int64_t{1} << 40), int64_t{1} << 40, INT64_MAX})
        for (int p = 0; p < 4; ++p) EXPECT_TRUE(std::isfinite(moon_phase_jd(k, p))) << k;
}

// Every phase from 1900 to 2100 against PyEphem (tools/moon-reference). The
// formulas keep within a few minutes of it.
TEST(lunar, phases_agree_with_the_ephemeris) {
    std::ifstream in(CALENDAR_TEST_DATA "/moon_phases_1900_2100.txt");
    ASSERT_TRUE(in) << "reference table missing";
    constexpr double bound_minutes = 5;
    double largest = 0, largest_jd = 0;
    int count = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int phase;
        double jd;
        ASSERT_TRUE(fields >> phase >> jd) << line;
        // Nearest lunation: mean synodic month from the mean new moon of lunation 0.
        int64_t k = std::llround((jd - 2415020.75933) / 29.53058868 - phase / 4.0);
        double minutes = std::fabs(moon_phase_jd(k, phase) - jd) * 1440;
        EXPECT_LT(minutes, bound_minutes) << "lunation " << k << " phase " << phase;
        if (minutes > largest) {
            largest = minutes;
            largest_jd = jd;
        }
        ++count;
    }
    EXPECT_GT(count, 9900);  // about 2486 lunations of four phases
    std::printf("largest difference from the ephemeris: %.2f minutes (at JD %.4f), %d phases\n",
                largest, largest_jd, count);
}
