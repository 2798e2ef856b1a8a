// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Start-up, options, the main loop and the dispatch of button presses.
#pragma once

#include "face/face.h"

#include <cstddef>
#include <cstdint>

void parse_options(int argc, char **argv);
void print_usage();
void print_banners();  // the two debugging banners, only with debugging on
[[noreturn]] void main_loop();
// One refresh: the clock, the calendar's files when read_calendar, then
// every drawing step.
void refresh_face(bool read_calendar = true);
// Asks the loop for a refresh as soon as it comes round (a setting applied in the dialog).
void request_refresh();
// x and y are the press's place on the tile, root_x and root_y on the screen
// (where a day view opens).
void handle_button(unsigned button, int x, int y, uint64_t time, int root_x = 0, int root_y = 0);
struct day_range;
day_range displayed_days();  // the displayed month's days, Julian day numbers
// With debugging on: the "shown:" line, when what it says changed.
void print_shown();

// Reminders (core/reminders.cpp): asks the engine for the alarms, or forgets
// them when reminders are off; shows what is due and returns when the next
// alarm is (seconds since 1970, 0: none); how many notes wait for the user.
void ask_reminders();
int64_t remind_due();
int reminders_waiting();
void rearm_alarm(int64_t at);  // the loop's alarm timer

// The refresh's steps over app_state, in the order refresh_face runs them.
void refresh_today();  // the clock into today_gregorian, the displayed month into today
void check_new_day();  // when the displayed date changed: the empty face and weekday row
void draw_button_bar();
void draw_grid();
void draw_header();

icaltimetype clock_today();   // today's local date
face_record face_of_state();  // what the face shows, from app_state
month_marks
marks_of_month(const face_record &face);  // day status, moon phase and holiday of each day
int shows_holiday(icaltimetype day);      // 1: the face marks the Gregorian day as a holiday

// The application button's launch line: the command followed by " &" so that
// the shell starts it in the background. 250 bytes with the terminator.
constexpr std::size_t launch_line_size = 250;
// Writes the launch line into out (launch_line_size bytes). 0 and out left
// empty when the command is empty or would not fit whole.
int build_launch_line(const char *command, char *out);

// X server times are 32-bit milliseconds that wrap every 49.7 days; a second
// click is a double click when it follows the arming click by at most 399 ms,
// counted modulo 2^32.
int is_double_click(int armed, uint64_t armed_time, uint64_t time);
