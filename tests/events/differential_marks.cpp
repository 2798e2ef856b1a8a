// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Prints the mark of every day of a range as the tile computes it: the file
// read by the tile's loader, every day asked of day_status. One line a day,
// "YYYYMMDD status" (0 none, 1 busy, 2 free only). The process's TZ is the
// user's zone.
//
//     differential_marks FILE FIRST LAST      (FIRST and LAST as YYYYMMDD)
#include "calendar/calendar.h"
#include "core/state.h"
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
    worker_time_scale = 10;  // answers are compared here, not the worker's bounds
    snprintf(app_state.ics_path, sizeof app_state.ics_path, "%s", argv[1]);
    load_events();
    for (int32_t n = gregorian_to_jdn(first); n <= gregorian_to_jdn(last); ++n) {
        icaltimetype day = icaltime_null_date();
        jdn_to_gregorian(n, &day);
        printf("%04d%02d%02d %d\n", day.year, day.month, day.day, day_status(day));
    }
    free_events();
    return 0;
}
