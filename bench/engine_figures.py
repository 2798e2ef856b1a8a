#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The calendar engine's figures, side by side in one run (docs/FIGURES.md):

    python3 bench/engine_figures.py [BUILD_DIR] [--only load|wheel|memory|cap]

The whole run takes about five minutes.

1. Load: the engine's read (read_calendar, in process) against libical's bare
   parse of the same file, 1,000, 10,000 and 50,000 events (bench_events).
2. Wheel clicks on the docked tile, run with -d: from a click until the
   first `shown:` line of the new month (on screen) and until the first one
   of it with pending 0 (marks complete); a neighbouring month (one click,
   the months around the shown one having been answered in the background)
   and a far month (twelve clicks at once). Against the in-process walk of
   the same calendar over the same month (bench_events --walk), and the
   engine's own answer of its marks through its worker, without the tile.
   The first row, one event without a rule, asks the engine nothing: its
   far marks are the tile's own handling of the click.
3. Memory: the tile's and the engine's resident size (and the part of it
   private to the process) after 1 and after 45 reloads of a 10,000-event
   file, and after the engine is killed and the tile has started another.

Clicks are sent through XTest on one open connection, so that no program
start is counted; each time is taken when the tile's line arrives on its
pipe. The tile prints the line once the face is sent, after its XSync.
"""

import argparse
import contextlib
import ctypes
import datetime
import json
import os
import pathlib
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))
import harness  # noqa: E402

SETTINGS = "APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\nICS=%s\n"
SHOWN = re.compile(r"shown: \w+ (\d{4}-\d\d) today \S+ busy \S+ free \S+ holiday \S+ pending (\d+)")
ONE_EVENT = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//figures//EN\r\nBEGIN:VEVENT\r\n"
             "UID:one\r\nDTSTART;VALUE=DATE:20000101\r\nSUMMARY:one\r\nEND:VEVENT\r\n"
             "END:VCALENDAR\r\n")
CALENDARS = [("one event without a rule: the click alone, no engine asked", "one-event.ics"),
             ("500 rules, first instances 30 years back", "rules-30-years-old.ics"),
             ("500 rules, first instances this month", "rules-new.ics"),
             ("web calendar export, 5,000 events", "export-5000.ics"),
             ("10,000 events", "events-10000.ics"),
             ("50,000 events", "events-50000.ics")]
NEIGHBOURS = 3               # one click each, forward
FAR_JUMPS = (12, -24, -12)   # clicks at once; every target month not asked before


def month_add(year, month, n):
    m = year * 12 + month - 1 + n
    return m // 12, m % 12 + 1


def jdn(d):
    return d.toordinal() + 1721425


def month_days(year, month):
    first = datetime.date(year, month, 1)
    y, m = month_add(year, month, 1)
    return jdn(first), jdn(datetime.date(y, m, 1)) - 1


class PipedTile(harness.Tile):
    """A tile whose standard output is a pipe read by a thread that stamps
    each line with the monotonic time it arrived."""

    def __init__(self, session, args):
        argv, env, _ = session._command(args, None, None)
        self.session = session
        self._err = pathlib.Path(tempfile.mkstemp(dir=session._tmp, suffix=".err")[1])
        with open(self._err, "wb") as err:
            self.process = session._spawn(argv, env=env, stdout=subprocess.PIPE, stderr=err,
                                          bufsize=0)
        self.leader = self.icon = self.window = self.shown = None
        self.geometry = {}
        self.lines = []  # (time, text)
        self.changed = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        rest = b""
        fd = self.process.stdout.fileno()
        while True:
            chunk = os.read(fd, 65536)
            now = time.monotonic()
            if not chunk:
                break
            rest += chunk
            *whole, rest = rest.split(b"\n")
            with self.changed:
                self.lines.extend((now, w.decode(errors="replace")) for w in whole)
                self.changed.notify_all()

    def stdout(self):
        return "".join(text + "\n" for _, text in self.lines)

    def wait_line(self, predicate, after, timeout=60):
        """The first line from index `after` on for which predicate(text) is
        true: (index, time, text)."""
        end = time.monotonic() + timeout
        i = after
        with self.changed:
            while True:
                while i < len(self.lines):
                    t, text = self.lines[i]
                    if predicate(text):
                        return i, t, text
                    i += 1
                left = end - time.monotonic()
                if left <= 0 or not self.running():
                    raise RuntimeError("no such line within %s s:\n%s%s"
                                       % (timeout, "".join(x + "\n" for _, x in
                                                           self.lines[-5:]), self.stderr()))
                self.changed.wait(left)


def shown(month, complete):
    def match(text):
        m = SHOWN.search(text)
        return m and m.group(1) == month and (not complete or m.group(2) == "0")
    return match


def children(pid):
    try:
        path = pathlib.Path("/proc/%d/task/%d/children" % (pid, pid))
        return [int(c) for c in path.read_text().split()]
    except OSError:
        return []


def cpu_ticks(pid):
    try:
        f = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
        return sum(int(x) for x in f[11:15])  # utime, stime and the reaped children's
    except OSError:
        return 0


def resident_kib(pid):
    """Resident, and of it the pages no other process shares (KiB)."""
    fields = {}
    for line in pathlib.Path("/proc/%d/smaps_rollup" % pid).read_text().splitlines()[1:]:
        key, value = line.split(":", 1)
        fields[key] = int(value.split()[0])
    return fields["Rss"], fields["Private_Clean"] + fields["Private_Dirty"]


def settle(tile):
    """Until the tile, its engine and the engine's worker have used no CPU
    time for 0.3 s: the months around the shown one are answered."""
    def pids():  # the tile, its engine and the engine's worker
        found = [tile.process.pid]
        for p in found:
            found.extend(children(p))
        return found
    last = None
    while True:
        now = sum(cpu_ticks(p) for p in pids())
        if now == last:
            return
        last = now
        time.sleep(0.3)


class Clicker:
    """Wheel clicks through XTest, flushed at once on one connection."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint,
                                                   ctypes.c_int, ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open display " + display)

    def wheel(self, clicks):
        button = 5 if clicks > 0 else 4  # forward, back
        for _ in range(abs(clicks)):
            self.xtst.XTestFakeButtonEvent(self.display, button, 1, 0)
            self.xtst.XTestFakeButtonEvent(self.display, button, 0, 0)
        sent = time.monotonic()
        self.x11.XFlush(self.display)
        return sent

    def close(self):
        self.x11.XCloseDisplay(self.display)


