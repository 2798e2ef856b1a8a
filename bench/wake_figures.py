#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""When the docked tile wakes, side by side for two builds (a baseline and the
one under test), each docked in Xvfb with Window Maker:

    python3 bench/wake_figures.py BASELINE CANDIDATE XHELPER [--idle-seconds 600] [--windows]

- idle CPU time and system calls per minute (strace -c), both tiles docked in
  the same Xvfb and Window Maker over the same idle span;
- with --windows instead: system calls per minute of the tile and its child
  processes while the day view is open and nothing happens, then while the
  settings dialog is, one tile at a time;
- the latency from a rewrite of the calendar file (in place, and a new file
  renamed over it) to the new marks on the face;
- the latency from local midnight (under faketime) to the red mark moving.

A latency not reached within the cap is printed as "> cap".
"""

import argparse
import os
import pathlib
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import harness  # noqa: E402
import test_refresh as refresh  # noqa: E402  (calendar text and face readers)
import test_window_managers as wms  # noqa: E402  (window titles)

SETTINGS = refresh.SETTINGS
# The row, where to click and with which button, and the title of the window
# that opens: the day view of the 10th, the settings dialog.
WINDOWS = (("system calls per minute, day view open", (22, 30), 3, "^Wednesday, 01/10/24$"),
           ("system calls per minute, settings dialog open", (49, 60), 1, wms.DIALOG_TITLE))


def cpu_seconds(pid):
    fields = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def syscalls(summary):
    for line in summary.splitlines():
        if line.strip().endswith("total"):
            return int(line.split()[3])
    return 0


def traced_calls(groups, seconds):
    """System calls of each group of processes over the span, threads and new
    children included."""
    tracers = [subprocess.Popen(["strace", "-c", "-f"] + [a for p in g for a in ("-p", str(p))],
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
               for g in groups]
    time.sleep(seconds)
    for tracer in tracers:
        tracer.terminate()
    return [syscalls(tracer.communicate()[1]) for tracer in tracers]


def with_children(pid):
    children = pathlib.Path("/proc/%d/task/%d/children" % (pid, pid)).read_text().split()
    return [pid] + [int(c) for c in children]


def idle_with_windows(binary, seconds):
    os.environ["DAYSPINNER_BINARY"] = binary
    with harness.Session(calendar=refresh.calendar(10)) as s:
        (s.home / harness.SETTINGS_NAME).write_text(SETTINGS % (s.home / harness.CALENDAR_PATH))
        tile = s.start_tile(date="2024-01-15 10:00:00", env=wms.ENV)
        rates = []
        for _, (x, y), button, title in WINDOWS:
            tile.click(x, y, button=button)
            window = harness.wait_for(lambda: wms.find_visible(s, title), 20)
            if window is None:
                rates.append(None)
                continue
            time.sleep(2)
            rates.append(traced_calls([with_children(tile.process.pid)], seconds)[0] * 60
                         / seconds)
            s.helper("close", window)
            harness.wait_for(lambda: wms.find_visible(s, title) is None, 10)
        return rates


def idle(binaries, seconds):
    with harness.Session(calendar=refresh.calendar(10)) as s:
        path = s.home / harness.CALENDAR_PATH
        (s.home / harness.SETTINGS_NAME).write_text(SETTINGS % path)
        tiles = []
        for binary in binaries:
            os.environ["DAYSPINNER_BINARY"] = binary
            tiles.append(s.start_tile(wait=False))
        time.sleep(3)
        start = [cpu_seconds(t.process.pid) for t in tiles]
        calls = traced_calls([[t.process.pid] for t in tiles], seconds)
        cpu = [cpu_seconds(t.process.pid) - c for t, c in zip(tiles, start)]
        return [(c / seconds * 100, n * 60 / seconds) for c, n in zip(cpu, calls)]


def latency(tile, predicate, cap):
    started = time.monotonic()
    found = harness.wait_for(lambda: predicate(tile.image()), cap, 0.02)
    return time.monotonic() - started if found else None


def rewrite_latencies(binary, cap):
    os.environ["DAYSPINNER_BINARY"] = binary
    with harness.Session(calendar=refresh.calendar(10)) as s:
        path = s.home / harness.CALENDAR_PATH
        (s.home / harness.SETTINGS_NAME).write_text(SETTINGS % path)
        tile = s.start_tile(date="2024-01-15 10:00:00")
        tile.wait_image(lambda im: refresh.busy_days(im) == {10}, timeout=10)
        path.write_text(refresh.calendar(20))
        in_place = latency(tile, lambda im: refresh.busy_days(im) == {20}, cap)
        new = path.with_name("calendar.ics.new")
        new.write_text(refresh.calendar(22))
        os.replace(new, path)
        renamed = latency(tile, lambda im: refresh.busy_days(im) == {22}, cap)
        return in_place, renamed


def midnight_latency(binary, cap):
    os.environ["DAYSPINNER_BINARY"] = binary
    with harness.Session() as s:
        # The faked clock starts at 23:59:57 when the process starts.
        midnight = time.monotonic() + 3
        tile = s.start_tile(date="2024-01-15 23:59:57", wait=False)
        tile.wait_docked()
        tile.wait_image(lambda im: refresh.red_days(im) == {15}, timeout=10)
        found = harness.wait_for(lambda: refresh.red_days(tile.image()) == {16}, cap + 3, 0.02)
        return time.monotonic() - midnight if found else None


def show(value, cap):
    return "> %.0f s" % cap if value is None else "%.3f s" % value


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("baseline")
    parser.add_argument("candidate")
    parser.add_argument("xhelper")
    parser.add_argument("--idle-seconds", type=float, default=600)
    parser.add_argument("--cap", type=float, default=20)
    parser.add_argument("--windows", action="store_true")
    args = parser.parse_args()
    os.environ["DAYSPINNER_XHELPER"] = args.xhelper
    binaries = [args.baseline, args.candidate]
    if args.windows:
        rates = [idle_with_windows(b, args.idle_seconds) for b in binaries]
        print("%-48s %12s %12s %10s" % ("over %.0f s" % args.idle_seconds, "baseline",
                                       "candidate", "ratio"))
        for i, row in enumerate(WINDOWS):
            b, c = rates[0][i], rates[1][i]
            print("%-48s %12s %12s %10s" % (row[0], "-" if b is None else "%.0f" % b,
                                           "-" if c is None else "%.0f" % c,
                                           "%.3f" % (c / b) if b and c is not None else "-"))
        return
    rows = [("idle CPU, %% of a core over %.0f s" % args.idle_seconds, "%.4f %%"),
            ("system calls per minute, idle", "%.0f")]
    figures = idle(binaries, args.idle_seconds)
    print("%-44s %16s %16s %10s" % ("", "baseline", "candidate", "ratio"))
    for i, (name, form) in enumerate(rows):
        b, c = figures[0][i], figures[1][i]
        print("%-44s %16s %16s %10s" % (name, form % b, form % c,
                                       "%.3f" % (c / b) if b else "-"))
    rewrite = [rewrite_latencies(b, args.cap) for b in binaries]
    midnight = [midnight_latency(b, args.cap) for b in binaries]
    for name, pair in (("rewrite in place to new marks", [r[0] for r in rewrite]),
                       ("rename over the file to new marks", [r[1] for r in rewrite]),
                       ("local midnight to the red mark moving", midnight)):
        ratio = "%.4f" % (pair[1] / pair[0]) if None not in pair else "-"
        print("%-44s %16s %16s %10s" % (name, show(pair[0], args.cap), show(pair[1], args.cap),
                                       ratio))


if __name__ == "__main__":
    main()
