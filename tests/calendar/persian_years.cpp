// SPDX-License-Identifier: GPL-2.0-or-later
// Copyright (C) 2026 the Dayspinner authors
// Prints, for every Persian year from argv[1] to argv[2], the day number of
// 1 Farvardin and the lengths of its twelve months, one year a line, for
// test_persian_ephemeris.py to compare with an ephemeris.
#include "calendar/calendar.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    int first = std::atoi(argv[1]), last = std::atoi(argv[2]);
    for (int year = first; year <= last; ++year) {
        std::printf("%d %d", year, persian_to_jdn(year, 1, 1));
        for (int month = 1; month <= 12; ++month)
            std::printf(" %d", persian_month_length(month, year));
        std::printf("\n");
    }
    return 0;
}
