# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""When the docked tile refreshes by itself: nothing while nothing is due, at
once after the calendar file is rewritten (in place or by a rename over it),
after changes a plain watch of its directory would miss, and at local
midnight."""

import os
import pathlib
import time
import unittest

import harness
import test_window_managers as wms

# 15 January 2024 is a Monday; with Monday first, day d of January 2024 lies
# in column (d - 1) % 7, row (d - 1) // 7 of 9 x 7 cells from y 20.
SETTINGS = "APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\nICS=%s\n"
BUSY = (0x82, 0x94, 0xFF)


def calendar(*days):
    events = "".join("BEGIN:VEVENT\r\nUID:r-%d\r\nDTSTART;VALUE=DATE:202401%02d\r\n"
                     "DTEND;VALUE=DATE:202401%02d\r\nSUMMARY:Event %d\r\nEND:VEVENT\r\n"
                     % (d, d, d + 1, d) for d in days)
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner e2e//EN\r\n" + events
            + "END:VCALENDAR\r\n")


day_box = harness.day_box


def busy_days(image):
    return image.days_in(BUSY)


def red_days(image):
    """Days of January whose cell holds the red of today's number."""
    def red(x, y):
        r, g, b = image.pixel(x, y)
        return r > 150 and g < 80 and b < 80
    return {d for d in range(1, 32)
            if any(red(x, y) for x in range(day_box(d)[0], day_box(d)[2])
                   for y in range(day_box(d)[1], day_box(d)[3]))}


def wake_ups(pid):
    """Context switches of every thread of the process so far."""
    total = 0
    for task in pathlib.Path("/proc/%d/task" % pid).iterdir():
        for line in (task / "status").read_text().splitlines():
            if line.endswith("ctxt_switches:") or "ctxt_switches:" in line:
                total += int(line.split()[1])
    return total


