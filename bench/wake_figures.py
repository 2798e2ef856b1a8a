#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""When the docked tile wakes, side by side for two builds (a baseline and the
one under test), each docked in Xvfb with Window Maker:

    python3 bench/wake_figures.py BASELINE CANDIDATE XHELPER [--idle-seconds 600]

- idle CPU time and system calls per minute (strace -c), both tiles docked in
  the same Xvfb and Window Maker over the same idle span;
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

SETTINGS = refresh.SETTINGS


def cpu_seconds(pid):
    fields = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def syscalls(summary):
    for line in summary.splitlines():
        if line.strip().endswith("total"):
            return int(line.split()[3])
    return 0


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
        tracers = [subprocess.Popen(["strace", "-c", "-f", "-p", str(t.process.pid)],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                   for t in tiles]
        time.sleep(seconds)
        for tracer in tracers:
            tracer.terminate()
        calls = [syscalls(tracer.communicate()[1]) for tracer in tracers]
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
    args = parser.parse_args()
    os.environ["DAYSPINNER_XHELPER"] = args.xhelper
    binaries = [args.baseline, args.candidate]
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
