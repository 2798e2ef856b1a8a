// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// app_state set to a known face: March 2024 in the Gregorian calendar, weeks
// starting on Monday, bar shown, nothing highlighted or armed.
#pragma once

#include <gtest/gtest.h>

#include "core/core.h"
#include "core/state.h"

class button_test : public ::testing::Test {
  protected:
    void SetUp() override {
        app_state.calendar_kind = 0;
        app_state.month_offset = 0;
        app_state.moon_view = 0;
        app_state.buttons_shown = 1;
        app_state.week_start = 7;
        app_state.today = icaltime_from_string("20240308");
        app_state.today_gregorian = app_state.today;
        app_state.highlight_date = icaltime_null_time();
        app_state.last_face_date = app_state.today;
        app_state.launch_armed = 0;
        app_state.launch_time = 0;
        app_state.app_command[0] = '\0';
    }
    static void left(int x, int y, uint64_t time = 1000) { handle_button(1, x, y, time); }
};
