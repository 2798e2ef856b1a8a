#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Day marks of real client calendars, compared with an independent expansion.

The tile's answers come from differential_marks, a small program that reads
a calendar file through the tile's own loader and asks day_status for every
day of a range. The same file is expanded here with recurring_ical_events
(on python-dateutil and icalendar), each occurrence is placed on the days it
covers in the local time zone, and the two are compared day by day in every
zone named.

Conventions of the comparison, which the tile follows too: times in UTC or
with a known TZID are converted to local time, floating times and dates stay
as written; an occurrence covers its local days from its start up to its
end, the end exclusive (a day is covered when the end lies after its
midnight), and a zero-length occurrence covers its start day; cancelled
components and occurrences mark nothing; an event without SUMMARY marks its
days like any other; a busy event on a day wins over free ones (1 busy, 2
free, 0 none).

The reference library reads neither several RRULEs nor PERIOD values of
RDATE, so such components are first rewritten into equivalent ones it does
read: one copy per RRULE (the union of the copies is the recurrence set),
and one single event per PERIOD. X-WR-TIMEZONE is not applied: it is not a
property the tile reads.
"""
import argparse
import datetime
import glob
import os
import subprocess
import sys

try:
    import icalendar
    import pytz
    import recurring_ical_events
    from icalendar.prop import WINDOWS_TO_OLSON
    from icalendar.timezone_cache import _timezone_cache
except ImportError:
    # Debian's packages live in the system interpreter's dist-packages; a
    # python3 earlier in PATH (a virtual environment) may not see them.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

from zoneinfo import ZoneInfo

HERE = os.path.dirname(os.path.abspath(__file__))

# Windows display names the client files use without defining them, and the
# zone each stands for; the reference library knows only Windows zone IDs.
WINDOWS_DISPLAY_NAMES = {
    "(UTC-08:00) Pacific Time (US & Canada)": "America/Los_Angeles",
    "(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna": "Europe/Amsterdam",
    "(GMT+09.00) Osaka / Sapporo / Tokyo": "Asia/Tokyo",
}
WINDOWS_TO_OLSON.update(WINDOWS_DISPLAY_NAMES)
ONE_DAY = datetime.timedelta(days=1)


def zone_of(tzid):
    """The tzinfo the reference library gives a TZID, or None (floating)."""
    try:
        return pytz.timezone(tzid)
    except pytz.UnknownTimeZoneError:
        if tzid in WINDOWS_TO_OLSON:
            return pytz.timezone(WINDOWS_TO_OLSON[tzid])
        return _timezone_cache.get(tzid)


def as_list(value):
    if value is None:
        return []
    return value if isinstance(value, list) else [value]


def instant(value):
    """A comparable key for EXDATE matching: UTC for zoned, as is otherwise."""
    if isinstance(value, datetime.datetime) and value.tzinfo is not None:
        return value.astimezone(datetime.timezone.utc)
    return value


def periods_of(event):
    """(start, end) of every PERIOD value of the event's RDATEs, zoned."""
    out = []
    for rdates in as_list(event.get("RDATE")):
        tzid = rdates.params.get("TZID")
        for value in rdates.dts:
            if not isinstance(value.dt, tuple):
                continue
            start, end = value.dt
            if isinstance(end, datetime.timedelta):
                end = start + end
            zone = zone_of(tzid) if tzid else None
            if zone is not None and start.tzinfo is None:
                start, end = zone.localize(start), zone.localize(end)
            out.append((start, end))
    return out


def without_periods(event):
    """The event's RDATE properties with their PERIOD values left out."""
    kept = []
    for rdates in as_list(event.get("RDATE")):
        if any(isinstance(v.dt, tuple) for v in rdates.dts):
            values = [v.dt for v in rdates.dts if not isinstance(v.dt, tuple)]
            if values:
                kept.append(icalendar.prop.vDDDLists(values))
        else:
            kept.append(rdates)
    return kept


def rewritten(calendar):
    """A calendar the reference library can expand, with the same occurrences."""
    out = icalendar.Calendar()
    for key, value in calendar.items():
        out[key] = value
    for component in calendar.subcomponents:
        if component.name != "VEVENT":
            out.add_component(component)
            continue
        periods = periods_of(component)
        base = component.copy()
        if periods:
            del base["RDATE"]
            for rdates in without_periods(component):
                base.add("RDATE", rdates)
        rules = as_list(component.get("RRULE"))
        copies = []
        for rule in rules or [None]:
            piece = base.copy()
            if rule is not None:
                piece["RRULE"] = rule
            copies.append(piece)
        excluded = {instant(v.dt) for ex in as_list(component.get("EXDATE")) for v in ex.dts}
        for start, end in periods:
            if instant(start) in excluded:
                continue
            single = base.copy()
            for name in ("RRULE", "RDATE", "EXDATE", "DURATION"):
                if name in single:
                    del single[name]
            single["DTSTART"] = icalendar.prop.vDDDTypes(start)
            single["DTEND"] = icalendar.prop.vDDDTypes(end)
            copies.append(single)
        for piece in copies:
            out.add_component(piece)
    return out