@harness.SkipIfMissing("xdotool", "faketime")
class RefreshTest(unittest.TestCase):
    def setUp(self):
        self.session = harness.Session()
        self.addCleanup(self.session.close)
        self.path = self.session.home / harness.CALENDAR_PATH
        self.path.parent.mkdir(parents=True, exist_ok=True)
        self.path.write_text(calendar(10))
        (self.session.home / harness.SETTINGS_NAME).write_text(SETTINGS % self.path)

    def test_an_idle_tile_does_not_wake_up(self):
        """Nor with the day view of the 10th and then the settings dialog open
        beside it: GTK has nothing to do for windows nothing happens to."""
        tile = self.session.start_tile(date="2024-01-15 10:00:00", env=wms.ENV)
        for opened, (x, y), button, title in (
                ("nothing", (0, 0), 0, None),
                ("the day view", (22, 30), 3, "^Wednesday, 01/10/24$"),
                ("the settings dialog too", (49, 60), 1, wms.DIALOG_TITLE)):
            with self.subTest(opened=opened):
                if title:
                    tile.click(x, y, button=button)
                    self.assertTrue(harness.wait_for(
                        lambda: wms.find_visible(self.session, title), 20), "not opened")
                time.sleep(1.0)  # the first refresh, the dock's and the window's settling
                before = wake_ups(tile.process.pid)
                time.sleep(4)
                self.assertEqual(wake_ups(tile.process.pid) - before, 0)
        self.assertEqual(tile.close_and_wait(), 0)

    def test_a_rewritten_calendar_shows_within_a_second(self):
        tile = self.session.start_tile(date="2024-01-15 10:00:00")
        tile.wait_image(lambda im: busy_days(im) == {10})
        # In place, then a new file renamed over the old one, as clients save.
        for days, how in (({20}, "in place"), ({22, 23}, "by rename")):
            with self.subTest(rewritten=how):
                started = time.monotonic()
                if how == "in place":
                    with open(self.path, "r+") as f:
                        f.truncate(0)
                        f.write(calendar(*days))
                else:
                    new = self.path.with_name("calendar.ics.new")
                    new.write_text(calendar(*days))
                    os.replace(new, self.path)
                tile.wait_image(lambda im: busy_days(im) == days, timeout=5)
                self.assertLess(time.monotonic() - started, 1.0)
        self.assertEqual(tile.close_and_wait(), 0)

    def test_changes_the_watches_could_miss_are_read_within_a_second(self):
        """The calendar folder does not exist at start; one of its files is a
        link to a file elsewhere; then the folder is replaced by rename."""
        home = self.session.home
        folder, store = home / "sync" / "cal", home / "store"
        store.mkdir()
        (home / harness.SETTINGS_NAME).write_text(SETTINGS % folder)
        tile = self.session.start_tile(args=["-d"], date="2024-01-15 10:00:00")
        tile.wait_shown()  # after the first refresh, which watches the folder

        def create():
            folder.mkdir(parents=True)
            (folder / "a.ics").write_text(calendar(20))
            (store / "real.ics").write_text(calendar(21))
            (folder / "linked.ics").symlink_to(store / "real.ics")

        def replace():
            new = folder.with_name("cal.new")
            new.mkdir()
            (new / "b.ics").write_text(calendar(23))
            os.rename(folder, folder.with_name("cal.old"))
            os.rename(new, folder)

        for what, change, printed in (
                ("a folder made two levels deep", create, ("Event 20", "Event 21")),
                ("a link's target rewritten", lambda: (store / "real.ics").write_text(
                    calendar(22)), ("Event 22",)),
                ("a file's mode changed", lambda: os.chmod(folder / "a.ics", 0o600),
                 ("read calendar data",)),
                ("the folder replaced by rename", replace, ("Event 23",))):
            with self.subTest(what):
                seen = len(tile.stdout())
                started = time.monotonic()
                change()
                read = harness.wait_for(
                    lambda: all(p in tile.stdout()[seen:] for p in printed), timeout=5)
                self.assertTrue(read, tile.stdout()[seen:])
                self.assertLess(time.monotonic() - started, 1.5)
        self.assertEqual(tile.close_and_wait(), 0)

    def test_a_burst_of_rewrites_is_read_a_few_times_a_second_and_reported_once(self):
        deep = "BEGIN:X-DEEP\r\n" * 17 + "END:X-DEEP\r\n" * 17  # one component left out

        def text(day):
            return calendar(day).replace("END:VCALENDAR", deep + "END:VCALENDAR")
        self.path.write_text(text(10))
        tile = self.session.start_tile(args=["-d"], date="2024-01-15 10:00:00")
        self.assertTrue(harness.wait_for(lambda: "nested too deep" in tile.stderr(), 5))
        before, started = tile.stdout().count("read calendar data"), time.monotonic()
        said = tile.stderr().count("nested too deep")
        for n in range(100):  # 50 rewrites a second for two seconds
            self.path.write_text(text(11 + n % 15))
            time.sleep(0.02)
        self.path.write_text(text(28))  # the last change of a burst is read too
        self.assertTrue(harness.wait_for(lambda: "Event 28\n" in tile.stdout(), 2))
        reads = tile.stdout().count("read calendar data") - before
        self.assertLessEqual(reads, 2 + 3 * (time.monotonic() - started))
        self.assertLessEqual(tile.stderr().count("nested too deep") - said, 1, tile.stderr())
        self.assertEqual(tile.close_and_wait(), 0)

    def test_the_red_mark_moves_at_local_midnight(self):
        tile = self.session.start_tile(args=["-d"], date="2024-01-15 23:59:55",
                                       env={"TZ": "Europe/Berlin"})
        tile.wait_shown(lambda s: s.today == "2024-01-16", timeout=10)
        # The first line is kept: midnight came while the tile ran, however
        # long it took to dock.
        self.assertEqual(tile.shown_lines()[0].today, "2024-01-15")
        tile.wait_image(lambda im: red_days(im) == {16}, timeout=1)
        self.assertEqual(tile.close_and_wait(), 0)


if __name__ == "__main__":
    unittest.main()
