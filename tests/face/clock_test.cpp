// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The displayed month from the clock, run under libfaketime: CTest starts
// this program once per faked date, and each group of tests runs only when
// the clock is frozen on its date.
#include "face_fixture.h"

#include "calendar/calendar.h"
#include "face/face.h"

#include <cstdlib>
#include <cstring>

namespace {

bool clock_frozen_on(const char *date) {
    const char *faked = std::getenv("FAKETIME");
    return faked && std::strncmp(faked, date, std::strlen(date)) == 0;
}

#define REQUIRE_CLOCK(date)                                                                        \
    if (!clock_frozen_on(date)) GTEST_SKIP() << "needs FAKETIME=\"" date " 12:00:00\""

// The displayed month for a calendar and an offset.
icaltimetype shown(int kind, int offset) {
    reset_face_state();
    app_state.calendar_kind = kind;
    app_state.month_offset = offset;
    refresh_today();
    return app_state.today;
}

void expect_ymd(icaltimetype t, int year, int month, int day) {
    EXPECT_EQ(t.year, year);
    EXPECT_EQ(t.month, month);
    EXPECT_EQ(t.day, day);
}

TEST(clock_january, months_back_carry_into_earlier_years) {
    REQUIRE_CLOCK("2024-01-15");
    expect_ymd(shown(0, 0), 2024, 1, 15);
    expect_ymd(app_state.today_gregorian, 2024, 1, 15);
    expect_ymd(shown(0, -1), 2023, 12, 15);
    expect_ymd(shown(0, -12), 2023, 1, 15);
    expect_ymd(shown(0, -13), 2022, 12, 15);
    expect_ymd(shown(0, -25), 2021, 12, 15);
    expect_ymd(shown(0, 11), 2024, 12, 15);
    // The real date stays the clock's, whatever is displayed.
    expect_ymd(app_state.today_gregorian, 2024, 1, 15);
}

TEST(clock_january, persian_dey_and_islamic_months) {
    REQUIRE_CLOCK("2024-01-15");
    expect_ymd(shown(1, 0), 1402, 10, 25);
    expect_ymd(app_state.today_gregorian, 2024, 1, 15);
    expect_ymd(shown(1, 2), 1402, 12, 25);
    expect_ymd(shown(1, 3), 1403, 1, 25);
    expect_ymd(shown(1, -10), 1401, 12, 25);
    icaltimetype islamic{};
    gregorian_to_islamic(make_date(2024, 1, 15), &islamic);
    ASSERT_GE(islamic.month, 6);
    expect_ymd(shown(2, 0), islamic.year, islamic.month, islamic.day);
    expect_ymd(shown(2, 13 - islamic.month), islamic.year + 1, 1, islamic.day);
    expect_ymd(shown(2, -islamic.month), islamic.year - 1, 12, islamic.day);
}

TEST(clock_december, months_forward_carry_into_later_years) {
    REQUIRE_CLOCK("2024-12-20");
    expect_ymd(shown(0, 1), 2025, 1, 20);
    expect_ymd(shown(0, 13), 2026, 1, 20);
    expect_ymd(shown(0, 1200), 2124, 12, 20);
    expect_ymd(shown(0, -1201), 1924, 11, 20);
    expect_ymd(shown(1, 0), 1403, 9, 30);
    expect_ymd(shown(1, 4), 1404, 1, 30);
}

TEST(clock_march_31, day_kept_when_the_month_is_shorter) {
    REQUIRE_CLOCK("2024-03-31");
    // +25 from March: April two years later, the 31st kept in `today`.
    expect_ymd(shown(0, 25), 2026, 4, 31);
    expect_ymd(shown(0, 1), 2024, 4, 31);
    expect_ymd(shown(0, -1), 2024, 2, 31);
    expect_ymd(shown(1, 0), 1403, 1, 12);
    expect_ymd(shown(1, -1), 1402, 12, 12);
    expect_ymd(shown(1, 12), 1404, 1, 12);
}

TEST(clock_march_31, grid_and_pointer_of_a_month_shorter_than_today) {
    REQUIRE_CLOCK("2024-03-31");
    shown(0, 1);  // April 2024 with day 31 kept
    app_state.week_start = 7;
    // 1 April 2024 is a Monday: column 0; the 30th in column 1 of row 4.
    ASSERT_EQ(day_at_point(0, 20), 1);
    EXPECT_TRUE(date_equal(app_state.work_date, make_date(2024, 4, 1)));
    ASSERT_EQ(day_at_point(10, 48), 1);
    EXPECT_TRUE(date_equal(app_state.work_date, make_date(2024, 4, 30)));
    EXPECT_EQ(day_at_point(19, 48), 0);
}

TEST(clock_near_the_end, navigation_stops_at_the_last_supported_month) {
    REQUIRE_CLOCK("2990-06-15");
    for (int kind = 0; kind < 3; kind++) {
        icaltimetype now = shown(kind, 0);
        int to_last = (calendar_year_max(kind) - now.year) * 12 + 12 - now.month;
        ASSERT_GT(to_last, 0);
        ASSERT_LT(to_last, 10800);
        EXPECT_TRUE(month_offset_in_range(to_last)) << "kind " << kind;
        EXPECT_FALSE(month_offset_in_range(to_last + 1)) << "kind " << kind;
        EXPECT_TRUE(month_offset_in_range(-to_last)) << "kind " << kind;
        // An offset past the end shows the last supported month.
        expect_ymd(shown(kind, to_last + 40), calendar_year_max(kind), 12, now.day);
        expect_ymd(shown(kind, to_last), calendar_year_max(kind), 12, now.day);
    }
}

}  // namespace
