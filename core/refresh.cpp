// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The steps of a refresh: app_state handed to the face as values, and the
// month's marks collected from the events and the moon for it.
#include "calendar/calendar.h"
#include "core/core.h"
#include "core/state.h"
#include "events/events.h"
#include "face/face.h"

#include <ctime>

icaltimetype clock_today() {
    time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    icaltimetype today = icaltime_null_time();
    today.year = local.tm_year + 1900;
    today.month = local.tm_mon + 1;
    today.day = local.tm_mday;
    return today;
}

face_record face_of_state() {
    face_record face;
    face.calendar_kind = app_state.calendar_kind;
    face.language = app_state.language;
    face.week_start = app_state.week_start;
    face.icon_kind = app_state.icon_kind;
    face.moon_view = app_state.moon_view;
    face.buttons_shown = app_state.buttons_shown;
    face.month = app_state.today;
    face.today = app_state.today_gregorian;
    face.highlight = app_state.highlight_date;
    face.hijri_adjust = app_state.hijri_adjust;
    face.hijri = app_state.hijri;
    face.calendar_unread = calendar_given_up();
    face.reminding = reminders_waiting() > 0;
    return face;
}

int shows_holiday(icaltimetype day) {
    return app_state.holidays == 1 && iran_holidays(day, app_state.hijri_adjust).rest_day();
}

month_marks marks_of_month(const face_record &face) {
    month_marks marks;
    int n = days_shown(face);
    for (int d = 1; d <= n && d <= 31; d++) {
        icaltimetype day = gregorian_of_day(face, d);
        if (face.moon_view) marks.phase[d - 1] = moon_phase_of_day(day);
        marks.status[d - 1] = day_status(day);
        marks.holiday[d - 1] = shows_holiday(day);
    }
    return marks;
}

void refresh_today() {
    app_state.today_gregorian = clock_today();
    app_state.today =
        displayed_month(app_state.calendar_kind, app_state.month_offset, app_state.today_gregorian,
                        app_state.hijri_adjust, app_state.hijri);
}

void check_new_day() {
    if (date_equal(app_state.today, app_state.last_face_date)) return;
    draw_empty_face(face_of_state());
    app_state.last_face_date = app_state.today;
}

void draw_button_bar() {
    face_record face = face_of_state();
    draw_button_bar(face);
    draw_unread_mark(face);
    draw_reminder_mark(face);
}

void draw_grid() {
    face_record face = face_of_state();
    draw_grid(face, marks_of_month(face));
}

void draw_header() { draw_header(face_of_state()); }
