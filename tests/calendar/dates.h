// Small helpers shared by the calendar tests.
#pragma once

#include <libical/ical.h>

inline icaltimetype ymd(int year, int month, int day) {
    icaltimetype t = icaltime_null_time();
    t.year = year;
    t.month = month;
    t.day = day;
    return t;
}
