#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Figures of the whole dayspinner process docked in Window Maker under Xvfb:
start-up time, resident size at three moments, idle CPU time.

    python3 bench/whole_process.py BINARY XHELPER [--starts 20] [--idle-seconds 600]

Start-up is the wall time from the exec of the program until the docked tile
first shows a face (more than a handful of colours in the icon window).
"""

import argparse
import datetime
import os
import pathlib
import statistics
import subprocess
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "e2e"))
import harness  # noqa: E402

DIALOG_TITLE = "^Dayspinner 0\\.5\\.1$"


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return None


def cpu_seconds(pid):
    fields = pathlib.Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    # utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def face_shown(session):
    found = session.helper("find-tile", harness.TILE_NAME, check=False)
    if found.returncode != 0:
        return False
    g = dict(f.split("=", 1) for f in found.stdout.decode().split())
    if int(g.get("viewable", "0"), 0) == 0 or g.get("parent") == g.get("root"):
        return False
    snap = session.helper("snap", int(g["icon"], 0), check=False)
    if snap.returncode != 0:
        return False
    image = harness.Image.from_ppm(snap.stdout)
    return len(set(zip(*[iter(image.rgb)] * 3))) > 4


def start_up_seconds(session):
    t0 = time.monotonic()
    tile = session.start_tile(wait=False)
    while not face_shown(session):
        if not tile.running():
            raise RuntimeError("dayspinner ended during start-up:\n" + tile.stderr())
        if time.monotonic() - t0 > 30:
            raise RuntimeError("no face within 30 s")
    elapsed = time.monotonic() - t0
    tile.close_and_wait()
    return elapsed


def big_calendar(count):
    day = datetime.date.today() - datetime.timedelta(days=count // 40)
    lines = ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//dayspinner//bench//EN"]
    for n in range(count):
        d = day + datetime.timedelta(days=n // 20)
        hour = 8 + n % 10
        stamp = "%04d%02d%02d" % (d.year, d.month, d.day)
        lines += ["BEGIN:VEVENT", "UID:bench-%d" % n,
                  "DTSTART:%sT%02d0000" % (stamp, hour), "DTEND:%sT%02d3000" % (stamp, hour),
                  "SUMMARY:Event number %d" % n, "LOCATION:Room %d" % (n % 50), "END:VEVENT"]
    lines.append("END:VCALENDAR")
    return "\r\n".join(lines) + "\r\n"


def find_dialog(session):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", DIALOG_TITLE],
                           env=session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    ids = found.stdout.split()
    return int(ids[0]) if ids else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("xhelper")
    parser.add_argument("--starts", type=int, default=20)
    parser.add_argument("--idle-seconds", type=float, default=600)
    args = parser.parse_args()
    os.environ["DAYSPINNER_BINARY"] = os.path.abspath(args.binary)
    os.environ["DAYSPINNER_XHELPER"] = os.path.abspath(args.xhelper)

    with harness.Session() as session:
        times = [start_up_seconds(session) for _ in range(args.starts)]
        print("start-up to the first docked face: median %.1f ms of %d starts "
              "(min %.1f, max %.1f)" % (1000 * statistics.median(times), len(times),
                                        1000 * min(times), 1000 * max(times)), flush=True)

        tile = session.start_tile()
        pid = tile.process.pid
        time.sleep(1.0)
        print("resident size after start: %d KiB" % resident_kib(pid), flush=True)

        tile.click(49, 60)
        dialog = harness.wait_for(lambda: find_dialog(session), 10)
        if dialog is None:
            raise RuntimeError("the settings dialog did not open")
        session.helper("close", dialog)
        harness.wait_for(lambda: find_dialog(session) is None, 10)
        time.sleep(0.5)
        print("resident size after the first dialog: %d KiB" % resident_kib(pid), flush=True)

        ics = session.home / harness.CALENDAR_PATH
        ics.parent.mkdir(parents=True, exist_ok=True)
        ics.write_text(big_calendar(10000))
        t0 = time.monotonic()
        tile.click(30, 30, button=2)  # the repaint after a press re-reads the file
        cpu0 = cpu_seconds(pid)
        # The load is done when the program stops using CPU time.
        while True:
            time.sleep(0.2)
            cpu1 = cpu_seconds(pid)
            if cpu1 == cpu0:
                break
            cpu0 = cpu1
        print("resident size after loading a 10,000-event file: %d KiB "
              "(load and repaint about %.1f s)" % (resident_kib(pid), time.monotonic() - t0 - 0.2),
              flush=True)

        session.xdotool("mousemove", 10, 700)  # the pointer away from the tile
        time.sleep(2)
        c0, w0 = cpu_seconds(pid), time.monotonic()
        time.sleep(args.idle_seconds)
        c1, w1 = cpu_seconds(pid), time.monotonic()
        print("idle CPU time with 10,000 events: %.2f s in %.0f s = %.3f %% of one core"
              % (c1 - c0, w1 - w0, 100 * (c1 - c0) / (w1 - w0)), flush=True)
        tile.close_and_wait()


if __name__ == "__main__":
    main()
