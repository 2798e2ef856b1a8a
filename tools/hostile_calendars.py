#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Calendar files that once crashed, froze or bloated the tile, one per class.

Every file also holds the ordinary events of MARKED_DAYS in July 2026, which
must keep their marks whatever the rest of the file does.

    hostile_calendars.py CLASS FILE [--small]   write one file
    hostile_calendars.py --seeds DIR            the small version of each class
    hostile_calendars.py --list
"""

import sys

MARKED_DAYS = (10, 20)  # July 2026: all-day events
HUGE_SUMMARY_DAY = 12   # the timed event with the huge summary
NESTING_DAY = 14        # the event the deep nesting hangs under


def event(start, summary):
    """start: the DTSTART line after its name, parameters included."""
    return "BEGIN:VEVENT\r\nUID:%s\r\nDTSTART%s\r\nSUMMARY:%s\r\nEND:VEVENT\r\n" % (
        summary.replace(" ", "-"), start, summary)


def marked_events():
    return "".join(event(";VALUE=DATE:202607%02d" % d, "Marked %d" % d) for d in MARKED_DAYS)


def calendar(body):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner//hostile//EN\r\n"
            + marked_events() + body + "END:VCALENDAR\r\n")


def zone(tzid, rule, dtstart="19700101T000000"):
    return ("BEGIN:VTIMEZONE\r\nTZID:%s\r\nBEGIN:STANDARD\r\nDTSTART:%s\r\n%s\r\n"
            "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nTZNAME:X\r\nEND:STANDARD\r\n"
            "END:VTIMEZONE\r\n" % (tzid, dtstart, rule))


def zoned_rule(rule, dtstart="19700101T000000"):
    """A zone whose only rule is rule, used by one event on 18 July."""
    def make(small):
        return calendar(zone("Hostile/Zone", rule, dtstart)
                        + event(";TZID=Hostile/Zone:20260718T100000", "zoned"))
    return make


def deep_nesting(small):
    """Events nested in one another under a readable event: the library frees
    them recursively."""
    levels = 200 if small else 300000
    return calendar("BEGIN:VEVENT\r\nUID:nest\r\nDTSTART:202607%02dT090000\r\nSUMMARY:nest\r\n"
                    % NESTING_DAY + "BEGIN:VEVENT\r\n" * levels + "END:VEVENT\r\n" * levels
                    + "END:VEVENT\r\n")


def many_zones(small):
    """Distinct zone definitions, each used by one event of 2001."""
    count = 10 if small else 10000
    body = []
    for n in range(count):
        body.append("BEGIN:VTIMEZONE\r\nTZID:Many/Zone%d\r\n"
                    "BEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
                    "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10\r\nTZOFFSETFROM:+0200\r\n"
                    "TZOFFSETTO:+0100\r\nEND:STANDARD\r\nBEGIN:DAYLIGHT\r\n"
                    "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3\r\n"
                    "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
                    % n)
        body.append(event(";TZID=Many/Zone%d:200103%02dT100000" % (n, n % 28 + 1), "zone %d" % n))
    return calendar("".join(body))


def huge_summary(small):
    size = 8192 if small else 30 << 20
    return calendar("BEGIN:VEVENT\r\nUID:huge\r\nDTSTART:202607%02dT100000\r\n"
                    "DTEND:202607%02dT110000\r\nSUMMARY:" % (HUGE_SUMMARY_DAY, HUGE_SUMMARY_DAY)
                    + "long summary " * (size // 13) + "\r\nEND:VEVENT\r\n")


def big_holding(small):
    """Rules that never match, padded with descriptions to just under the
    size bound of a file (32 MiB)."""
    rules, target = (20, 0) if small else (2000, 32900000)
    pad = max(0, (target // rules - 200) // 76)
    body = []
    for n in range(rules):
        body.append("BEGIN:VEVENT\r\nUID:held-%d\r\nDTSTART:20260701T%02d0000\r\n"
                    "RRULE:FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30\r\nSUMMARY:held %d\r\n"
                    "DESCRIPTION:padding" % (n, n % 24, n)
                    + ("\r\n " + "x" * 73) * pad + "\r\nEND:VEVENT\r\n")
    return calendar("".join(body))


CLASSES = {
    "crashing-zone": zoned_rule("RRULE:FREQ=YEARLY;BYWEEKNO=10", "19700718T100000"),
    "holding-zone": zoned_rule("RRULE:FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30"),
    "holding-zone-secondly": zoned_rule("RRULE:FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30"),
    "deep-nesting": deep_nesting,
    "many-zones": many_zones,
    "huge-summary": huge_summary,
    "big-holding": big_holding,
}


def write(name, path, small=False):
    with open(path, "w", newline="") as f:
        f.write(CLASSES[name](small))


def main(argv):
    if argv[:1] == ["--list"]:
        print("\n".join(CLASSES))
    elif argv[:1] == ["--seeds"] and len(argv) == 2:
        for name in CLASSES:
            write(name, "%s/%s.ics" % (argv[1], name), small=True)
    elif len(argv) in (2, 3) and argv[0] in CLASSES:
        write(argv[0], argv[1], small=argv[2:] == ["--small"])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
