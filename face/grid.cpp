// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The day grid: seven 9-pixel columns from x 0, rows 7 pixels apart from
// y 20, and the inverse mapping of a pointer position to a day.
#include "calendar/calendar.h"
#include "core/state.h"
#include "dock/dock.h"
#include "events/events.h"
#include "face/face.h"
#include "face/skin.h"

void draw_day_number(int day, int y, int column, int style, int is_today) {
    if (style < 0 || style > 3 || day < 1 || day > 99) return;
    const int *digit_x = day_digit_x[face_language()];
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
}

// Gregorian date of day `day` of the displayed month.
static void displayed_day(int day, icaltimetype *dest) {
    icaltimetype date = app_state.today;
    date.day = day;
    to_gregorian(face_calendar(), date, dest);
}

void draw_grid() {
    icaltimetype &work = app_state.work_date;
    const int kind = face_calendar();
    displayed_day(1, &work);
    int n = days_in_month(app_state.today.month, app_state.today.year, kind);
    int off = (face_week_start() + weekday_of(work)) % 7;
    int y = grid_y0;
    for (int d = 1; d <= n; d++) {
        int c = (off + d) % 7;
        if (c == 0 && d != 1) y += grid_row_height;
        displayed_day(d, &work);
        int phase = app_state.moon_view ? moon_phase_of_day(work) : 0;
        if (date_equal(work, app_state.highlight_date)) {
            draw_day_number(d, y, c, 3, 0);
        } else if (phase >= 1 && phase <= 4) {
            blit(dock_surface.face_pixmap, dock_surface.buffer_pixmap, moon_glyph_x[phase - 1],
                 moon_glyph_y, moon_glyph_width, moon_glyph_height, weekday_cell_width * c, y);
        } else {
            draw_day_number(d, y, c, day_status(work), date_equal(work, app_state.today_gregorian));
        }
    }
    flush_buffer(dock_surface.buffer_pixmap);
}

// Column 7 (x 63) reads as column 0 of the next row, and the row is
// rounded toward zero, so the weekday band y 14-19 answers for row 0.
int day_at_point(int x, int y) {
    icaltimetype &work = app_state.work_date;
    const icaltimetype &today = app_state.today;
    const int kind = face_calendar();
    int c = x / weekday_cell_width;
    to_gregorian(kind, today, &work);
    int wt = weekday_of(work);
    // Column of day 1; the 37 (35 of it a multiple of 7) keeps the dividend
    // positive for every day up to 31 and week start up to 7.
    int f = (wt - today.day + face_week_start() + 37) % 7;
    int t = y - grid_y0;
    int dd = (t - t % 7) + c - f + 1;
    if (dd < 1 || dd > days_in_month(today.month, today.year, kind)) return 0;
    icaltimetype date = work;
    date.year = today.year;
    date.month = today.month;
    date.day = dd;
    to_gregorian(kind, date, &work);
    return 1;
}
