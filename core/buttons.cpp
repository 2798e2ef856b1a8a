// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The pointer zones of the 64 x 64 face and what a press in each does: one
// table maps a button and a zone to its handler.
#include "calendar/calendar.h"
#include "core/core.h"
#include "core/language.h"
#include "core/state.h"
#include "dayview/day_view.h"
#include "events/events.h"
#include "face/face.h"
#include "settings/settings.h"

#include <glib/gi18n-lib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

// The face refuses offsets outside the range its calendar arithmetic covers.
static void step_month(int delta) {
    int offset = app_state.month_offset + delta;
    if (month_offset_in_range(app_state.calendar_kind, offset, clock_today(),
                              app_state.hijri_adjust, app_state.hijri) != 0)
        app_state.month_offset = offset;
}

int build_launch_line(const char *command, char *out) {
    out[0] = '\0';
    // The command's own storage holds launch_line_size bytes and may lack a terminator.
    std::size_t length = strnlen(command, launch_line_size);
    // A cut command could run something other than what was configured: refuse instead.
    if (length == 0 || length + sizeof " &" > launch_line_size) return 0;
    std::memcpy(out, command, length);
    std::memcpy(out + length, " &", sizeof " &");
    return 1;
}

int is_double_click(int armed, uint64_t armed_time, uint64_t time) {
    uint32_t elapsed = static_cast<uint32_t>(time) - static_cast<uint32_t>(armed_time);
    return armed != 0 && elapsed <= 399;
}

static void press_application_button(uint64_t time) {
    if (!is_double_click(app_state.launch_armed, app_state.launch_time, time)) {
        app_state.launch_armed = 1;
        app_state.launch_time = time;
        return;
    }
    app_state.launch_armed = 0;
    char line[launch_line_size];
    if (build_launch_line(get_app_command(), line) == 0) {
        if (get_app_command()[0] != '\0')
            std::fprintf(stderr, "%s: application command longer than %zu bytes, not started\n",
                         program_name, launch_line_size - sizeof " &");
        return;
    }
    // The shell returns at once: the command runs in the background, in the
    // user's language rather than the one the tile may have chosen.
    int status = system_with_user_language(line);
    (void)status;
}

// Where a press lands. The zones are tested in the order of zone_bounds; a
// press in none of them is on the days (which may find no day).
enum zone_id {
    zone_any,
    zone_previous,
    zone_next,
    zone_bar,
    zone_moon,
    zone_settings,
    zone_calendar,
    zone_application,
    zone_days
};

// What the press: debugging line calls each zone, in the order of zone_id.
static const char *const zone_names[] = {"any",      "corner-left", "corner-right",
                                         "handle",   "moon",        "settings",
                                         "calendar", "application", "days"};
static_assert(std::size(zone_names) == zone_days + 1, "a name for each zone");

struct zone_record {
    int x0, x1, y0, y1;  // inclusive bounds in icon-window pixels
    bool needs_bar;      // only while the button bar is shown
    zone_id zone;
};

// The bar toggle corner starts one line below the buttons of the bar.
static const zone_record zone_bounds[] = {
    {0, 11, 0, 11, false, zone_previous},     {51, 63, 0, 11, false, zone_next},
    {53, 63, 57, 63, false, zone_bar},        {38, 45, 56, 63, true, zone_moon},
    {47, 51, 56, 63, true, zone_settings},    {29, 36, 56, 63, true, zone_calendar},
    {20, 27, 56, 63, true, zone_application},
};

static zone_id zone_at(int x, int y) {
    for (const zone_record &z : zone_bounds) {
        if (x < z.x0 || x > z.x1 || y < z.y0 || y > z.y1) continue;
        if (z.needs_bar && app_state.buttons_shown == 0) continue;
        return z.zone;
    }
    return zone_days;
}

struct press_record {
    int x, y;            // on the tile
    uint64_t time;       // X server time, ms
    int root_x, root_y;  // on the screen
};

