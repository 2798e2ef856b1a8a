// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Small helpers shared by the calendar tests.
#pragma once

#include <gtest/gtest.h>
#include <libical/ical.h>

inline icaltimetype ymd(int year, int month, int day) {
    icaltimetype t = icaltime_null_time();
    t.year = year;
    t.month = month;
    t.day = day;
    return t;
}

// Checks the year, month and day of a date; other fields are not looked at.
inline void expect_date(icaltimetype d, int year, int month, int day) {
    EXPECT_EQ(d.year, year);
    EXPECT_EQ(d.month, month);
    EXPECT_EQ(d.day, day);
}
