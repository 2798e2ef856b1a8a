#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Soak run: the real dayspinner docked in Window Maker under a long stream of
random pointer actions while its calendar file keeps changing.

    python3 tests/soak/soak.py --minutes 30
    python3 tests/soak/soak.py --minutes 3 --baseline 30     (what CTest runs)

DAYSPINNER_BINARY and DAYSPINNER_XHELPER name the program and the harness's X
helper, as for the end-to-end tests (--binary and --xhelper override them).

The actions: the month corners, the wheel, the middle button, the bar toggle,
the moon, calendar and application buttons (double clicks included), day
clicks, right clicks that open the day view (closed again through its " X "
label, sometimes after dragging its heading), and the settings button, whose
dialog is closed through its "close" button, after "save" or a language change
now and then. Meanwhile the calendar file is rewritten every second with new
events, mostly by writing a new file and renaming it over the old one,
sometimes in place.

The run passes when the program is still alive at the end and then exits with
status 0 on the close request, its resident size at the end is within 1 MiB of
the size after the baseline time, and standard error holds no X protocol
error, no GLib or GTK critical message and no sanitizer report. The figures
are printed at the end either way.
"""

import argparse
import datetime
import os
import pathlib
import random
import re
import subprocess
import sys
import threading
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "e2e"))
import harness  # noqa: E402

DIALOG_TITLE = "^Dayspinner 0\\.5\\.1$"
SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768
RSS_TOLERANCE_KIB = 1024

# What counts as a failure on standard error.
ERROR_PATTERNS = re.compile(r"X Error|BadWindow|BadDrawable|BadMatch|BadAccess|CRITICAL"
                            r"|AddressSanitizer|LeakSanitizer|runtime error:")


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS for process %d" % pid)


def is_sanitizer_build(binary):
    with open(binary, "rb") as f:
        return b"__asan_init" in f.read()


# -- the calendar file --------------------------------------------------------

def ics_stamp(day, hour=None, minute=0):
    if hour is None:
        return ";VALUE=DATE:%04d%02d%02d" % (day.year, day.month, day.day)
    return ":%04d%02d%02dT%02d%02d00" % (day.year, day.month, day.day, hour, minute)


def calendar_text(rng, generation, count):
    """Events on most days from three months back to three months ahead:
    timed, all-day, several days long, weekly rules with exception dates, busy
    and free."""
    today = datetime.date.today()
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//dayspinner//soak//EN"]
    for n in range(count):
        day = today + datetime.timedelta(days=rng.randint(-95, 95))
        kind = rng.random()
        lines += ["BEGIN:VEVENT", "UID:soak-%d-%d" % (generation, n)]
        if kind < 0.45:
            hour = rng.randint(0, 22)
            lines += ["DTSTART" + ics_stamp(day, hour, rng.choice((0, 15, 30))),
                      "DTEND" + ics_stamp(day, hour + 1, rng.choice((0, 45)))]
        elif kind < 0.7:
            lines += ["DTSTART" + ics_stamp(day),
                      "DTEND" + ics_stamp(day + datetime.timedelta(days=1))]
        elif kind < 0.85:
            lines += ["DTSTART" + ics_stamp(day),
                      "DTEND" + ics_stamp(day + datetime.timedelta(days=rng.randint(2, 9)))]
        else:
            hour = rng.randint(8, 18)
            lines += ["DTSTART" + ics_stamp(day, hour), "DTEND" + ics_stamp(day, hour + 1),
                      "RRULE:FREQ=WEEKLY;COUNT=%d" % rng.randint(2, 12),
                      "EXDATE" + ics_stamp(day + datetime.timedelta(weeks=1), hour)]
        if rng.random() < 0.3:
            lines.append("TRANSP:TRANSPARENT")
        if rng.random() < 0.3:
            lines.append("LOCATION:Room %d" % rng.randint(1, 99))
        lines += ["SUMMARY:Soak %d.%d" % (generation, n), "END:VEVENT"]
    lines.append("END:VCALENDAR")
    return "\r\n".join(lines) + "\r\n"


class CalendarWriter(threading.Thread):
    """Rewrites the calendar file once a second until stopped."""

    def __init__(self, path, seed):
        super().__init__(daemon=True)
        self.path = pathlib.Path(path)
        self.rng = random.Random(seed)
        self.stop_flag = threading.Event()
        self.renamed = self.in_place = 0

    def write_once(self, generation):
        text = calendar_text(self.rng, generation, self.rng.randint(80, 240))
        if self.rng.random() < 0.2:
            # In place: the program may catch the file half written.
            with open(self.path, "w") as f:
                f.write(text)
            self.in_place += 1
        else:
            temp = self.path.with_name(self.path.name + ".new")
            temp.write_text(text)
            os.replace(temp, self.path)
            self.renamed += 1

    def run(self):
        generation = 1
        while not self.stop_flag.wait(1.0):
            self.write_once(generation)
            generation += 1

    def stop(self):
        self.stop_flag.set()
        self.join(5)


# -- the pointer --------------------------------------------------------------

class Driver:
    def __init__(self, session, tile, rng):
        self.session, self.tile, self.rng = session, tile, rng
        self.buttons_shown = True  # the bar is shown at start
        self.last_point = None     # the last point clicked on the tile
        self.counts = {}
        self.fallbacks = []

    def count(self, name):
        self.counts[name] = self.counts.get(name, 0) + 1

    def xdotool(self, *args):
        if args[:1] == ("mousemove",) and str(self.tile.icon) not in map(str, args):
            self.last_point = None
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.session.env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=20)

    def point(self, x0=0, x1=63, y0=0, y1=63):
        """A random point of the box that lies inside the tile's shape: the
        face leaves x 57 to 63, y 56 to 62 transparent, and presses there go
        to the dock beneath."""
        while True:
            x, y = self.rng.randint(x0, x1), self.rng.randint(y0, y1)
            if not (x >= 57 and 56 <= y <= 62):
                return x, y

    def click(self, x, y, button=1, repeat=1, delay_ms=80):
        # A synchronous move to where the pointer already is would wait for a
        # motion that never comes.
        sync = ["--sync"] if (x, y) != self.last_point else []
        self.last_point = (x, y)
        self.xdotool("mousemove", *sync, "--window", self.tile.icon, x, y,
                     "click", "--repeat", repeat, "--delay", delay_ms, button)

    def visible(self, *criteria):
        found = self.xdotool("search", "--onlyvisible", *criteria)
        return [int(w) for w in found.stdout.split()]

    def geometry(self, window):
        out = self.xdotool("getwindowgeometry", "--shell", window).stdout.decode()
        fields = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return {k: int(v) for k, v in fields.items() if v.lstrip("-").isdigit()}

    def name(self, window):
        return self.xdotool("getwindowname", window).stdout.decode().strip()

    def gone(self, window, timeout=5):
        return harness.wait_for(lambda: window not in self.visible("--classname", "^dayspinner$"),
                                timeout)

    # Each action returns after the program can take the next press.

    def corner(self):
        if self.rng.random() < 0.5:
            self.click(self.rng.randint(0, 11), self.rng.randint(0, 11))
        else:
            self.click(self.rng.randint(51, 63), self.rng.randint(0, 11))

    def wheel(self):
        self.click(*self.point(), button=self.rng.choice((4, 5)), repeat=self.rng.randint(1, 3), delay_ms=30)

    def middle(self):
        self.click(*self.point(), button=2)

    def bar_toggle(self):
        self.click(*self.point(53, 63, 57, 63))
        self.buttons_shown = not self.buttons_shown

    def bar_button(self):
        if not self.buttons_shown:
            self.bar_toggle()
        zone = self.rng.choice(((38, 45), (29, 36), (20, 27)))
        repeat = 2 if zone == (20, 27) and self.rng.random() < 0.5 else 1
        self.click(self.rng.randint(*zone), self.rng.randint(56, 63), repeat=repeat)

    def day_click(self):
        self.click(*self.point(0, 62, harness_grid_y0, 55))

    def day_views(self):
        dialogs = self.visible("--name", DIALOG_TITLE)
        return [w for w in self.visible("--classname", "^dayspinner$") if w not in dialogs]

    def day_view(self):
        self.click(*self.point(0, 62, harness_grid_y0, 55), button=3)
        views = harness.wait_for(self.day_views, 3)
        if not views:
            self.count("day view (day without events)")
            return
        self.close_day_view(views[0])

    def close_day_view(self, view):
        self.count("day view opened")
        g = self.geometry(view)
        # In Farsi and Arabic the view runs right to left, its " X " at the
        # left; its title, the heading, then has the language's digits.
        rtl = not self.name(view).isascii()
        if self.rng.random() < 0.5:
            # Drag by the heading, from a point of its middle that is on the screen.
            middle = g["WIDTH"] // 2
            grab_x = self.rng.randint(max(5, middle - 20),
                                      max(5, min(middle + 20, SCREEN_WIDTH - g["X"] - 5)))
            self.xdotool("mousemove", "--sync", "--window", view, grab_x, 9, "mousedown", 1)
            for _ in range(4):
                self.xdotool("mousemove_relative", "--sync", "--", self.rng.randint(-80, -10),
                             self.rng.randint(0, 40))
            self.xdotool("mouseup", 1)
            self.count("day view dragged")
            g = self.geometry(view)
        if g["X"] + g["WIDTH"] > SCREEN_WIDTH or g["Y"] + g["HEIGHT"] > SCREEN_HEIGHT:
            # Opened at the dock on the right edge, the view reaches past the
            # screen; bring it back so that its " X " can be pressed.
            self.xdotool("windowmove", "--sync", view, max(0, SCREEN_WIDTH - g["WIDTH"] - 80),
                         max(0, min(g["Y"], SCREEN_HEIGHT - g["HEIGHT"] - 10)))
            self.count("day view off the screen, moved back")
            g = self.geometry(view)
        # " X " is the last column of the heading row, at the right edge (left
        # edge right to left).
        self.xdotool("mousemove", "--sync", "--window", view, 6 if rtl else g["WIDTH"] - 6, 9,
                     "click", 1)
        if not self.gone(view):
            self.fallbacks.append("day view did not close on its X label")
            self.session.helper("close", view, check=False)
            if not self.gone(view):
                raise RuntimeError("the day view stays open")

    def settings(self):
        if not self.buttons_shown:
            self.bar_toggle()
        self.click(self.rng.randint(47, 51), self.rng.randint(56, 63))
        dialogs = harness.wait_for(lambda: self.visible("--name", DIALOG_TITLE), 8)
        if not dialogs:
            # A day view that came up after its wait holds the press back
            # until it is closed.
            for view in self.day_views():
                self.count("day view late")
                self.close_day_view(view)
            dialogs = harness.wait_for(lambda: self.visible("--name", DIALOG_TITLE), 8)
        if not dialogs:
            # The press may have found the bar hidden: the driver's idea of
            # the bar went wrong somewhere. Toggle it and press again.
            before = self.tile.image()
            self.bar_toggle()
            self.fallbacks.append("settings button without a dialog after %d actions; the bar "
                                  "toggle %s the face" % (sum(self.counts.values()),
                                  "changed" if harness.wait_for(
                                      lambda: self.tile.image().differs(before), 3)
                                  else "did not change"))
            self.buttons_shown = True  # the toggle showed it
            self.click(*self.point(47, 51, 56, 63))
            dialogs = harness.wait_for(lambda: self.visible("--name", DIALOG_TITLE), 8)
        if not dialogs:
            raise RuntimeError("the settings button opened no dialog; windows of the program: %r, "
                               "actions so far: %r" % ([(w, self.name(w), self.geometry(w)) for w in
                                                        self.visible("--classname", "^dayspinner$")],
                                                       self.counts))
        dialog = dialogs[0]
        self.count("settings dialog opened")
        g = self.geometry(dialog)
        if self.rng.random() < 0.3:
            # Focus starts on the icon group; two tabs reach the language group.
            self.xdotool("windowfocus", "--sync", dialog)
            self.xdotool("key", "--delay", 40, "Tab", "Tab", self.rng.choice(("Left", "Right")))
            self.count("language changed")
        if self.rng.random() < 0.5:
            # The last three rows are the file, "save" and "close" buttons.
            self.xdotool("mousemove", "--sync", "--window", dialog, g["WIDTH"] // 2,
                         g["HEIGHT"] - 48, "click", 1)
            self.count("settings saved")
        self.xdotool("mousemove", "--sync", "--window", dialog, g["WIDTH"] // 2,
                     g["HEIGHT"] - 17, "click", 1)
        if not self.gone(dialog):
            self.fallbacks.append("dialog did not close on its close button")
            self.session.helper("close", dialog, check=False)
            if not self.gone(dialog):
                raise RuntimeError("the settings dialog stays open")

    def one_action(self):
        actions = ((self.corner, 20), (self.wheel, 20), (self.middle, 8), (self.bar_toggle, 6),
                   (self.bar_button, 16), (self.day_click, 20), (self.day_view, 6),
                   (self.settings, 2))
        pick = self.rng.uniform(0, sum(w for _, w in actions))
        for action, weight in actions:
            pick -= weight
            if pick <= 0:
                break
        action()
        self.count(action.__name__)


harness_grid_y0 = 20  # first pixel row of the day grid


def settings_text(home):
    return ("ICS=%s/%s\nAPP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\n"
            "STARTOFWEEK=7\n" % (home, harness.CALENDAR_PATH))


def soak(minutes, baseline_s, seed, log):
    rng = random.Random(seed)
    session = harness.Session()
    try:
        home = session.home
        (home / harness.SETTINGS_NAME).write_text(settings_text(home))
        calendar = home / harness.CALENDAR_PATH
        calendar.parent.mkdir(parents=True, exist_ok=True)
        calendar.write_text(calendar_text(rng, 0, 200))
        env = {}
        if is_sanitizer_build(harness.dayspinner_binary()):
            # Freed blocks held back by the sanitizer would read as growth.
            env["ASAN_OPTIONS"] = session.env.get("ASAN_OPTIONS", "") + \
                ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0"
        tile = session.start_tile(env=env)
        pid = tile.process.pid
        writer = CalendarWriter(calendar, seed + 1)
        writer.start()
        driver = Driver(session, tile, rng)

        start = time.monotonic()
        end = start + minutes * 60
        baseline = None
        samples = []
        next_sample = start
        actions = 0
        failure = None
        try:
            # GTK's first window costs several MiB once; have both kinds up
            # before the reference size is taken.
            driver.settings()
            for _ in range(20):
                driver.day_view()
                if driver.counts.get("day view opened"):
                    break
            while time.monotonic() < end:
                if not tile.running():
                    break
                try:
                    driver.one_action()
                except RuntimeError as e:
                    failure = str(e)
                    break
                actions += 1
                now = time.monotonic()
                if baseline is None and now - start >= baseline_s:
                    baseline = resident_kib(pid)
                if now >= next_sample:
                    samples.append((round(now - start), resident_kib(pid)))
                    log("%5d s  %6d actions  VmRSS %d kB" % (samples[-1][0], actions,
                                                              samples[-1][1]))
                    next_sample = now + 60
                time.sleep(rng.uniform(0, 0.04))
        finally:
            writer.stop()
        alive = tile.running()
        final = resident_kib(pid) if alive else None
        status = tile.close_and_wait(15) if alive else tile.process.returncode
        stderr = tile.stderr()
        errors = [line for line in stderr.splitlines() if ERROR_PATTERNS.search(line)]
        others = [line for line in stderr.splitlines() if not ERROR_PATTERNS.search(line)]
        report = {
            "minutes": minutes, "actions": actions, "alive at the end": alive,
            "exit status": status, "VmRSS after %d s (kB)" % baseline_s: baseline,
            "VmRSS at the end (kB)": final, "calendar rewrites (renamed, in place)":
                (writer.renamed, writer.in_place),
            "actions by kind": driver.counts, "fallbacks": driver.fallbacks,
            "driver failure": failure,
            "errors on stderr": errors, "other stderr lines": others[:20],
        }
        # Under the sanitizers the resident size measures their allocator (shadow
        # memory, size-class caches), not the program: it is reported, not judged.
        sanitized = is_sanitizer_build(harness.dayspinner_binary())
        steady = (baseline is not None and final is not None
                  and (sanitized or abs(final - baseline) <= RSS_TOLERANCE_KIB))
        ok = failure is None and alive and status == 0 and not errors and steady
        return ok, report
    finally:
        session.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--baseline", type=float, default=60,
                        help="seconds after which the reference resident size is taken")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--binary")
    parser.add_argument("--xhelper")
    args = parser.parse_args()
    if args.binary:
        os.environ["DAYSPINNER_BINARY"] = os.path.abspath(args.binary)
    if args.xhelper:
        os.environ["DAYSPINNER_XHELPER"] = os.path.abspath(args.xhelper)
    seed = args.seed if args.seed is not None else int(time.time())
    print("soak: %.1f minutes, seed %d, %s" % (args.minutes, seed, harness.dayspinner_binary()),
          flush=True)
    ok, report = soak(args.minutes, args.baseline, seed, lambda s: print(s, flush=True))
    for key, value in report.items():
        print("%s: %s" % (key, value))
    print("soak: %s" % ("passed" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
