// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Prints the mark of every day of a range as the tile holds it: the file
// read by a real engine, every day asked of day_status. One line a day,
// "YYYYMMDD status" (0 none, 1 busy, 2 free only). The process's TZ is the
// user's zone.
//
//     differential_marks FILE FIRST LAST      (FIRST and LAST as YYYYMMDD)
#include "calendar/calendar.h"
#include "events/events.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int read_day(const char *text, icaltimetype *day) {
    int y = 0, m = 0, d = 0;
    if (strlen(text) != 8 || sscanf(text, "%4d%2d%2d", &y, &m, &d) != 3) return 0;
    *day = icaltime_null_date();
    day->year = y;
    day->month = m;
    day->day = d;
    return m >= 1 && m <= 12 && d >= 1 && d <= gregorian_month_length(m, y);
}

}  // namespace

int main(int argc, char **argv) {
    icaltimetype first, last;
    if (argc != 4 || !read_day(argv[2], &first) || !read_day(argv[3], &last)) {
        fprintf(stderr, "usage: %s FILE FIRST LAST (days as YYYYMMDD)\n", argv[0]);
        return 2;
    }
    // Answers are compared here, not the engine's deadlines: ten times longer.
    load_events({argv[1], 0, "differential_marks", 10, {}, TEST_ENGINE});
    settle_events(600000);
    for (int32_t n = gregorian_to_jdn(first); n <= gregorian_to_jdn(last); ++n) {
        if (n == gregorian_to_jdn(first) || n % 28 == 0) {
            ask_days({n, n + 27});
            settle_events(600000);
        }
        icaltimetype day = icaltime_null_date();
        jdn_to_gregorian(n, &day);
        printf("%04d%02d%02d %d\n", day.year, day.month, day.day, day_status(day));
    }
    stop_events();
    return 0;
}
