// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Button presses over app_state: the button table, the zones and their bounds.
#include "button_fixture.h"

#include <string>

namespace {

std::string date_text(icaltimetype t) {
    if (icaltime_is_null_time(t)) return "null";
    char text[32];
    snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

// Everything a press may change except the month offset.
struct face_state {
    int moon_view, buttons_shown, calendar_kind, launch_armed;
    std::string highlight;
    bool operator==(const face_state &o) const {
        return moon_view == o.moon_view && buttons_shown == o.buttons_shown &&
               calendar_kind == o.calendar_kind && launch_armed == o.launch_armed &&
               highlight == o.highlight;
    }
};

face_state snapshot() {
    return {app_state.moon_view, app_state.buttons_shown, app_state.calendar_kind,
            app_state.launch_armed, date_text(app_state.highlight_date)};
}

TEST_F(button_test, month_corners_with_their_bounds) {
    for (auto [x, y] : {std::pair{0, 0}, {11, 11}, {5, 5}, {0, 11}, {11, 0}}) {
        SetUp();
        left(x, y);
        EXPECT_EQ(app_state.month_offset, -1) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{51, 0}, {63, 11}, {60, 5}, {51, 11}, {63, 0}}) {
        SetUp();
        left(x, y);
        EXPECT_EQ(app_state.month_offset, 1) << x << "," << y;
    }
    // Just outside the corners: day clicks that find no day.
    for (auto [x, y] : {std::pair{12, 5}, {5, 12}, {50, 5}, {60, 12}}) {
        SetUp();
        face_state before = snapshot();
        left(x, y);
        EXPECT_EQ(app_state.month_offset, 0) << x << "," << y;
        EXPECT_TRUE(snapshot() == before) << x << "," << y;
    }
}

TEST_F(button_test, wheel_and_middle_button_ignore_the_position) {
    handle_button(4, 30, 30, 1);
    handle_button(4, 60, 60, 2);
    EXPECT_EQ(app_state.month_offset, -2);
    handle_button(5, 0, 0, 3);
    handle_button(5, 63, 63, 3);
    handle_button(5, 40, 60, 3);
    EXPECT_EQ(app_state.month_offset, 1);
    handle_button(2, 40, 60, 4);
    EXPECT_EQ(app_state.month_offset, 0);
    handle_button(5, 5, 5, 5);
    handle_button(2, 5, 5, 6);
    EXPECT_EQ(app_state.month_offset, 0);
}

// The face says where the range ends (its tests hold the bounds); a press
// past an end leaves the offset there.
TEST_F(button_test, navigation_stops_at_the_range_the_face_allows) {
    app_state.month_offset = 10800;
    handle_button(5, 0, 0, 1);
    left(60, 5);
    EXPECT_EQ(app_state.month_offset, 10800);
    handle_button(4, 0, 0, 1);
    EXPECT_EQ(app_state.month_offset, 10799);
    app_state.month_offset = -10800;
    handle_button(4, 0, 0, 1);
    left(5, 5);
    EXPECT_EQ(app_state.month_offset, -10800);
}
TEST_F(button_test, bar_toggle_corner_starts_one_line_below_the_buttons) {
    left(55, 60);
    EXPECT_EQ(app_state.buttons_shown, 0);
    left(55, 60);
    EXPECT_EQ(app_state.buttons_shown, 1);
    for (auto [x, y] : {std::pair{53, 57}, {63, 63}, {53, 63}, {63, 57}}) {
        SetUp();
        left(x, y);
        EXPECT_EQ(app_state.buttons_shown, 0) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{55, 56}, {52, 60}, {53, 56}}) {
        SetUp();
        face_state before = snapshot();
        left(x, y);
        EXPECT_TRUE(snapshot() == before) << x << "," << y;
    }
    // It reacts with the bar hidden too.
    app_state.buttons_shown = 0;
    left(53, 57);
    EXPECT_EQ(app_state.buttons_shown, 1);
}

TEST_F(button_test, moon_and_calendar_buttons_with_their_bounds) {
    for (auto [x, y] : {std::pair{38, 56}, {45, 63}, {40, 60}, {40, 56}}) {
        SetUp();
        left(x, y);
        EXPECT_EQ(app_state.moon_view, 1) << x << "," << y;
        left(x, y);
        EXPECT_EQ(app_state.moon_view, 0) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{29, 56}, {36, 63}, {32, 60}}) {
        SetUp();
        int kinds[4];
        for (int &k : kinds) {
            left(x, y);
            k = app_state.calendar_kind;
        }
        EXPECT_EQ(kinds[0], 1);
        EXPECT_EQ(kinds[1], 2);
        EXPECT_EQ(kinds[2], 0);
        EXPECT_EQ(kinds[3], 1);
    }
}

