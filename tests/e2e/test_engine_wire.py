# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""A calendar replaced while the engine still reads the last one: the face
ends with the newest calendar's days only, nothing pending, and the tile
idle; also for a folder of 10,000 files rewritten in a burst. The wheel
neither touches the calendar's files nor lets the tile's memory grow with
the calendar's occurrences."""

import os
import pathlib
import shutil
import signal
import subprocess
import time
import unittest

import harness

DATE = "2026-03-10 10:00:00"
SETTINGS = "APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n"


def vevent(uid, day, rule=None):
    lines = ["BEGIN:VEVENT", "UID:%s" % uid, "DTSTART;VALUE=DATE:202603%02d" % day,
             "SUMMARY:event %s" % uid] + ([rule] if rule else []) + ["END:VEVENT", ""]
    return "\r\n".join(lines)


def calendar(events):
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner e2e//EN\r\n" + \
        "".join(events) + "END:VCALENDAR\r\n"


# Large enough that its read takes the engine a good part of a second.
LARGE = calendar(vevent(i, 1 + i % 10) for i in range(40000))
# Weekly from Wednesday 4 March: 4, 11, 18 and 25 March.
WEEKLY = calendar([vevent("w", 4, "RRULE:FREQ=WEEKLY")])


def one_event_files(count):
    """A folder calendar of count files, one event each on the 1st to 20th."""
    return {"evolution/cal/%05d.ics" % i: calendar([vevent(i, 1 + i % 20)]) for i in range(count)}


def cpu_seconds(pid):
    fields = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def resident_mib(pid):
    for line in pathlib.Path("/proc/%d/status" % pid).read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    raise AssertionError("no VmRSS for %d" % pid)


def children(pid):
    found = []
    for task in pathlib.Path("/proc/%d/task" % pid).iterdir():
        found += [int(c) for c in (task / "children").read_text().split()]
    return found


def sanitized():
    """The sanitizer build keeps freed memory: its resident size says nothing."""
    return b"libasan.so" in pathlib.Path(harness.dayspinner_binary()).read_bytes()


def write(path, text, in_place):
    if in_place:
        path.write_text(text)
    else:
        new = path.with_name(".new")
        new.write_text(text)
        new.rename(path)