static void move_month(const press_record &, int delta) { step_month(delta); }
static void back_to_today(const press_record &, int) { app_state.month_offset = 0; }
static void toggle_bar(const press_record &, int) {
    app_state.buttons_shown = 1 - app_state.buttons_shown;
}
static void toggle_moon(const press_record &, int) {
    app_state.moon_view = 1 - app_state.moon_view;
}
static void next_calendar(const press_record &, int) {
    app_state.calendar_kind = (app_state.calendar_kind + 1) % 3;
}
// A setting applied in the open dialog reaches the face at once, repainted
// whole: the language and the week start change the weekday header.
static void apply_and_show(const settings_record &s, unsigned parts) {
    apply_settings(s, parts);
    app_state.last_face_date.month = 0;
    request_refresh();
}
// Each window is laid out in the direction of the program's language.
static void open_settings(const press_record &, int) {
    set_window_direction();
    open_settings_dialog(settings_of_state(), apply_and_show);
}
static void application(const press_record &p, int) { press_application_button(p.time); }

// A click on a day highlights it when nothing is highlighted, and removes
// the highlight otherwise; it never moves it.
static void toggle_highlight(const press_record &p, int) {
    icaltimetype day;
    if (day_at_point(face_of_state(), p.x, p.y, &day) == 0) return;
    if (icaltime_is_null_time(app_state.highlight_date))
        app_state.highlight_date = day;
    else
        app_state.highlight_date = icaltime_null_time();
}

// The names of the day's holidays, in the program's language, when the face
// shows holidays; a Friday that is no other holiday has none.
static std::vector<std::string> holiday_names(icaltimetype day) {
    std::vector<std::string> names;
    if (app_state.holidays != 1) return names;
    day_holidays h = iran_holidays(day, app_state.hijri_adjust);
    for (int i = 0; i < h.count; ++i) names.emplace_back(_(holiday_name(h.names[i])));
    return names;
}

static void view_day(const press_record &p, int) {
    icaltimetype day;
    if (day_at_point(face_of_state(), p.x, p.y, &day) == 0) return;
    set_window_direction();
    view_calendar calendar{app_state.calendar_kind, app_state.hijri, app_state.hijri_adjust,
                           app_state.language, current_program_language()};
    open_day_view(day, press_place{p.root_x, p.root_y, p.x, p.y, p.time}, holiday_names(day),
                  calendar);
}

struct button_row {
    unsigned button;
    zone_id zone;  // zone_any: wherever the press lands
    void (*handler)(const press_record &press, int arg);
    int arg;
};

// The first row that matches the button and the zone decides; a press that
// matches none changes nothing.
static const button_row buttons[] = {
    {1, zone_previous, move_month, -1},    {1, zone_next, move_month, 1},
    {1, zone_bar, toggle_bar, 0},          {1, zone_moon, toggle_moon, 0},
    {1, zone_settings, open_settings, 0},  {1, zone_calendar, next_calendar, 0},
    {1, zone_application, application, 0}, {1, zone_days, toggle_highlight, 0},
    {2, zone_any, back_to_today, 0},       {3, zone_any, view_day, 0},
    {4, zone_any, move_month, -1},         {5, zone_any, move_month, 1},
};

void handle_button(unsigned button, int x, int y, uint64_t time, int root_x, int root_y) {
    const zone_id zone = zone_at(x, y);
    for (const button_row &row : buttons) {
        if (row.button != button || (row.zone != zone_any && row.zone != zone)) continue;
        row.handler({x, y, time, root_x, root_y}, row.arg);
        // Once the press has been acted on: a script may wait for this line.
        if (app_state.debug_level) {
            std::printf("press: %u %s\n", button, zone_names[zone]);
            std::fflush(stdout);
        }
        break;
    }
    // No real month is 0: the refresh that follows repaints the whole face.
    app_state.last_face_date.month = 0;
}
