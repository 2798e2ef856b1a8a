// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The dock face: skin, displayed month, header, day grid and button bar.
#pragma once

void init_skin();

void refresh_today();
void check_new_day();
void draw_header();

void draw_grid();
void draw_day_number(int day, int y, int column, int style, int is_today);
int day_at_point(int x, int y);  // 1 and the day's Gregorian date in work_date, else 0

void draw_button_bar();

// 1 when a month offset keeps the displayed month inside the range the
// calendar arithmetic supports; navigation never steps outside it.
int month_offset_in_range(int offset);
