# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Reminders: the tile under Window Maker on one private bus, with dunst as the
notification server and without one. Alarms fall due seconds after a test
writes them, on the real clock."""

import os
import re
import shutil
import subprocess
import time
import unittest
from datetime import datetime, timezone

import harness
from notify_bus import NotifyBus

GREEN = (0x20, 0xB0, 0x40)


def z(t):
    return datetime.fromtimestamp(t, timezone.utc).strftime("%Y%m%dT%H%M%SZ")


def event(uid, summary, start, end=None, alarm="TRIGGER:PT0S", more=()):
    lines = ["BEGIN:VEVENT", "UID:" + uid, "SUMMARY:" + summary, "DTSTART:" + z(start),
             "DTEND:" + z(end if end else start + 3600)] + list(more)
    if alarm:
        lines += ["BEGIN:VALARM", "ACTION:DISPLAY"] + alarm.split("\n") + ["END:VALARM"]
    return lines + ["END:VEVENT"]


def calendar(*events):
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//dayspinner tests//EN"]
    for e in events:
        lines += e
    return "\r\n".join(lines + ["END:VCALENDAR", ""])


def setUpModule():
    global session, bus
    session = harness.Session()
    bus = NotifyBus(session.display, session.env, server=False)


def tearDownModule():
    bus.close()
    session.close()


class Reminders(unittest.TestCase):
    def setUp(self):
        self.state = session.home / ("state-" + self._testMethodName)
        self.env = dict(bus.env, XDG_STATE_HOME=str(self.state))

    def write(self, text):
        path = session.home / harness.CALENDAR_PATH
        path.parent.mkdir(parents=True, exist_ok=True)
        temp = path.with_suffix(".new")
        temp.write_text(text)
        os.replace(temp, path)  # as a sync client writes it: a new file

    def start(self, text):
        self.write(text)
        tile = session.start_tile(["-d"], env=self.env)
        self.addCleanup(harness._stop, tile.process)
        return tile

    def alarms(self, tile):
        return re.findall(r"^alarm: (.*)$", tile.stdout(), re.M)

    def wait_alarm(self, tile, pattern, timeout=15):
        found = harness.wait_for(lambda: any(re.fullmatch(pattern, a) for a in self.alarms(tile)),
                                 timeout)
        self.assertTrue(found, "no alarm %r: %r" % (pattern, self.alarms(tile)))

    def close_only_note(self):
        # dunst closes the oldest on the screen: the answered ones gone first.
        self.assertTrue(harness.wait_for(lambda: bus.displayed() == 1, 5), bus.displayed())
        bus.close_latest()

    def test_each_trigger_reminds_once_and_the_users_answers_hold_across_a_restart(self):
        bus.start_server()
        self.addCleanup(bus.stop_server)
        t0 = int(time.time()) + 4
        text = calendar(
            event("start@t", "Start", t0 + 60, alarm="TRIGGER:-PT1M", more=["LOCATION:Room 4"]),
            event("end@t", "End", t0 - 600, t0 + 2, alarm="TRIGGER;RELATED=END:PT0S"),
            event("abs@t", "Absolute", t0 + 86400, alarm="TRIGGER;VALUE=DATE-TIME:" + z(t0 + 4)),
            event("repeat@t", "Repeat", t0 + 6, alarm="TRIGGER:PT0S\nREPEAT:1\nDURATION:PT3S"),
            # Every two seconds from t0 + 7: the second moved to t0 + 12, the third cancelled.
            event("series@t", "Series", t0 + 7, more=["RRULE:FREQ=SECONDLY;INTERVAL=2;COUNT=3"]),
            event("series@t", "Moved", t0 + 12, more=["RECURRENCE-ID:" + z(t0 + 9)]),
            event("series@t", "Cancelled", t0 + 11,
                  more=["RECURRENCE-ID:" + z(t0 + 11), "STATUS:CANCELLED"]))
        tile = self.start(text)
        # The user answers the first three as they come.
        for summary, act in (("Start", lambda: bus.invoke("dismiss", "Start")),
                             ("End", lambda: bus.invoke("snooze", "End")),
                             ("Absolute", self.close_only_note)):
            note = bus.wait_notify(summary, timeout=15)
            act()
        self.assertEqual((note.urgency, note.actions[::2]), (2, ["snooze", "dismiss"]))
        start = bus.wait_notify("Start")
        self.assertEqual(start.body.split("\n")[1], "Room 4")
        self.wait_alarm(tile, r"\d\d:\d\d\tMoved")
        time.sleep(max(0, t0 + 13.2 - time.time()))  # past the cancelled one, a second past the last
        said = [re.sub(r"^(missed )?\d\d:\d\d\t", "", a) for a in self.alarms(tile)]
        self.assertEqual(sorted(said), sorted(["Start", "dismissed\tStart", "End", "snoozed\tEnd",
                                               "Absolute", "dismissed\tAbsolute", "Repeat",
                                               "Repeat", "Series", "Moved"]))
        tile.wait_shown(lambda s: s.reminders == 3)  # Repeat (once on screen), Series, Moved

        # Restarted: what waited is shown as missed; nothing dismissed or snoozed comes back.
        harness._stop(tile.process)
        tile = self.start(text)
        tile.wait_shown(lambda s: s.reminders == 3, timeout=15)
        self.assertTrue(all(a.startswith("missed ") for a in self.alarms(tile)), self.alarms(tile))
        self.assertEqual(sorted(re.sub(r"^missed \d\d:\d\d\t", "", a) for a in self.alarms(tile)),
                         ["Moved", "Repeat", "Series"])
        # The calendar rewritten by a sync client: read again, nothing again.
        reads = tile.stdout().count("read calendar data")
        self.write(text)
        harness.wait_for(lambda: tile.stdout().count("read calendar data") > reads, 10)
        tile.wait_shown(lambda s: s.pending == 0)
        self.assertEqual(len(self.alarms(tile)), 3)

    def test_without_a_server_a_flood_shows_three_windows_of_its_own_and_counts_the_rest(self):
        t0 = int(time.time())
        floods = [event("f%d@t" % i, "Flood %d" % i, t0 - 120, t0 + 3600, alarm="TRIGGER:-PT%dS" % i)
                  for i in range(300)]
        tile = self.start(calendar(*floods))
        tile.wait_shown(lambda s: s.reminders == 3, timeout=20)
        said = self.alarms(tile)
        self.assertEqual(len(said), 4, said)
        self.assertTrue(all(a.startswith("missed ") for a in said[:3]), said)
        self.assertEqual(said[3], "more 297")
        self.assertEqual(tile.pixel(30, 0), GREEN)
        summary = said[0].split("\t")[1]
        window = harness.wait_for(lambda: subprocess.run(
            ["xdotool", "search", "--name", "^%s$" % summary], env=session.env,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.split(), 10)
        self.assertTrue(window, "no window of its own for %r" % summary)
        session.helper("close", int(window[0]))
        self.wait_alarm(tile, "dismissed\t" + summary)
        tile.wait_shown(lambda s: s.reminders == 2)

    def test_the_settings_turn_reminders_off_and_give_events_without_an_alarm_one(self):
        settings = session.home / harness.SETTINGS_NAME
        self.addCleanup(lambda: settings.unlink(missing_ok=True))
        t0 = int(time.time())
        text = calendar(event("plain@t", "Plain", t0 + 119, alarm=None),
                        event("own@t", "Own", t0 + 60, alarm="TRIGGER:-PT2M"))
        for keys, expected in (("REMINDERS=off\nDEFAULTREMINDER=2\n", []),
                               ("DEFAULTREMINDER=2\n", ["Own", "Plain"])):
            settings.write_text("VERSION=0.5.1\nAPP=true\nICS=%s\n%s" % (
                session.home / harness.CALENDAR_PATH, keys))
            tile = self.start(text)
            tile.wait_shown(lambda s: s.busy and s.pending == 0 and s.reminders == len(expected))
            said = sorted(re.sub(r"^missed \d\d:\d\d\t", "", a) for a in self.alarms(tile))
            self.assertEqual(said, expected, keys)
            harness._stop(tile.process)

    @unittest.skipIf(shutil.which("strace") is None, "not installed: strace")
    def test_the_idle_tile_makes_no_system_call_with_its_next_alarm_an_hour_away(self):
        t0 = int(time.time())
        tile = self.start(calendar(event("later@t", "Later", t0 + 3600 + 600, alarm="TRIGGER:-PT10M")))
        tile.wait_shown(lambda s: s.pending == 0)
        time.sleep(0.5)  # the engine's last answers taken
        log = session.home / "idle.strace"
        strace = subprocess.Popen(["strace", "-f", "-qq", "-o", str(log), "-p",
                                   str(tile.process.pid)], stderr=subprocess.DEVNULL)
        harness.wait_for(lambda: log.exists(), 5)
        time.sleep(20)
        strace.terminate()
        strace.wait()
        # Threads caught in a call when strace attaches say so; that is no call.
        calls = [l for l in log.read_text().splitlines() if "<... resuming" not in l]
        self.assertEqual(calls, [])
        self.assertEqual(self.alarms(tile), [])


if __name__ == "__main__":
    unittest.main()