class WireTest(unittest.TestCase):
    def start(self, session, path):
        (session.home / harness.SETTINGS_NAME).write_text(SETTINGS + "ICS=%s\n" % path)
        return session.start_tile(["-d"], date=DATE)

    def reads(self, tile):
        return tile.stdout().count("read calendar data\n")

    def test_a_file_replaced_during_its_read_shows_the_newest_only_and_the_tile_idles(self):
        for in_place in (True, False):
            with self.subTest(in_place=in_place), harness.Session(
                    settings=SETTINGS, calendar=calendar([vevent("a", 20)])) as session:
                path = session.home / harness.CALENDAR_PATH
                tile = self.start(session, path)
                tile.wait_shown(lambda s: s.busy == {20} and s.pending == 0, timeout=20)
                before = self.reads(tile)
                write(path, LARGE, in_place)
                harness.wait_for(lambda: self.reads(tile) > before, 10, 0.005)
                write(path, WEEKLY, in_place)
                tile.wait_shown(lambda s: s.busy == {4, 11, 18, 25} and s.pending == 0,
                                timeout=60)
                used = cpu_seconds(tile.process.pid)
                # Idle means no CPU at all: a second of watching shows a spin.
                time.sleep(1.0)
                self.assertLess(cpu_seconds(tile.process.pid) - used, 0.2)
                self.assertEqual(tile.stderr(), "")

    def test_a_folder_rewritten_in_a_burst_during_a_read_shows_its_last_state(self):
        with harness.Session(settings=SETTINGS, files=one_event_files(10000)) as session:
            folder = session.home / "evolution/cal"
            tile = self.start(session, folder)
            tile.wait_shown(lambda s: s.busy == set(range(1, 21)) and s.pending == 0, timeout=90)
            # A sync client's burst: day 5's files deleted, day 6's moved to
            # the 25th, in ten steps while the engine reads.
            for step in range(10):
                for i in range(step, 10000, 10):
                    if 1 + i % 20 == 5:
                        (folder / ("%05d.ics" % i)).unlink()
                    elif 1 + i % 20 == 6:
                        write(folder / ("%05d.ics" % i), calendar([vevent(i, 25)]), False)
            expected = set(range(1, 21)) - {5, 6} | {25}
            tile.wait_shown(lambda s: s.busy == expected and s.pending == 0, timeout=90)
            self.assertEqual(tile.stderr(), "")

    @unittest.skipIf(shutil.which("strace") is None, "not installed: strace")
    def test_the_wheel_never_touches_the_calendar_folder(self):
        with harness.Session(settings=SETTINGS, files=one_event_files(2000)) as session:
            folder = session.home / "evolution/cal"
            tile = self.start(session, folder)
            tile.wait_shown(lambda s: s.pending == 0, timeout=30)
            log = session.home / "strace.log"
            # The tile's own thread only (no -f): its engine reads the folder.
            strace = subprocess.Popen(["strace", "-qq", "-o", str(log), "-p",
                                       str(tile.process.pid)], stderr=subprocess.DEVNULL)
            harness.wait_for(lambda: log.exists() and "(" in log.read_text(), 10, 0.02)
            for step in range(12):
                tile.press(30, 30, button=5 if step < 6 else 4)
            tile.wait_shown(lambda s: s.month == "2026-03" and s.pending == 0, timeout=30)
            strace.terminate()
            strace.wait()
            self.assertNotIn(str(folder), log.read_text())

    def test_an_engine_killed_each_time_marks_the_face_until_one_reads_the_calendar(self):
        amber = (0xE0, 0x70, 0x00)
        with harness.Session(settings=SETTINGS, calendar=LARGE) as session:
            tile = self.start(session, session.home / harness.CALENDAR_PATH)
            tile.wait_shown(lambda s: s.pending == 0, timeout=60)
            edge = tile.pixel(30, 63)
            self.assertNotEqual(edge, amber)
            # The idle engine and the next two, each as soon as it is there.
            killed = set()
            def kill_new():
                for pid in set(children(tile.process.pid)) - killed:
                    os.kill(pid, signal.SIGKILL)
                    killed.add(pid)
                return len(killed) == 3
            harness.wait_for(kill_new, 30, 0.005)
            tile.wait_shown(lambda s: s.unread == 1, timeout=10)
            self.assertEqual(tile.pixel(30, 63), amber)
            self.assertIn("the calendar engine ended by signal 9, 3 times in a row", tile.stderr())
            tile.wait_shown(lambda s: s.unread == 0 and s.pending == 0, timeout=30)
            self.assertEqual(tile.pixel(30, 63), edge)
            self.assertNotIn("not read until it changes", tile.stderr())

    @unittest.skipIf(sanitized(), "the sanitizer build keeps freed memory")
    def test_the_wheel_over_many_daily_events_keeps_the_tile_within_its_cap(self):
        def wheeled(text, steps):
            """The tile's largest resident size in MiB, each month answered."""
            with harness.Session(settings=SETTINGS, calendar=text) as session:
                tile = self.start(session, session.home / harness.CALENDAR_PATH)
                month = tile.wait_shown(lambda s: s.pending == 0, timeout=60).month
                most = resident_mib(tile.process.pid)
                for step in range(steps):
                    tile.press(30, 30, button=5 if step < steps // 2 else 4)
                    month = tile.wait_shown(lambda s, was=month: s.month != was and
                                            s.pending == 0, timeout=60).month
                    most = max(most, resident_mib(tile.process.pid))
                return most
        empty = wheeled(calendar([]), 0)
        # Every day of two years busy 20,000 times over.
        daily = calendar("BEGIN:VEVENT\r\nUID:d%d\r\nDTSTART;VALUE=DATE:20260101\r\n"
                         "RRULE:FREQ=DAILY\r\nSUMMARY:daily %d\r\nEND:VEVENT\r\n" % (i, i)
                         for i in range(20000))
        self.assertLess(wheeled(daily, 48) - empty, 64)


if __name__ == "__main__":
    unittest.main()
