// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The displayed month: today from the local clock moved by month_offset,
// the repaint of the empty face and weekday row, and the header text.
#include "calendar/calendar.h"
#include "core/state.h"
#include "dock/dock.h"
#include "events/events.h"
#include "face/face.h"
#include "face/skin.h"

#include <ctime>

// Adds offset months to (year, month) and brings the month back into 1-12,
// carrying whole years in one step. |offset| <= max_month_offset, so the
// intermediate month stays far inside int.
static void move_month(icaltimetype *date, int offset) {
    int m = date->month + offset;
    if (m > 12) {
        int k = (m - 1) / 12;
        m -= 12 * k;
        date->year += k;
    }
    if (m < 1) {
        int k = (12 - m) / 12;
        m += 12 * k;
        date->year -= k;
    }
    date->month = m;
}

// Today from the local clock, in `gregorian` and, as the result, in the
// active calendar; fields other than the date are taken from `base`.
static icaltimetype today_from_clock(icaltimetype base, icaltimetype *gregorian) {
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    base.year = local.tm_year + 1900;
    base.month = local.tm_mon + 1;
    base.day = local.tm_mday;
    *gregorian = base;
    icaltimetype converted = base;
    if (face_calendar() == calendar_persian)
        gregorian_to_persian(base, &converted);
    else if (face_calendar() == calendar_islamic)
        gregorian_to_islamic(base, &converted);
    return converted;
}

static int year_supported(int year) {
    return year >= calendar_year_min(face_calendar()) && year <= calendar_year_max(face_calendar());
}

int month_offset_in_range(int offset) {
    if (offset < -max_month_offset || offset > max_month_offset) return 0;
    icaltimetype gregorian;
    icaltimetype shown = today_from_clock(icaltime_null_time(), &gregorian);
    move_month(&shown, offset);
    // Today itself is always reachable, even under a clock outside the range.
    return offset == 0 || year_supported(shown.year);
}

void refresh_today() {
    icaltimetype &today = app_state.today;
    today = today_from_clock(today, &app_state.today_gregorian);

    // An offset past the range (navigation never makes one) is held at its
    // end rather than trusted.
    int offset = app_state.month_offset;
    if (offset > max_month_offset) offset = max_month_offset;
    if (offset < -max_month_offset) offset = -max_month_offset;
    if (offset == 0) return;
    move_month(&today, offset);
    int kind = face_calendar();
    if (today.year > calendar_year_max(kind)) {
        today.year = calendar_year_max(kind);
        today.month = 12;
    } else if (today.year < calendar_year_min(kind)) {
        today.year = calendar_year_min(kind);
        today.month = 1;
    }
}

void check_new_day() {
    if (date_equal(app_state.today, app_state.last_face_date)) return;
    Pixmap face = dock_surface.face_pixmap, buffer = dock_surface.buffer_pixmap;
    blit(face, buffer, 0, 0, face_size, face_size, 0, 0);
    int strip_x = (7 - face_week_start()) * weekday_cell_width;
    blit(face, buffer, strip_x, weekday_strip_y[face_language()], weekday_window_width,
         weekday_strip_height, 0, weekday_row_y);
    flush_buffer(buffer);
    load_events();
    app_state.last_face_date = app_state.today;
}

void draw_header() {
    int language = face_language();
    int r = language * 3 + face_calendar();
    int m = app_state.today.month - 1;
    if (m < 0 || m > 11)
        return;  // refresh_today always leaves 1-12; nothing sane to draw otherwise
    int year = app_state.today.year;
    int tens = (year / 10) % 10, units = year % 10;
    if (tens < 0) tens = -tens;
    if (units < 0) units = -units;

    int wm = month_name_width[r][m];
    int wt = year_digit_width[language][tens];
    int wu = year_digit_width[language][units];
    int x = header_centre_x - (wm + wt + wu) / 2;

    Pixmap sheet = dock_surface.sheet_pixmap, buffer = dock_surface.buffer_pixmap;
    blit(sheet, buffer, month_name_x0[r][m], month_name_y[r], wm, month_name_height, x, header_y);
    x += wm + header_gap;
    blit(sheet, buffer, year_digit_x0[language][tens], year_digit_y, wt, year_digit_height, x,
         header_y);
    x += wt;
    blit(sheet, buffer, year_digit_x0[language][units], year_digit_y, wu, year_digit_height, x,
         header_y);
    flush_buffer(buffer);
}
