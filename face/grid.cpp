// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The day grid: seven 9-pixel columns from x 0, rows 7 pixels apart from
// y 20, and the inverse mapping of a pointer position to a day.
#include "calendar/calendar.h"
#include "dock/dock.h"
#include "face/face.h"
#include "face/skin.h"

void draw_day_number(int day, int y, int column, int style, int is_today, int language,
                     int holiday) {
    if (style < 0 || style > 3 || day < 1 || day > 99) return;
    const int *digit_x = day_digit_x[language_digits(language)];
    int sy = day_digit_y0 + 20 * style + 10 * (is_today != 0);
    int x = weekday_cell_width * column;
    Pixmap face = dock_surface.face_pixmap, buffer = dock_surface.buffer_pixmap;
    if (day <= 9) {
        // The pad sits just left of digit 1, inside the style's ground band.
        int pad_x = digit_x[1] - day_digit_width;
        blit(face, buffer, pad_x, sy, 2, day_digit_height, x, y);
        blit(face, buffer, pad_x, sy, 2, day_digit_height, x + 7, y);
        blit(face, buffer, digit_x[day], sy, day_digit_width, day_digit_height, x + 2, y);
    } else {
        // The units cell covers the blank last column of the tens cell.
        blit(face, buffer, digit_x[day / 10], sy, day_digit_width, day_digit_height, x, y);
        blit(face, buffer, digit_x[day % 10], sy, day_digit_width, day_digit_height, x + 4, y);
    }
    // A holiday underlines the number on the cell's bottom row, which every
    // style leaves as ground, so that its ink and ground still read.
    if (holiday)
        blit(face, buffer, holiday_mark_x, holiday_mark_y, holiday_mark_width, 1, x + 1,
             y + day_digit_height - 1);
}

// A date of the displayed month's calendar as a Gregorian date; an Islamic
// date moved later by the adjustment lies that many days earlier.
static icaltimetype gregorian_of(const face_record &face, icaltimetype date) {
    int kind = face_calendar(face.calendar_kind);
    icaltimetype gregorian = date;
    to_gregorian(kind, date, &gregorian, face.hijri);
    int adjust = kind == calendar_islamic ? face_hijri_adjust(face.hijri_adjust) : 0;
    if (adjust != 0) jdn_to_gregorian(gregorian_to_jdn(gregorian) - adjust, &gregorian);
    return gregorian;
}

icaltimetype gregorian_of_day(const face_record &face, int day) {
    icaltimetype date = face.month;
    date.day = day;
    return gregorian_of(face, date);
}

int days_shown(const face_record &face) {
    return days_in_month(face.month.month, face.month.year, face_calendar(face.calendar_kind),
                         face.hijri);
}

void draw_grid(const face_record &face, const month_marks &marks) {
    int n = days_shown(face);
    if (n > 31) n = 31;
    int off = (face_week_start(face) + weekday_of(gregorian_of_day(face, 1))) % 7;
    int y = grid_y0;
    for (int d = 1; d <= n; d++) {
        int c = (off + d) % 7;
        if (c == 0 && d != 1) y += grid_row_height;
        icaltimetype date = gregorian_of_day(face, d);
        int phase = face.moon_view ? marks.phase[d - 1] : 0;
        if (date_equal(date, face.highlight)) {
            draw_day_number(d, y, c, 3, 0, face.language, marks.holiday[d - 1]);
        } else if (phase >= 1 && phase <= 4) {
            blit(dock_surface.face_pixmap, dock_surface.buffer_pixmap, moon_glyph_x[phase - 1],
                 moon_glyph_y, moon_glyph_width, moon_glyph_height, weekday_cell_width * c, y);
        } else {
            draw_day_number(d, y, c, marks.status[d - 1], date_equal(date, face.today),
                            face.language, marks.holiday[d - 1]);
        }
    }
    flush_buffer(dock_surface.buffer_pixmap);
}

// Column 7 (x 63) reads as column 0 of the next row, and the row is
// rounded toward zero, so the weekday band y 14-19 answers for row 0.
int day_at_point(const face_record &face, int x, int y, icaltimetype *day) {
    const icaltimetype &month = face.month;
    int c = x / weekday_cell_width;
    int wt = weekday_of(gregorian_of(face, month));
    // Column of day 1; the 37 (35 of it a multiple of 7) keeps the dividend
    // positive for every day up to 31 and week start up to 7.
    int f = (wt - month.day + face_week_start(face) + 37) % 7;
    int t = y - grid_y0;
    int dd = (t - t % 7) + c - f + 1;
    if (dd < 1 || dd > days_shown(face)) return 0;
    *day = gregorian_of_day(face, dd);
    return 1;
}
