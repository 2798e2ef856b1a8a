// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The pointer zones of the 64 x 64 face and what a press in each does.
#include "core/core.h"
#include "core/state.h"
#include "events/events.h"
#include "face/face.h"
#include "settings/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The face refuses offsets outside the range its calendar arithmetic covers.
static void step_month(int delta) {
    int offset = app_state.month_offset + delta;
    if (month_offset_in_range(app_state.calendar_kind, offset, clock_today(), 0) != 0)
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
    // The shell returns at once: the command runs in the background.
    int status = std::system(line);
    (void)status;
}

static void press_day(int x, int y) {
    icaltimetype day;
    if (day_at_point(face_of_state(), x, y, &day) == 0) return;
    if (icaltime_is_null_time(app_state.highlight_date))
        app_state.highlight_date = day;
    else
        app_state.highlight_date = icaltime_null_time();
}

enum zone_action {
    zone_previous,
    zone_next,
    zone_bar,
    zone_moon,
    zone_settings,
    zone_calendar,
    zone_application
};

struct zone_record {
    int x0, x1, y0, y1;  // inclusive bounds in icon-window pixels
    bool needs_bar;      // reacts only while the button bar is shown
    zone_action action;
};

// Tested in this order; the first match decides. The bar toggle corner starts
// one line below the buttons of the bar.
static const zone_record zones[] = {
    {0, 11, 0, 11, false, zone_previous},     {51, 63, 0, 11, false, zone_next},
    {53, 63, 57, 63, false, zone_bar},        {38, 45, 56, 63, true, zone_moon},
    {47, 51, 56, 63, true, zone_settings},    {29, 36, 56, 63, true, zone_calendar},
    {20, 27, 56, 63, true, zone_application},
};

static void press_left(int x, int y, uint64_t time) {
    for (const zone_record &z : zones) {
        if (x < z.x0 || x > z.x1 || y < z.y0 || y > z.y1) continue;
        if (z.needs_bar && app_state.buttons_shown == 0) continue;
        switch (z.action) {
        case zone_previous: step_month(-1); break;
        case zone_next: step_month(1); break;
        case zone_bar: app_state.buttons_shown = 1 - app_state.buttons_shown; break;
        case zone_moon: app_state.moon_view = 1 - app_state.moon_view; break;
        case zone_settings: open_settings_dialog(settings_of_state(), apply_settings); break;
        case zone_calendar: app_state.calendar_kind = (app_state.calendar_kind + 1) % 3; break;
        case zone_application: press_application_button(time); break;
        }
        return;
    }
    press_day(x, y);
}

void handle_button(unsigned button, int x, int y, uint64_t time, int root_x, int root_y) {
    switch (button) {
    case 1: press_left(x, y, time); break;
    case 2: app_state.month_offset = 0; break;
    case 3: {
        icaltimetype day;
        if (day_at_point(face_of_state(), x, y, &day) != 0)
            open_day_view(day, press_place{root_x, root_y, x, y, time});
        break;
    }
    case 4: step_month(-1); break;
    case 5: step_month(1); break;
    default: break;
    }
    // No real month is 0: the refresh that follows repaints the whole face.
    app_state.last_face_date.month = 0;
}
