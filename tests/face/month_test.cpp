// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// How far the displayed month can be moved, and that the face stays sound
// at the ends of that range and past them.
#include "face_fixture.h"

#include "face/face.h"

#include <climits>
#include <ctime>

namespace {

TEST(month_range, navigation_stops_nine_hundred_years_out) {
    EXPECT_TRUE(month_offset_in_range(0));
    EXPECT_TRUE(month_offset_in_range(10800));
    EXPECT_TRUE(month_offset_in_range(-10800));
    EXPECT_FALSE(month_offset_in_range(10801));
    EXPECT_FALSE(month_offset_in_range(-10801));
    EXPECT_FALSE(month_offset_in_range(INT_MAX));
    EXPECT_FALSE(month_offset_in_range(INT_MIN));
}

TEST(month_range, offsets_past_the_range_are_held_at_its_end) {
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    for (int kind = 0; kind < 3; kind++) {
        reset_face_state();
        app_state.calendar_kind = kind;
        app_state.month_offset = 10800;
        refresh_today();
        icaltimetype far_end = app_state.today;
        app_state.month_offset = INT_MAX;
        refresh_today();
        EXPECT_TRUE(date_equal(app_state.today, far_end)) << "kind " << kind;
        app_state.month_offset = -10800;
        refresh_today();
        icaltimetype near_end = app_state.today;
        app_state.month_offset = INT_MIN;
        refresh_today();
        EXPECT_TRUE(date_equal(app_state.today, near_end)) << "kind " << kind;
        EXPECT_EQ(far_end.year - near_end.year, 1800) << "kind " << kind;
        if (kind == 0) {
            EXPECT_EQ(far_end.year, local.tm_year + 1900 + 900);
            EXPECT_EQ(far_end.month, local.tm_mon + 1);
        }
    }
}

TEST(month_range, whole_refresh_at_both_ends_in_every_calendar) {
    // Run under the sanitizers, this reads every table the face indexes.
    for (int kind = 0; kind < 3; kind++)
        for (int farsi = 0; farsi < 2; farsi++)
            for (int offset : {-10800, 10800, INT_MIN, INT_MAX}) {
                reset_face_state();
                app_state.calendar_kind = kind;
                app_state.farsi = farsi;
                app_state.moon_view = 1;
                app_state.month_offset = offset;
                refresh_today();
                ASSERT_GE(app_state.today.month, 1);
                ASSERT_LE(app_state.today.month, 12);
                ASSERT_GT(app_state.today.year, 0);
                check_new_day();
                draw_button_bar();
                draw_grid();
                draw_header();
                int found = 0;
                for (int y = 0; y < 64; y += 3)
                    for (int x = 0; x < 64; x += 3) found += day_at_point(x, y);
                EXPECT_GT(found, 0) << "kind " << kind << " offset " << offset;
            }
}

}  // namespace