def local(value, zone):
    if isinstance(value, datetime.datetime) and value.tzinfo is not None:
        return value.astimezone(zone)
    return value


def covered_days(start, end):
    """Local days an occurrence covers, its end exclusive."""
    first = start.date() if isinstance(start, datetime.datetime) else start
    if isinstance(end, datetime.datetime):
        last = end.date()
        if end.time() == datetime.time(0) and end > start:
            last -= ONE_DAY
    else:
        last = end - ONE_DAY
    last = max(first, last)
    day = first
    while day <= last:
        yield day
        day += ONE_DAY


def reference_marks(path, zone_name, first, last):
    """{date: (status, [summaries])} of the days from first to last."""
    zone = ZoneInfo(zone_name)
    with open(path, "rb") as f:
        calendar = rewritten(icalendar.Calendar.from_ical(f.read()))
    # Occurrences that start up to a year before the range may reach into it.
    span = recurring_ical_events.UnfoldableCalendar(calendar).between(
        first - datetime.timedelta(days=366), last + 2 * ONE_DAY
    )
    marks = {}
    for occurrence in span:
        if str(occurrence.get("STATUS", "")).upper() == "CANCELLED":
            continue
        busy = str(occurrence.get("TRANSP", "OPAQUE")).upper() != "TRANSPARENT"
        start = local(occurrence["DTSTART"].dt, zone)
        end = local(occurrence["DTEND"].dt, zone)
        for day in covered_days(start, end):
            if first <= day <= last:
                status, names = marks.get(day, (0, []))
                status = 1 if busy or status == 1 else 2
                marks[day] = (status, names + [str(occurrence.get("SUMMARY", "(no title)"))])
    return marks


def tile_marks(tool, path, zone_name, first, last):
    """{date: status} as the tile's own code gives them."""
    env = dict(os.environ, TZ=zone_name)
    args = [tool, path, first.strftime("%Y%m%d"), last.strftime("%Y%m%d")]
    output = subprocess.run(args, env=env, check=True, capture_output=True, text=True).stdout
    marks = {}
    for line in output.splitlines():
        day, status = line.split()
        marks[datetime.datetime.strptime(day, "%Y%m%d").date()] = int(status)
    return marks


def compare(tool, path, zone_name, first, last):
    """Lines describing every day on which the two disagree."""
    ours = tile_marks(tool, path, zone_name, first, last)
    theirs = reference_marks(path, zone_name, first, last)
    problems = []
    day = first
    while day <= last:
        expected, names = theirs.get(day, (0, []))
        got = ours.get(day)
        if got != expected:
            problems.append(
                f"{os.path.basename(path)} TZ={zone_name} {day:%a %Y-%m-%d}: "
                f"tile {got}, reference {expected} {names}"
            )
        day += ONE_DAY
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", help="the differential_marks program; without it, the "
                        "reference's marks in the first zone are printed, one line a marked "
                        "day: YYYYMMDD status")
    parser.add_argument("--first", default="20240101")
    parser.add_argument("--last", default="20251231")
    parser.add_argument("--zones", default="America/Chicago,Asia/Tehran")
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()
    first = datetime.datetime.strptime(args.first, "%Y%m%d").date()
    last = datetime.datetime.strptime(args.last, "%Y%m%d").date()
    files = args.files or sorted(glob.glob(os.path.join(HERE, "clients", "*.ics")))
    if not args.tool:
        for path in files:
            marks = reference_marks(path, args.zones.split(",")[0], first, last)
            for day, (status, _) in sorted(marks.items()):
                print(f"{day:%Y%m%d} {status}")
        return 0
    problems = []
    for path in files:
        for zone_name in args.zones.split(","):
            found = compare(args.tool, path, zone_name, first, last)
            days = (last - first).days + 1
            print(f"{os.path.basename(path)} TZ={zone_name}: {days - len(found)}/{days} days agree")
            problems += found
    for line in problems:
        print(line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
