// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The displayed month's days, and the debugging line that says what the face
// shows of them, for scripts and tests to wait on.
#include "core/core.h"
#include "core/state.h"

#include "calendar/calendar.h"
#include "events/events.h"

#include <cstdio>
#include <string>

namespace {

int shown_kind() {
    int k = app_state.calendar_kind;
    return k >= 0 && k <= 2 ? k : 0;
}

// Days of the displayed month with the mark, as "5,12", or "-" for none.
std::string days_marked(int mark, int64_t first, int length) {
    std::string out;
    for (int d = 1; d <= length; ++d) {
        icaltimetype day = icaltime_null_date();
        jdn_to_gregorian(first + d - 1, &day);
        if (day_status(day) != mark) continue;
        if (!out.empty()) out += ",";
        out += std::to_string(d);
    }
    return out.empty() ? "-" : out;
}

}  // namespace

day_range displayed_days() {
    int kind = shown_kind();
    icaltimetype first = app_state.today, gregorian = icaltime_null_date();
    first.day = 1;
    to_gregorian(kind, first, &gregorian);
    int64_t n = gregorian_to_jdn(gregorian);
    return {n, n + days_in_month(first.month, first.year, kind) - 1};
}

void print_shown() {
    static std::string last;
    if (!app_state.debug_level) return;
    static const char *const names[] = {"gregorian", "persian", "islamic"};
    int kind = shown_kind();
    icaltimetype today = app_state.today_gregorian;
    if (kind == 1) gregorian_to_persian(app_state.today_gregorian, &today);
    if (kind == 2) gregorian_to_islamic(app_state.today_gregorian, &today);
    day_range days = displayed_days();
    int length = static_cast<int>(days.last - days.first + 1);
    char head[96];
    snprintf(head, sizeof head, "shown: %s %04d-%02d today %04d-%02d-%02d", names[kind],
             app_state.today.year, app_state.today.month, today.year, today.month, today.day);
    std::string line = std::string(head) + " busy " + days_marked(1, days.first, length) +
                       " free " + days_marked(2, days.first, length) + " pending " +
                       std::to_string(events_pending(days));
    if (line == last) return;
    last = line;
    printf("%s\n", line.c_str());
}
