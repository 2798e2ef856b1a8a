#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""For each hostile calendar file, the time from the start of the tile until
its face is drawn, until the file's other events are marked, and the time a
wheel click then takes to move the month; side by side for several builds,
each docked in a Window Maker of its own in Xvfb. Capped at --cap seconds.

    python3 bench/hostile_figures.py XHELPER BINARY [BINARY...] [--cap 20]
"""

import argparse
import os
import pathlib
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path[:0] = [str(HERE.parent / "tests" / "e2e"), str(HERE.parent / "tools")]
import harness  # noqa: E402
import hostile_calendars  # noqa: E402

DATE = "2026-07-15 10:00:00"
SETTINGS = "APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n"
BUSY, TODAY = (0x82, 0x94, 0xFF), (0xB8, 0x00, 0x00)


def busy_days(image):
    return image.days_in(BUSY, first_column=2)  # 1 July 2026 is a Wednesday


def until(tile, predicate, start, cap):
    found = harness.wait_for(lambda: tile.running() and predicate(tile.image()), cap, 0.02)
    return "%.2f" % (time.monotonic() - start) if found else "> %g (%s)" % (
        cap, "alive" if tile.running() else "dead")


def measure(binary, name, cap):
    os.environ["DAYSPINNER_BINARY"] = binary
    with harness.Session() as session:
        path = session.home / harness.CALENDAR_PATH
        path.parent.mkdir(parents=True, exist_ok=True)
        (session.home / harness.SETTINGS_NAME).write_text(SETTINGS + "ICS=%s\n" % path)
        hostile_calendars.write(name, path)
        start = time.monotonic()
        tile = session.start_tile(date=DATE, wait=False)
        try:
            tile.wait_docked(timeout=cap)
        except RuntimeError:
            return ["dead"] * 3
        face = until(tile, lambda im: im.count(TODAY), start, cap)
        marked = until(tile, lambda im: set(hostile_calendars.MARKED_DAYS) <= busy_days(im),
                       start, cap)
        if face.startswith(">"):
            return [face, marked, "-"]
        tile.move(25, 40)
        click = time.monotonic()
        tile.session.xdotool("click", 5)
        wheel = until(tile, lambda im: not im.count(TODAY), click, cap)
        return [face, marked, wheel]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("xhelper")
    parser.add_argument("binaries", nargs="+")
    parser.add_argument("--cap", type=float, default=20)
    args = parser.parse_args()
    os.environ["DAYSPINNER_XHELPER"] = args.xhelper
    print("| File | " + " | ".join("%s: face, marks, wheel (s)" % b for b in args.binaries) + " |")
    print("|---|" + "---|" * len(args.binaries))
    for name in hostile_calendars.CLASSES:
        cells = [", ".join(measure(b, name, args.cap)) for b in args.binaries]
        print("| %s | %s |" % (name, " | ".join(cells)), flush=True)


if __name__ == "__main__":
    main()
