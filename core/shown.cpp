// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// The displayed month's days, and the debugging line that says what the face
// shows of them, for scripts and tests to wait on.
#include "core/core.h"
#include "core/state.h"

#include "calendar/calendar.h"
#include "events/events.h"
#include "face/face.h"

#include <cstdio>
#include <string>

namespace {

// Days of the displayed month whose Gregorian day passes the test, as
// "5,12", or "-" for none.
template <typename Test> std::string days_where(const face_record &face, Test test) {
    std::string out;
    for (int d = 1; d <= days_shown(face); ++d) {
        if (!test(gregorian_of_day(face, d))) continue;
        if (!out.empty()) out += ",";
        out += std::to_string(d);
    }
    return out.empty() ? "-" : out;
}

std::string days_marked(int mark, const face_record &face) {
    return days_where(face, [mark](icaltimetype day) { return day_status(day) == mark; });
}

}  // namespace

day_range displayed_days() {
    face_record face = face_of_state();
    return {gregorian_to_jdn(gregorian_of_day(face, 1)),
            gregorian_to_jdn(gregorian_of_day(face, days_shown(face)))};
}

void print_shown() {
    static std::string last;
    if (!app_state.debug_level) return;
    static const char *const names[] = {"gregorian", "persian", "islamic"};
    face_record face = face_of_state();
    int kind = face.calendar_kind >= 0 && face.calendar_kind <= 2 ? face.calendar_kind : 0;
    icaltimetype today = today_in_calendar(kind, face.today, face.hijri_adjust, face.hijri);
    char head[96];
    snprintf(head, sizeof head, "shown: %s %04d-%02d today %04d-%02d-%02d", names[kind],
             face.month.year, face.month.month, today.year, today.month, today.day);
    std::string line = std::string(head) + " busy " + days_marked(1, face) + " free " +
                       days_marked(2, face) + " holiday " + days_where(face, shows_holiday) +
                       " pending " + std::to_string(events_pending(displayed_days())) + " unread " +
                       std::to_string(face.calendar_unread) + " reminders " +
                       std::to_string(reminders_waiting());
    if (line == last) return;
    last = line;
    printf("%s\n", line.c_str());
}
