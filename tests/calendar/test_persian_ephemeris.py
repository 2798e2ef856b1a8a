#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The Persian years of the program against the official rule, computed from
PyEphem (Debian's python3-ephem): a year begins on the day, at the 52.5 E
meridian (UTC+03:30), of the March equinox when the equinox falls before the
Sun's transit there, else on the next day.

Usage: test_persian_ephemeris.py <persian_years binary>
Checks every year begun from 1800 to 2122 CE: its 1 Farvardin, its month
lengths, and that its Esfand ends the day before the next year's Nowruz.
"""
import datetime
import subprocess
import sys

import ephem

FIRST_CE, LAST_CE = 1800, 2122
ZONE = 3.5 * ephem.hour  # UTC+03:30, the mean time of 52.5 E
ORDINAL_TO_JDN = 1721425  # date.toordinal() + this is the Julian day number


def nowruz(year_ce):
    """Julian day number of 1 Farvardin of the year that begins in year_ce."""
    equinox = ephem.next_equinox(ephem.Date(f"{year_ce}/3/1"))
    local_day = ephem.Date(equinox + ZONE).datetime().date()
    site = ephem.Observer()
    site.lon, site.lat, site.pressure = "52.5", "35.7", 0
    site.date = ephem.Date(datetime.datetime.combine(local_day, datetime.time())) - ZONE
    noon = site.next_transit(ephem.Sun())
    if equinox >= noon:
        local_day += datetime.timedelta(days=1)
    return local_day.toordinal() + ORDINAL_TO_JDN


def main():
    first, last = FIRST_CE - 621, LAST_CE - 621
    out = subprocess.run([sys.argv[1], str(first), str(last + 1)], check=True,
                         capture_output=True, text=True).stdout
    program = {}
    for line in out.splitlines():
        fields = [int(f) for f in line.split()]
        program[fields[0]] = (fields[1], fields[2:])
    official = {year_ce - 621: nowruz(year_ce) for year_ce in range(FIRST_CE, LAST_CE + 2)}

    wrong = []
    for year in range(first, last + 1):
        start, lengths = program[year]
        esfand = official[year + 1] - official[year] - 336
        expected = [31] * 6 + [30] * 5 + [esfand]
        if start != official[year] or lengths != expected:
            wrong.append(f"{year}: starts {start}, months {lengths}; "
                         f"official {official[year]}, {expected}")
    for line in wrong[:10]:
        print(line)
    print(f"{last - first + 1 - len(wrong)} of {last - first + 1} years agree "
          f"({first} to {last}, begun {FIRST_CE} to {LAST_CE})")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
