// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The dock face: skin, displayed month, header, day grid and button bar,
// each drawn from the values it is handed.
#pragma once

#include <libical/ical.h>

// What the face shows. Values outside their ranges (the settings file can
// hand over any number) are brought back to ones the face knows.
struct face_record {
    int calendar_kind = 0;     // 0 Gregorian, 1 Persian, 2 Islamic
    int language = 0;          // 0 Latin, 1 Farsi, 2 Dari, 3 Arabic names, digits, weekday row
    int week_start = 0;        // 1 Sunday ... 7 Monday; 0 and anything else act as 7
    int icon_kind = 0;         // 0-2
    int moon_view = 0;         // 1: moon glyphs on the days of the four principal phases
    int buttons_shown = 1;     // 0: only the handle of the bar
    icaltimetype month{};      // displayed month in its calendar; day: today's day there
    icaltimetype today{};      // today's Gregorian date, drawn red
    icaltimetype highlight{};  // highlighted Gregorian day, or the null time
    int hijri_adjust = 0;      // -2 to 2: days every Islamic date moves later
    int hijri = 0;             // the Islamic calendar's months: 0 Umm al-Qura, 1 Iran
    int reminding = 0;         // 1: a reminder waits for the user; the top edge's mark
    int calendar_unread = 0;   // 1: the calendar could not be read for a while; the bar's mark
};

// Day marks of the displayed month, index day - 1: the day status (0 none,
// 1 busy, 2 free only), the moon phase (0 none, 1 new ... 4 last quarter)
// and 1 for a holiday or the weekly rest day.
struct month_marks {
    int status[31] = {};
    int phase[31] = {};
    int holiday[31] = {};
};

void init_skin();

// Today (Gregorian) as a date of calendar kind; the Islamic date moved by
// hijri_adjust days (outside -2 to 2 it acts as 0), in the months hijri names.
icaltimetype today_in_calendar(int kind, icaltimetype today, int hijri_adjust, int hijri = 0);
// The displayed month: that date moved by offset months, held inside the
// range the calendar arithmetic supports; the day is kept.
icaltimetype displayed_month(int kind, int offset, icaltimetype today, int hijri_adjust,
                             int hijri = 0);
// 1 when offset keeps the month shown inside that range; navigation never
// steps outside it.
int month_offset_in_range(int kind, int offset, icaltimetype today, int hijri_adjust,
                          int hijri = 0);

// Days of the displayed month and the Gregorian date of one of them.
int days_shown(const face_record &face);
icaltimetype gregorian_of_day(const face_record &face, int day);

void draw_empty_face(const face_record &face);  // the empty face and the weekday row
void draw_header(const face_record &face);
void draw_grid(const face_record &face, const month_marks &marks);
// language as in face_record: 0 Latin digits, 3 Arabic-Indic, others Persian.
void draw_day_number(int day, int y, int column, int style, int is_today, int language,
                     int holiday = 0);
void draw_button_bar(const face_record &face);
// The face's bottom edge: amber while face.calendar_unread, else as the skin has it.
void draw_unread_mark(const face_record &face);
// The face's top edge: green while face.reminding, else as the skin has it.
void draw_reminder_mark(const face_record &face);

// 1 and the Gregorian date of the day under (x, y) in *day, else 0.
int day_at_point(const face_record &face, int x, int y, icaltimetype *day);
