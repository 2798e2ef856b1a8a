# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Calendar events on the docked tile: busy and free days coloured from the
calendar file, new marks after the file is rewritten, and the day view that
a right click on a marked day opens, closed by its " X " or by the window
manager's close request, after which the tile reacts again."""

import datetime
import pathlib
import random
import subprocess
import sys
import time
import unittest
from zoneinfo import ZoneInfo

import harness

# 15 January 2024 is a Monday; with Monday first, day d of January 2024 lies
# in column (d - 1) % 7, row (d - 1) // 7 of 9 x 7 cells from y 20.
DATE = "2024-01-15 10:00:00"
SETTINGS = "APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n"
BUSY, FREE = (0x82, 0x94, 0xFF), (0x8E, 0xE8, 0x00)


def event(day, summary, free=False):
    lines = ["BEGIN:VEVENT", "DTSTART;VALUE=DATE:202401%02d" % day,
             "DTEND;VALUE=DATE:202401%02d" % (day + 1), "SUMMARY:" + summary]
    if free:
        lines.append("TRANSP:TRANSPARENT")
    return "\r\n".join(lines + ["END:VEVENT", ""])


def calendar(*events):
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner e2e//EN\r\n" + "".join(events) + "END:VCALENDAR\r\n"


# Also on the 20th: an untitled timed event, and escaped texts.
VIEWED_TOO = (
    "BEGIN:VEVENT\r\nDTSTART:20240120T093000\r\nDTEND:20240120T101500\r\nEND:VEVENT\r\n",
    "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20240120\r\nSUMMARY:Lunch\\, with Bob\\; bring notes\r\n"
    "LOCATION:Cafe\\nFloor 2\r\nEND:VEVENT\r\n")


def marks(image):
    """Days of January whose cell shows the busy or the free ground."""
    return image.days_in(BUSY), image.days_in(FREE)


class EventsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(
            settings=SETTINGS, calendar=calendar(event(10, "Dentist"), event(12, "Concert", free=True)))
        cls.path = cls.session.home / harness.CALENDAR_PATH
        # A current settings file without ICS leaves the path empty: name it.
        (cls.session.home / harness.SETTINGS_NAME).write_text(SETTINGS + "ICS=%s\n" % cls.path)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.path.write_text(calendar(event(10, "Dentist"), event(12, "Concert", free=True)))
        env = {"LC_ALL": "C.UTF-8"}  # English day names, C date formats
        self.tile = self.session.start_tile(args=["-d"], date=DATE, env=env)
        self.addCleanup(lambda: self.tile.running() and self.tile.close_and_wait())

    def wait_marks(self, busy, free, what):
        try:
            return self.tile.wait_image(lambda im: marks(im) == (busy, free), timeout=10)
        except AssertionError:
            self.tile.save_png("/tmp/test_events_last.png")
            raise AssertionError("the tile never showed %s; it shows %r" % (what, marks(self.tile.image())))

    def day_view(self, title, timeout=10):
        """Id of the visible window titled title, once it is mapped."""
        def find():
            result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % title],
                                    env=self.session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            ids = result.stdout.split()
            return ids[0].decode() if ids else None
        return harness.wait_for(find, timeout, 0.1)

    def gone(self, window, timeout=10):
        def closed():
            result = subprocess.run(["xdotool", "getwindowname", window], env=self.session.env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if result.returncode != 0:
                return True
            visible = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                                     env=self.session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            return window.encode() not in visible.stdout.split()
        return harness.wait_for(closed, timeout, 0.1)

    def geometry(self, window):
        shell = self.session.xdotool("getwindowgeometry", "--shell", window).stdout.decode()
        return {k: int(v) for k, v in (line.split("=") for line in shell.split()) if k != "SCREEN"}

    def open_view_on_20th(self):
        # The file rewritten: other days, other size; a middle click (the
        # current month) forces the refresh that reads it.
        self.path.write_text(calendar(event(20, "Flight to Lisbon"), event(22, "Beach day", free=True),
                                      event(23, "Museum"), *VIEWED_TOO))
        self.tile.click(30, 40, button=2)
        self.wait_marks({20, 23}, {22}, "the marks of the rewritten file")
        x0, y0, _, _ = harness.day_box(20)
        self.tile.click(x0 + 4, y0 + 3, button=3)
        window = self.day_view("Saturday, 01/20/24")
        self.assertIsNotNone(window, "no day view titled with 20 January 2024 appeared")
        # Laid out: wider than its " X ".
        self.assertTrue(harness.wait_for(lambda: self.geometry(window)["WIDTH"] > 60, 5))
        # With -d, one line per row: the time text, a tab, the summary as
        # shown, on one line; all-day events first (in the list's order, the
        # file's reversed), then the timed ones.
        rows = [line for line in self.tile.stdout().splitlines() if line.startswith("view: ")]
        self.assertEqual(rows, ["view: all day event\tLunch, with Bob; bring notes Cafe Floor 2",
                                "view: all day event\tFlight to Lisbon",
                                "view: 09:30 - 10:15\t(no title)"])
        return window

    def assert_tile_reacts(self):
        # The wheel moves to February: the January marks leave the face.
        before = self.tile.image()
        self.tile.click(30, 40, button=5)
        self.tile.wait_image(lambda im: im.differs(before) and not marks(im)[0] & {20, 23}, timeout=10)
        # The debugging lines reach the file when the process ends.
        self.assertEqual(self.tile.close_and_wait(), 0)
        self.assertIn("read: 20.1.2024 - 21.1.2024 Flight to Lisbon\n", self.tile.stdout())

    def test_busy_and_free_days_follow_the_file_and_the_day_view_closes_on_its_x(self):
        self.wait_marks({10}, {12}, "busy 10 and free 12 January")
        window = self.open_view_on_20th()
        # The view opens at the pointer, by the dock at the screen's right
        # edge, and must lie wholly on the 1024 x 768 screen.
        g = self.geometry(window)
        self.assertTrue(g["X"] >= 0 and g["Y"] >= 0 and g["X"] + g["WIDTH"] <= 1024
                        and g["Y"] + g["HEIGHT"] <= 768, "the day view reaches off the screen: %r" % g)
        # Its right end, with the " X ", lies under the dock, which Window
        # Maker keeps above other windows: drag the view away by its heading.
        self.session.xdotool("mousemove", "--sync", "--window", window, 20, 8)
        self.session.xdotool("mousedown", 1)
        for _ in range(10):
            self.session.xdotool("mousemove_relative", "--", -30, 20)
            time.sleep(0.05)
        self.session.xdotool("mouseup", 1)
        moved = harness.wait_for(lambda: (lambda m: m if m["X"] <= g["X"] - 250 and m["Y"] >= g["Y"] + 150
                                          else None)(self.geometry(window)), 5)
        self.assertIsNotNone(moved, "dragging the heading did not move the view: %r" % self.geometry(window))
        # " X " ends the heading row, at the right edge of the window.
        self.session.xdotool("mousemove", "--sync", "--window", window, moved["WIDTH"] - 6, 8)
        self.session.xdotool("click", 1)
        self.assertTrue(self.gone(window), "the day view stayed open after a click on its X")
        self.assert_tile_reacts()

    def test_close_request_of_the_window_manager_closes_the_day_view(self):
        window = self.open_view_on_20th()
        self.session.helper("close", window)
        self.assertTrue(self.gone(window), "the day view stayed open after the close request")
        self.assert_tile_reacts()


class CrashingRuleTest(unittest.TestCase):
    """A rule on which the recurrence library crashes: the tile lives on."""

    # July 2026 begins on a Wednesday: column 2 with Monday first.
    DATE = "2026-07-15 10:00:00"
    CALENDAR = calendar(
        "BEGIN:VEVENT\r\nDTSTART:20260718T100000\r\nRRULE:FREQ=YEARLY;BYWEEKNO=10\r\n"
        "SUMMARY:crash\r\nEND:VEVENT\r\n",
        "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260710\r\nSUMMARY:Dentist\r\nEND:VEVENT\r\n")

    @staticmethod
    def busy_days(image):
        return image.days_in(BUSY, first_column=2)  # 1 July 2026 is a Wednesday

    def test_the_month_is_drawn_and_the_wheel_answers_within_two_seconds(self):
        session = harness.Session(settings=SETTINGS, calendar=self.CALENDAR)
        self.addCleanup(session.close)
        path = session.home / harness.CALENDAR_PATH
        (session.home / harness.SETTINGS_NAME).write_text(SETTINGS + "ICS=%s\n" % path)
        tile = session.start_tile(args=["-d"], date=self.DATE)
        self.addCleanup(lambda: tile.running() and tile.close_and_wait())
        # The first instance of the rule and the other event are marked.
        tile.wait_image(lambda im: {10, 18} <= self.busy_days(im), timeout=10)
        before = tile.image()
        start = time.monotonic()
        tile.click(30, 40, button=5)
        tile.wait_image(lambda im: im.differs(before), timeout=5)
        self.assertLess(time.monotonic() - start, 2.0, "the wheel took too long to move the month")
        self.assertTrue(tile.running())
        self.assertEqual(tile.close_and_wait(), 0)


D = datetime.timedelta
WEEKDAYS = ("MO", "TU", "WE", "TH", "FR", "SA", "SU")
# Zones defined in the file, with their rules of recent years.
VTIMEZONES = {
    "Europe/Berlin": (("DAYLIGHT", "+0100", "+0200", "19700329T020000", "3;BYDAY=-1SU"),
                      ("STANDARD", "+0200", "+0100", "19701025T030000", "10;BYDAY=-1SU")),
    "America/New_York": (("DAYLIGHT", "-0500", "-0400", "20070311T020000", "3;BYDAY=2SU"),
                         ("STANDARD", "-0400", "-0500", "20071104T020000", "11;BYDAY=1SU")),
    "Australia/Sydney": (("STANDARD", "+1100", "+1000", "20080406T030000", "4;BYDAY=1SU"),
                         ("DAYLIGHT", "+1000", "+1100", "20081005T020000", "10;BYDAY=1SU")),
    "Asia/Tokyo": (("STANDARD", "+0900", "+0900", "19700101T000000", None),),
}


def value(name, when, zone):
    """NAME:... of a date, a floating time (zone None), a UTC or a zoned time."""
    if not isinstance(when, datetime.datetime):
        return "%s;VALUE=DATE:%s" % (name, when.strftime("%Y%m%d"))
    text = when.strftime("%Y%m%dT%H%M%S")
    if zone == "UTC":
        return "%s:%sZ" % (name, text)
    return "%s;TZID=%s:%s" % (name, zone, text) if zone else "%s:%s" % (name, text)


def until(last, zone):
    """UNTIL hours after the last start, in UTC for zoned starts."""
    if not isinstance(last, datetime.datetime):
        return last.strftime("%Y%m%d")
    later = last + D(hours=6)
    if not zone:
        return later.strftime("%Y%m%dT%H%M%S")
    later = later.replace(tzinfo=ZoneInfo(zone)).astimezone(datetime.timezone.utc)
    return later.strftime("%Y%m%dT%H%M%SZ")


def big_calendar(n, seed):
    """n events as a calendar kept for decades holds them: one-off timed,
    all-day and multi-day events; rules of days and weeks with COUNT or UNTIL,
    exceptions and moved or cancelled occurrences; rules of months and
    years, a few without end; floating, UTC and zoned times."""
    rng = random.Random(seed)
    out = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//dayspinner e2e//big//EN"]
    for tzid, parts in VTIMEZONES.items():
        out += ["BEGIN:VTIMEZONE", "TZID:" + tzid]
        for kind, before, after, start, rule in parts:
            out += ["BEGIN:" + kind, "TZOFFSETFROM:" + before, "TZOFFSETTO:" + after,
                    "DTSTART:" + start]
            out += ["RRULE:FREQ=YEARLY;BYMONTH=" + rule] if rule else []
            out += ["END:" + kind]
        out += ["END:VTIMEZONE"]
    for i in range(n):
        uid, stamp = "UID:big-%d@dayspinner" % i, "DTSTAMP:20200101T000000Z"
        day = datetime.date(1975, 1, 1) + D(days=rng.randrange(70 * 365))
        zone = rng.choice((None, "Europe/Berlin", "Europe/Berlin", "UTC", "America/New_York",
                           "Asia/Tokyo", "Australia/Sydney"))
        start = datetime.datetime(day.year, day.month, day.day, rng.randrange(24),
                                  rng.randrange(0, 60, 15))
        length, shape = D(minutes=rng.choice((15, 30, 60, 90, 180))), rng.random()
        if shape < 0.25:  # all day, up to four days
            start, zone, length = day, None, D(days=rng.choice((1, 1, 1, 2, 4)))
        elif shape < 0.3:  # two days, or up to midnight
            midnight = datetime.datetime.combine(day + D(days=1), datetime.time())
            length = rng.choice((D(days=2), midnight - start))
        end = value("DTEND", start + length, zone)
        if length != D(days=2):  # as a duration: two nominal days would cross summer time
            days, minutes = length.days, length.seconds // 60
            end = rng.choice((end, "DURATION:P%dD" % days if days else "DURATION:PT%dM" % minutes))
        if length == D(days=1) and rng.random() < 0.3:
            end = ""  # a date alone is its day
        lines = [uid, stamp, value("DTSTART", start, zone), end, "SUMMARY:Event %d" % i]
        moved = []
        kind = rng.random()
        if kind < 0.28:  # days or weeks, with exceptions and a moved or cancelled occurrence
            step, count = D(days=rng.choice((1, 2, 7, 7, 14))), rng.randrange(2, 9)
            rule = ("FREQ=DAILY;INTERVAL=%d" % step.days if step.days < 7 else
                    "FREQ=WEEKLY;INTERVAL=%d;BYDAY=%s" % (step.days // 7, WEEKDAYS[day.weekday()]))
            last = start + step * (count - 1)
            rule += ";COUNT=%d" % count if rng.random() < 0.5 else ";UNTIL=" + until(last, zone)
            lines.append("RRULE:" + rule)
            for k in rng.sample(range(1, count), min(rng.choice((0, 0, 1, 2)), count - 1)):
                lines.append(value("EXDATE", start + step * k, zone))
            then = start + step * rng.randrange(1, count)
            if rng.random() < 0.3 and value("EXDATE", then, zone) not in lines:
                now = then + (D(hours=rng.randrange(-40, 40)) if zone else D(days=rng.randrange(-3, 4)))
                moved = [uid, stamp, value("RECURRENCE-ID", then, zone), value("DTSTART", now, zone),
                         value("DTEND", now + length, zone), "SUMMARY:Moved %d" % i]
                moved += ["STATUS:CANCELLED"] if rng.random() < 0.3 else []
        elif kind < 0.4:  # months and years, a few without end
            nth = "%d%s" % ((day.day - 1) // 7 + 1, WEEKDAYS[day.weekday()])
            rule = rng.choice(("FREQ=MONTHLY", "FREQ=MONTHLY;BYMONTHDAY=%d" % day.day,
                               "FREQ=MONTHLY;BYDAY=" + nth, "FREQ=MONTHLY;INTERVAL=3", "FREQ=YEARLY",
                               "FREQ=YEARLY;BYMONTH=%d;BYDAY=%s" % (day.month, nth)))
            count = ";COUNT=%d" % rng.randrange(2, 12) if rng.random() < 0.98 else ""
            lines.append("RRULE:" + rule + count)
        lines += ["TRANSP:TRANSPARENT"] if rng.random() < 0.3 else []
        lines += ["STATUS:CANCELLED"] if rng.random() < 0.03 else []
        for component in (lines, moved) if moved else (lines,):
            out += ["BEGIN:VEVENT"] + [line for line in component if line] + ["END:VEVENT"]
    return "\r\n".join(out + ["END:VCALENDAR", ""])


class WheelTest(unittest.TestCase):
    """A 10,000-event calendar wheeled through, month by month, under a zone
    with summer time: each month's marks, once the tile has every answer,
    equal those of an independent expansion of the file."""

    ZONE = "Europe/Berlin"
    REFERENCE = pathlib.Path(__file__).resolve().parents[1] / "events" / "differential_clients.py"
    # From February 2025 back to January, then 25 months on to February 2027.
    WALK = [(None, "2025-02"), (4, "2025-01")] + [(5, "%d-%02d" % (2025 + m // 12, m % 12 + 1))
                                                  for m in range(1, 26)]

    def test_every_month_of_two_years_marks_the_days_an_independent_expansion_marks(self):
        session = harness.Session(settings=SETTINGS, calendar=big_calendar(10000, 21))
        self.addCleanup(session.close)
        path = session.home / harness.CALENDAR_PATH
        (session.home / harness.SETTINGS_NAME).write_text(SETTINGS + "ICS=%s\n" % path)
        # The reference runs beside the tile; it re-executes itself under the
        # system's python3 when this one lacks the libraries.
        reference = subprocess.Popen([sys.executable, str(self.REFERENCE), "--zones", self.ZONE,
                                      "--first", "20250101", "--last", "20270228", str(path)],
                                     stdout=subprocess.PIPE, text=True)
        self.addCleanup(reference.kill)
        tile = session.start_tile(args=["-d"], date="2025-02-12 10:00:00", env={"TZ": self.ZONE})
        self.addCleanup(lambda: tile.running() and tile.close_and_wait())
        # The pointer rests on the tile: xdotool's synchronous move to where
        # it already is would wait for a motion that never comes.
        tile.move(30, 40)
        shown = []
        for button, month in self.WALK:
            if button:
                session.xdotool("click", button)
            shown.append(tile.wait_shown(lambda s: s.month == month and s.pending == 0, timeout=30))
        output = reference.communicate(timeout=300)[0]
        self.assertEqual(reference.returncode, 0, "the reference expansion failed")
        expected = {s.month: (set(), set()) for s in shown}
        for day, status in (line.split() for line in output.splitlines()):
            expected["%s-%s" % (day[:4], day[4:6])][int(status) - 1].add(int(day[6:]))
        wrong = ["%s: busy %s free %s, expected busy %s free %s"
                 % ((s.month, sorted(s.busy), sorted(s.free)) + tuple(map(sorted, expected[s.month])))
                 for s in shown if (s.busy, s.free) != expected[s.month]]
        if wrong:
            self.fail("\n".join(wrong))


if __name__ == "__main__":
    unittest.main()
