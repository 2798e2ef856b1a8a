// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Core's step of the refresh that repaints the face whole: only when the
// displayed date changed, which every press brings about.
#include "face_fixture.h"

#include "core/core.h"
#include "core/state.h"

namespace {

TEST(new_day, draws_only_when_the_displayed_date_changed) {
    app_state.week_start = 7;
    app_state.today = make_date(2024, 3, 5);
    check_new_day();
    EXPECT_TRUE(date_equal(app_state.last_face_date, app_state.today));
    fill_buffer_with_sentinel();
    check_new_day();
    EXPECT_TRUE(buffer_matches(expected_face()));
    // A press zeroes the month of last_face_date: the next refresh repaints.
    app_state.last_face_date.month = 0;
    check_new_day();
    expected_face e;
    e.paste(face_image(), 0, 0, 64, 64, 0, 0);
    e.paste(face_image(), 0, 70, 63, 8, 0, 12);
    EXPECT_TRUE(buffer_matches(e));
}

}  // namespace
