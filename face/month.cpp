// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The displayed month: today in the active calendar moved by a month
// offset, the repaint of the empty face and weekday row, and the header text.
#include "calendar/calendar.h"
#include "dock/dock.h"
#include "face/face.h"
#include "face/skin.h"

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

icaltimetype today_in_calendar(int kind, icaltimetype today, int hijri_adjust, int hijri) {
    icaltimetype converted = today;
    kind = face_calendar(kind);
    if (kind == calendar_persian)
        gregorian_to_persian(today, &converted);
    else if (kind == calendar_islamic)
        jdn_to_islamic(gregorian_to_jdn(today) + face_hijri_adjust(hijri_adjust), &converted,
                       hijri);
    return converted;
}

static int year_supported(int kind, int year) {
    return year >= calendar_year_min(kind) && year <= calendar_year_max(kind);
}

int month_offset_in_range(int kind, int offset, icaltimetype today, int hijri_adjust, int hijri) {
    if (offset < -max_month_offset || offset > max_month_offset) return 0;
    icaltimetype shown = today_in_calendar(kind, today, hijri_adjust, hijri);
    move_month(&shown, offset);
    // Today itself is always reachable, even under a clock outside the range.
    return offset == 0 || year_supported(face_calendar(kind), shown.year);
}

icaltimetype displayed_month(int kind, int offset, icaltimetype today, int hijri_adjust,
                             int hijri) {
    icaltimetype shown = today_in_calendar(kind, today, hijri_adjust, hijri);
    // An offset past the range (navigation never makes one) is held at its
    // end rather than trusted.
    if (offset > max_month_offset) offset = max_month_offset;
    if (offset < -max_month_offset) offset = -max_month_offset;
    if (offset == 0) return shown;
    move_month(&shown, offset);
    kind = face_calendar(kind);
    if (shown.year > calendar_year_max(kind)) {
        shown.year = calendar_year_max(kind);
        shown.month = 12;
    } else if (shown.year < calendar_year_min(kind)) {
        shown.year = calendar_year_min(kind);
        shown.month = 1;
    }
    return shown;
}

void draw_empty_face(const face_record &face) {
    Pixmap skin = dock_surface.face_pixmap, buffer = dock_surface.buffer_pixmap;
    blit(skin, buffer, 0, 0, face_size, face_size, 0, 0);
    int strip_x = (7 - face_week_start(face)) * weekday_cell_width;
    blit(skin, buffer, strip_x, weekday_strip_y[language_digits(face_language(face))],
         weekday_window_width, weekday_strip_height, 0, weekday_row_y);
    flush_buffer(buffer);
}

void draw_header(const face_record &face) {
    int r = face_language(face) * 3 + face_calendar(face.calendar_kind);
    int digits = language_digits(face_language(face));
    int m = face.month.month - 1;
    if (m < 0 || m > 11)
        return;  // displayed_month always leaves 1-12; nothing sane to draw otherwise
    int year = face.month.year;
    int tens = (year / 10) % 10, units = year % 10;
    if (tens < 0) tens = -tens;
    if (units < 0) units = -units;

    int wm = month_name_width[r][m];
    int wt = year_digit_width[digits][tens];
    int wu = year_digit_width[digits][units];
    int x = header_centre_x - (wm + wt + wu) / 2;

    Pixmap sheet = dock_surface.sheet_pixmap, buffer = dock_surface.buffer_pixmap;
    blit(sheet, buffer, month_name_x0[r][m], month_name_y[r], wm, month_name_height, x, header_y);
    x += wm + header_gap;
    blit(sheet, buffer, year_digit_x0[digits][tens], year_digit_y, wt, year_digit_height, x,
         header_y);
    x += wt;
    blit(sheet, buffer, year_digit_x0[digits][units], year_digit_y, wu, year_digit_height, x,
         header_y);
    flush_buffer(buffer);
}