TEST_F(button_test, gaps_between_the_buttons_are_day_clicks) {
    for (auto [x, y] : {std::pair{28, 60},
                        {37, 60},
                        {46, 60},
                        {52, 60},
                        {19, 60},
                        {40, 55},
                        {28, 56},
                        {37, 63}}) {
        SetUp();
        face_state before = snapshot();
        left(x, y);
        EXPECT_TRUE(snapshot() == before) << x << "," << y;
        EXPECT_EQ(app_state.month_offset, 0);
    }
}

TEST_F(button_test, with_the_bar_hidden_the_buttons_do_not_react) {
    for (auto [x, y] : {std::pair{40, 60}, {32, 60}, {23, 60}, {49, 60}, {38, 56}, {20, 63}}) {
        SetUp();
        app_state.buttons_shown = 0;
        face_state before = snapshot();
        left(x, y);
        left(x, y, 1100);  // would be a double click on the application button
        EXPECT_TRUE(snapshot() == before) << x << "," << y;
    }
}

TEST_F(button_test, application_button_arms_within_its_bounds) {
    for (auto [x, y] : {std::pair{20, 56}, {27, 63}, {23, 60}}) {
        SetUp();
        left(x, y, 5000);
        EXPECT_EQ(app_state.launch_armed, 1) << x << "," << y;
        EXPECT_EQ(app_state.launch_time, 5000u);
    }
}

TEST_F(button_test, day_click_highlights_then_removes_then_highlights_again) {
    left(40, 30);
    EXPECT_EQ(date_text(app_state.highlight_date), "2024-03-08");
    left(13, 30);  // another day: removes the highlight, does not move it
    EXPECT_EQ(date_text(app_state.highlight_date), "null");
    left(13, 30);
    EXPECT_EQ(date_text(app_state.highlight_date), "2024-03-05");
    // The first and last days of the grid: Friday the 1st, Sunday the 31st.
    SetUp();
    left(36, 20);
    EXPECT_EQ(date_text(app_state.highlight_date), "2024-03-01");
    SetUp();
    left(62, 54);
    EXPECT_EQ(date_text(app_state.highlight_date), "2024-03-31");
    // Before the 1st and after the 31st no day is found and nothing changes.
    for (auto [x, y] : {std::pair{5, 20}, {35, 20}, {5, 55}, {30, 3}}) {
        SetUp();
        left(x, y);
        EXPECT_EQ(date_text(app_state.highlight_date), "null") << x << "," << y;
    }
    // A click that finds no day leaves a highlight in place.
    SetUp();
    left(40, 30);
    left(5, 20);
    EXPECT_EQ(date_text(app_state.highlight_date), "2024-03-08");
}

TEST_F(button_test, right_click_without_a_day_changes_nothing) {
    face_state before = snapshot();
    handle_button(3, 5, 20, 1);
    handle_button(3, 30, 3, 1);
    EXPECT_TRUE(snapshot() == before);
    EXPECT_EQ(app_state.month_offset, 0);
}

TEST_F(button_test, every_press_marks_the_face_for_a_whole_repaint) {
    struct press {
        unsigned button;
        int x, y;
    } presses[] = {{1, 5, 5}, {1, 40, 30}, {1, 30, 3},  {2, 0, 0},   {3, 5, 20},
                   {4, 1, 1}, {5, 1, 1},   {6, 30, 30}, {7, 30, 30}, {9, 0, 0}};
    for (const press &p : presses) {
        SetUp();
        ASSERT_EQ(app_state.last_face_date.month, 3);
        handle_button(p.button, p.x, p.y, 1);
        EXPECT_EQ(app_state.last_face_date.month, 0) << "button " << p.button;
        EXPECT_EQ(app_state.last_face_date.year, 2024) << "only the month is cleared";
        EXPECT_EQ(app_state.last_face_date.day, 8);
    }
    // Buttons 6 and 7 change nothing else.
    SetUp();
    face_state before = snapshot();
    handle_button(6, 40, 30, 1);
    handle_button(7, 5, 5, 1);
    EXPECT_TRUE(snapshot() == before);
    EXPECT_EQ(app_state.month_offset, 0);
}

}  // namespace
