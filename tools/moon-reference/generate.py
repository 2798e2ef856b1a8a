#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Writes the instants of the Moon's four principal phases from 1900 to 2100,
computed with PyEphem (Debian's python3-ephem), as the reference table of the
lunar-phase tests.

Usage: generate.py > tests/calendar/data/moon_phases_1900_2100.txt

Each line is "<phase> <julian date>": phase 0 new moon, 1 first quarter,
2 full moon, 3 last quarter; the Julian date in UT (PyEphem applies its own
Delta T), fraction 0 at noon, to 1e-6 day (0.09 s).
"""
import sys

import ephem

# PyEphem counts days from 1899 December 31, 12:00 UT (Dublin Julian Date).
DUBLIN_EPOCH_JD = 2415020.0

FINDERS = (
    (0, ephem.next_new_moon),
    (1, ephem.next_first_quarter_moon),
    (2, ephem.next_full_moon),
    (3, ephem.next_last_quarter_moon),
)


def phases(start, end):
    found = []
    for phase, finder in FINDERS:
        when = finder(start)
        while when < end:
            found.append((float(when), phase))
            when = finder(when + 1)
    found.sort()
    return found


def main():
    start = ephem.Date("1900/1/1 00:00:00")
    end = ephem.Date("2101/1/1 00:00:00")
    out = sys.stdout
    out.write("# Moon phases 1900-2100 from PyEphem %s: phase (0 new, 1 first quarter,"
              " 2 full, 3 last quarter), Julian date UT\n" % ephem.__version__)
    for when, phase in phases(start, end):
        out.write("%d %.6f\n" % (phase, when + DUBLIN_EPOCH_JD))


if __name__ == "__main__":
    main()
