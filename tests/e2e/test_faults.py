# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The docked tile when the world around it fails: the X server goes away, the
calendar file disappears, cannot be read or is hostile, HOME cannot be
written, the application command does not exist."""

import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import harness

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools"))
import hostile_calendars  # noqa: E402

DATE = "2024-03-08 10:00:00"
DIALOG_TITLE = "^Dayspinner 0\\.5\\.1$"
TODAY = (0xB8, 0x00, 0x00)  # today's number
AS_ROOT = os.geteuid() == 0


def settings_text(home, ics, app="true"):
    return ("ICS=%s\nAPP=%s\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n"
            % (ics, app))


def calendar_text(*events):
    """events: (DTSTART, DTEND, SUMMARY) in iCalendar form."""
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//dayspinner//faults//EN"]
    for n, (start, end, summary) in enumerate(events):
        lines += ["BEGIN:VEVENT", "UID:fault-%d" % n, "DTSTART:" + start, "DTEND:" + end,
                  "SUMMARY:" + summary, "END:VEVENT"]
    lines.append("END:VCALENDAR")
    return "\r\n".join(lines) + "\r\n"


MARKED = calendar_text(("20240312T100000", "20240312T110000", "Dentist"),
                       ("20240320T090000", "20240320T100000", "Review"))
OTHER = calendar_text(("20240325T100000", "20240325T110000", "Moved"))


@harness.SkipIfMissing("xdotool", "faketime")
class FaultTest(unittest.TestCase):
    def setUp(self):
        self.session = harness.Session()
        self.addCleanup(self.session.close)
        self.home = self.session.home
        self.ics = self.home / harness.CALENDAR_PATH
        self.settings = self.home / harness.SETTINGS_NAME

    @staticmethod
    def steady_image(tile):
        """The face once every answer of the calendar read is drawn (the tile
        runs with -d)."""
        tile.wait_shown(lambda s: s.pending == 0)
        return tile.image()

    def after_change(self, tile, change):
        """The face once the tile's watch has seen change() and the tile has
        looked at the calendar again (it runs with -d)."""
        def looks():
            return tile.stdout().count("check for new calendar data\n")
        before, shown = looks(), len(tile.shown_lines())
        change()
        self.assertTrue(harness.wait_for(lambda: looks() > before, 10, 0.02), "not looked at")
        # The refresh that asks says so (pending while the calendar is read)
        # before the answers are drawn: the line before it is of the old read.
        self.assertTrue(harness.wait_for(
            lambda: any(s.pending for s in tile.shown_lines()[shown:]), 10, 0.02))
        return self.steady_image(tile)

    def find_dialog(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", DIALOG_TITLE],
                               env=self.session.env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, timeout=20)
        ids = found.stdout.split()
        return int(ids[0]) if ids else None

    def test_killed_x_server_ends_the_program_with_a_failure_status(self):
        tile = self.session.start_tile()
        started = time.monotonic()
        self.session._xvfb.kill()
        status = tile.wait_exit(timeout=5)
        self.assertLess(time.monotonic() - started, 5)
        self.assertEqual(status, 1, "ended by a signal or with success: %r" % status)
        self.assertRegex(tile.stderr(), r"^\S+: connection to the X server :\d+ broken\n$")

    def test_last_marks_stay_when_the_calendar_file_goes_bad(self):
        self.settings.write_text(settings_text(self.home, self.ics))
        self.ics.parent.mkdir(parents=True, exist_ok=True)
        self.ics.write_text(calendar_text())
        tile = self.session.start_tile(["-d"], date=DATE)
        unmarked = self.steady_image(tile)
        marked = self.after_change(tile, lambda: self.ics.write_text(MARKED))
        self.assertTrue(marked.differs(unmarked), "the events put no marks on the face")

        def delete():
            self.ics.unlink()

        def fifo():
            os.mkfifo(self.ics)

        def folder():
            # A directory is a folder of calendars: the same events in it keep the same marks.
            self.ics.unlink()
            self.ics.mkdir()
            (self.ics / "events.ics").write_text(MARKED)

        faults = [("deleted", delete), ("a FIFO", fifo)]
        if not AS_ROOT:
            # Permissions do not stop root's reads; the FIFO and the directory
            # stand for an unreadable file there.
            def unreadable():
                self.ics.unlink()
                self.ics.write_text(OTHER)
                self.ics.chmod(0)
            faults.append(("unreadable", unreadable))
        faults.append(("a folder", folder))
        for name, fault in faults:
            with self.subTest(calendar_file=name):
                self.assertFalse(self.after_change(tile, fault).differs(marked))
                self.assertTrue(tile.running())

        # A readable file again: its events replace the old marks.
        def readable():
            if self.ics.is_dir():
                shutil.rmtree(self.ics)
            elif self.ics.exists():
                self.ics.unlink()
            self.ics.write_text(OTHER)
        self.assertTrue(self.after_change(tile, readable).differs(marked))
        self.assertEqual(tile.close_and_wait(), 0)
        self.assertEqual(tile.stderr(), "")

    def read_only_home(self):
        """A HOME the program cannot write into, with a current settings file.
        As root, a tmpfs mounted read-only; otherwise a directory without
        write permission."""
        home = pathlib.Path(tempfile.mkdtemp(prefix="dayspinner-rohome-"))
        self.addCleanup(shutil.rmtree, home, ignore_errors=True)
        text = settings_text(home, self.ics)
        if not AS_ROOT:
            (home / harness.SETTINGS_NAME).write_text(text)
            home.chmod(0o555)
            self.addCleanup(home.chmod, 0o755)
            return home, text
        if shutil.which("mount") is None or subprocess.run(
                ["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", str(home)],
                stderr=subprocess.DEVNULL).returncode != 0:
            self.skipTest("root without mount: no read-only directory can be made")
        self.addCleanup(subprocess.run, ["umount", "-l", str(home)], stderr=subprocess.DEVNULL)
        (home / harness.SETTINGS_NAME).write_text(text)
        subprocess.run(["mount", "-o", "remount,ro", str(home)], check=True)
        return home, text

    def test_failed_save_on_a_read_only_home_prints_one_line_and_keeps_the_file(self):
        self.ics.parent.mkdir(parents=True, exist_ok=True)
        self.ics.write_text(MARKED)
        home, text = self.read_only_home()
        tile = self.session.start_tile(["-d"], date=DATE, env={"HOME": str(home)})
        tile.click(49, 60)
        dialog = harness.wait_for(self.find_dialog, 10)
        self.assertIsNotNone(dialog, "the settings button opened no dialog")
        # "save" is the second of the three buttons at the foot of the dialog.
        g = self.session.xdotool("getwindowgeometry", "--shell", dialog).stdout.decode()
        size = dict(line.split("=") for line in g.split())
        width, height = int(size["WIDTH"]), int(size["HEIGHT"])
        self.session.xdotool("mousemove", "--sync", "--window", dialog, width // 2, height - 48,
                             "click", 1)
        self.assertTrue(harness.wait_for(lambda: "settings not saved" in tile.stderr(), 5),
                        "no message for the failed save: %r" % tile.stderr())
        self.session.helper("close", dialog)
        self.assertTrue(harness.wait_for(lambda: self.find_dialog() is None, 10))
        tile.press(60, 5)
        tile.wait_shown(lambda s: s.month == "2024-04")
        self.assertTrue(tile.running())
        self.assertEqual((home / harness.SETTINGS_NAME).read_text(), text)
        self.assertEqual(sorted(p.name for p in home.iterdir()), [harness.SETTINGS_NAME])
        self.assertEqual(tile.close_and_wait(), 0)
        lines = tile.stderr().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn(str(home), lines[0])

    def test_missing_application_command_gets_the_shells_message(self):
        self.settings.write_text(settings_text(self.home, self.ics,
                                               app="dayspinner-no-such-command"))
        tile = self.session.start_tile(date=DATE)
        # Without -d, and the calendar file missing too: nothing on stdout.
        tile.wait_image(lambda im: im.count(TODAY))
        tile.click(23, 60, repeat=2, delay_ms=80)
        self.assertTrue(harness.wait_for(lambda: "not found" in tile.stderr(), 5),
                        "no message from the shell: %r" % tile.stderr())
        self.assertIn("dayspinner-no-such-command", tile.stderr())
        # The tile goes on: the next-month corner still leaves today's month.
        tile.click(60, 5)
        tile.wait_image(lambda im: not im.count(TODAY))
        self.assertEqual(tile.close_and_wait(), 0)
        self.assertEqual(tile.stdout(), "")


@harness.SkipIfMissing("xdotool", "faketime")
class HostileFileTest(unittest.TestCase):
    """Files that crashed, froze or bloated the tile: with each, the tile
    lives on, marks the file's other events and answers the wheel within 2 s."""

    DATE = "2026-07-15 10:00:00"  # July 2026 begins on a Wednesday
    SETTINGS = "APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n"
    BUSY = (0x82, 0x94, 0xFF)
    # Marks beyond the ordinary events that a class keeps.
    ALSO_MARKED = {"huge-summary": {hostile_calendars.HUGE_SUMMARY_DAY},
                   "deep-nesting": {hostile_calendars.NESTING_DAY}}

    @classmethod
    def busy_days(cls, image):
        return image.days_in(cls.BUSY, first_column=2)  # Monday first: 1 July is a Wednesday

    def wheel(self, tile, button, today_shown):
        """Seconds until the wheel has moved the month, to or from today's."""
        # A synchronous move to where the pointer already is would wait for
        # a motion that never comes: each click somewhere new.
        self.clicks = getattr(self, "clicks", 0) + 1
        start = time.monotonic()
        tile.click(20 + self.clicks % 30, 40, button=button)
        tile.wait_image(lambda im: bool(im.count(TODAY)) == today_shown, timeout=10)
        return time.monotonic() - start

    def test_each_class_leaves_the_tile_alive_marked_and_answering(self):
        for name in hostile_calendars.CLASSES:
            with self.subTest(hostile=name):
                # A server of its own: a tile killed before would stay in the dock.
                with harness.Session() as session:
                    path = session.home / harness.CALENDAR_PATH
                    path.parent.mkdir(parents=True, exist_ok=True)
                    (session.home / harness.SETTINGS_NAME).write_text(
                        self.SETTINGS + "ICS=%s\n" % path)
                    hostile_calendars.write(name, path)
                    self.check(session.start_tile(args=["-d"], date=self.DATE), name)

    def check(self, tile, name):
        tile.wait_image(lambda im: im.count(TODAY), timeout=60)
        # At once, whatever the engine is doing; then the marks, and again.
        times = [self.wheel(tile, 5, False), self.wheel(tile, 4, True)]
        marked = set(hostile_calendars.MARKED_DAYS) | self.ALSO_MARKED.get(name, set())
        tile.wait_image(lambda im: marked <= self.busy_days(im), timeout=60)
        times.append(self.wheel(tile, 5, False))
        self.assertLess(max(times), 2.0, "the wheel waited: %r s" % times)
        self.assertTrue(tile.running())
        self.assertEqual(tile.close_and_wait(), 0)

if __name__ == "__main__":
    unittest.main()
