// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
#include "calendar/calendar.h"

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