def bench_events(build, *args):
    out = subprocess.run([str(build / "bench" / "events" / "bench_events")] + list(args),
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    return out


def walk_ms(build, path, year, month):
    first, last = month_days(year, month)
    out = bench_events(build, "--walk", str(path), str(first), str(last)).split()
    return dict(zip(out[0::2], map(float, out[1::2])))


def load_figures(build):
    out = json.loads(bench_events(build, "--benchmark_filter=bm_(load_events|bare_parse)/",
                                  "--benchmark_repetitions=5", "--benchmark_format=json"))
    runs = {}
    for b in out["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name, n = b["run_name"].split("/")
        runs.setdefault((name, int(n)), []).append((b["cpu_time"], b["real_time"]))
    print("\n== Load against libical's bare parse (ms, best of 5 repetitions)")
    print("| Events | engine's read, CPU | bare parse, CPU | ratio | engine's read, wall "
          "| bare parse, wall | ratio |")
    print("|---|---|---|---|---|---|---|")
    for n in (1000, 10000, 50000):
        load, parse = runs[("bm_load_events", n)], runs[("bm_bare_parse", n)]
        lc, pc = min(c for c, _ in load), min(c for c, _ in parse)
        lw, pw = min(w for _, w in load), min(w for _, w in parse)
        print("| %s | %.1f | %.1f | %.2f | %.1f | %.1f | %.2f |"
              % (format(n, ","), lc, pc, lc / pc, lw, pw, lw / pw), flush=True)


def click_and_time(tile, clicker, clicks, year, month):
    y, m = month_add(year, month, clicks)
    target = "%04d-%02d" % (y, m)
    after = len(tile.lines)
    sent = clicker.wheel(clicks)
    _, on_screen, _ = tile.wait_line(shown(target, False), after)
    _, complete, _ = tile.wait_line(shown(target, True), after)
    settle(tile)
    return y, m, (on_screen - sent) * 1000, (complete - sent) * 1000


@contextlib.contextmanager
def wheel_ready(session, today):
    """The tile started on the calendar in place, today's month answered and
    the months around it settled, the pointer on its days, and a Clicker."""
    tile = PipedTile(session, ["-d"])
    clicker = None
    try:
        tile.wait_docked()
        tile.wait_line(shown("%04d-%02d" % (today.year, today.month), True), 0)
        settle(tile)
        tile.move(32, 40)
        clicker = Clicker(session.display)
        yield tile, clicker
    finally:
        if clicker:
            clicker.close()
        tile.close_and_wait()


def wheel_figures(build, session, calendars, today):
    print("\n== Wheel clicks on the docked tile (ms from the click; median, with the range)")
    print("| Calendar | months | neighbour: on screen | neighbour: marks | far: on screen "
          "| far: marks | walk of the far month | engine's answer of it | far marks / walk |")
    print("|---|---|---|---|---|---|---|---|---|")
    path = session.home / "calendar.ics"
    (session.home / harness.SETTINGS_NAME).write_text(SETTINGS % path)
    for label, name in CALENDARS:
        shutil.copyfile(calendars / name, path)
        with wheel_ready(session, today) as (tile, clicker):
            year, month = today.year, today.month
            near, far, walks, answers = [], [], [], []
            for _ in range(NEIGHBOURS):
                year, month, a, b = click_and_time(tile, clicker, 1, year, month)
                near.append((a, b))
            for jump in FAR_JUMPS:
                year, month, a, b = click_and_time(tile, clicker, jump, year, month)
                far.append((a, b))
                walked = walk_ms(build, path, year, month)
                walks.append(walked["median_walk_ms"])
                answers.append(walked["median_answer_ms"])

        def cell(values):
            return "%.1f (%.1f to %.1f)" % (statistics.median(values), min(values),
                                            max(values))
        ratios = [b / w for (_, b), w in zip(far, walks) if w >= 0.05]
        print("| %s | %d + %d | %s | %s | %s | %s | %s | %s | %s |"
              % (label, len(near), len(far), cell([a for a, _ in near]),
                 cell([b for _, b in near]), cell([a for a, _ in far]),
                 cell([b for _, b in far]), cell(walks), cell(answers),
                 cell(ratios) if ratios else "-"), flush=True)


def memory_figures(session, calendars, today):
    print("\n== Resident size over reloads of a 10,000-event file (KiB)")
    path = session.home / "calendar.ics"
    (session.home / harness.SETTINGS_NAME).write_text(SETTINGS % path)
    versions = [calendars / "events-10000.ics", calendars / "events-10000-b.ics"]
    shutil.copyfile(versions[0], path)
    tile = PipedTile(session, ["-d"])
    month = "%04d-%02d" % (today.year, today.month)
    sizes = {}
    reloads = []  # ms from the rename to the month's marks complete
    try:
        tile.wait_docked()
        tile.wait_line(shown(month, True), 0)

        def engine():
            found = children(tile.process.pid)
            return found[0] if found else None

        def measure(key):
            settle(tile)
            sizes[key] = (resident_kib(tile.process.pid), resident_kib(engine()))

        def reload(n):
            new = path.with_name("calendar.ics.new")
            shutil.copyfile(versions[n % 2], new)
            after = len(tile.lines)
            start = time.monotonic()
            os.replace(new, path)
            i, _, _ = tile.wait_line(lambda t: t == "read calendar data", after)
            _, done, _ = tile.wait_line(shown(month, True), i)
            reloads.append((done - start) * 1000)

        measure(0)
        for n in range(1, 46):
            reload(n)
            if n in (1, 45):
                measure(n)
        old = engine()
        after = len(tile.lines)
        os.kill(old, signal.SIGKILL)
        i, _, _ = tile.wait_line(lambda t: t.startswith("calendar engine ended"), after)
        tile.wait_line(shown(month, True), i)
        measure("restart")
        new = engine()
    finally:
        tile.close_and_wait()
    print("| Moment | tile: resident, private | engine: resident, private |")
    print("|---|---|---|")
    rows = [(0, "after the first load"), (1, "after 1 reload"), (45, "after 45 reloads"),
            ("restart", "engine killed (pid %d), a new one (pid %d) has read the file"
             % (old, new))]
    for key, name in rows:
        print("| %s | %s | %s |" % (name, "%s, %s" % tuple(format(v, ",") for v in sizes[key][0]),
                                    "%s, %s" % tuple(format(v, ",") for v in sizes[key][1])))
    print("| growth from 1 to 45 reloads | %+d, %+d | %+d, %+d |"
          % tuple(sizes[45][p][i] - sizes[1][p][i] for p in (0, 1) for i in (0, 1)))
    print("\nA reload, from the rename over the file to the month's marks complete: "
          "median %.0f ms (%.0f to %.0f) of %d" % (statistics.median(reloads), min(reloads),
                                                   max(reloads), len(reloads)), flush=True)


def daily_calendar(count):
    """count events that recur every day from 1 January 2025, no end."""
    events = "".join("BEGIN:VEVENT\r\nUID:d%d\r\nDTSTART;VALUE=DATE:20250101\r\n"
                     "RRULE:FREQ=DAILY\r\nSUMMARY:daily %d\r\nEND:VEVENT\r\n" % (i, i)
                     for i in range(count))
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner bench//EN\r\n" + events +
            "END:VCALENDAR\r\n")


def cap_figures(session, today):
    print("\n== The tile's resident size under every day busy many times over (KiB)")
    path = session.home / "calendar.ics"
    (session.home / harness.SETTINGS_NAME).write_text(SETTINGS % path)
    print("| Calendar | file | tile: after the first month | tile: most over the wheel "
          "| engine: most | wheel: months, s |")
    print("|---|---|---|---|---|---|")
    for count in (0, 20000, 100000):
        path.write_text(daily_calendar(count))
        with wheel_ready(session, today) as (tile, clicker):
            year, month = today.year, today.month
            first = resident_kib(tile.process.pid)[0]
            most, engine = first, 0
            start = time.monotonic()
            # Two years forward a month at a time, then back in one jump.
            for jump in [1] * 24 + [-24]:
                year, month, _, _ = click_and_time(tile, clicker, jump, year, month)
                most = max(most, resident_kib(tile.process.pid)[0])
                found = children(tile.process.pid)
                if found:
                    engine = max(engine, resident_kib(found[0])[0])
            spent = time.monotonic() - start
        print("| %s daily events | %.1f MB | %s | %s | %s | 25 in %.1f |"
              % (format(count, ","), path.stat().st_size / 1e6, format(first, ","),
                 format(most, ","), format(engine, ","), spent), flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--only", choices=("load", "wheel", "memory", "cap"))
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    os.environ["DAYSPINNER_BINARY"] = str(build / "dayspinner")
    os.environ["DAYSPINNER_XHELPER"] = str(build / "tests" / "e2e" / "ds_e2e_xhelper")
    print("load average at the start: %.2f %.2f %.2f" % os.getloadavg())
    today = datetime.date.today()
    with tempfile.TemporaryDirectory(prefix="ds-figures-") as tmp:
        calendars = pathlib.Path(tmp)
        bench_events(build, "--write-calendars", tmp, str(today.year), str(today.month))
        (calendars / "one-event.ics").write_text(ONE_EVENT)
        if args.only in (None, "load"):
            load_figures(build)
        with harness.Session() as session:
            if args.only in (None, "wheel"):
                wheel_figures(build, session, calendars, today)
            if args.only in (None, "memory"):
                memory_figures(session, calendars, today)
            if args.only in (None, "cap"):
                cap_figures(session, today)
    print("\nload average at the end: %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
