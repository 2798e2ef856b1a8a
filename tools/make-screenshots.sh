#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
# Remakes the README's pictures of the docked tile: docs/tile-latin-gregorian.png,
# docs/tile-farsi-persian.png and docs/tile-iran-holidays.png, four times enlarged, on a fixed date with a
# few busy and free events, in a private Xvfb with Window Maker.
set -eu
cd "$(dirname "$0")/.."
build="${DAYSPINNER_BUILD_DIR:-build}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target dayspinner ds_e2e_xhelper >/dev/null
DAYSPINNER_BINARY="$PWD/$build/dayspinner" DAYSPINNER_XHELPER="$PWD/$build/tests/e2e/ds_e2e_xhelper" \
    python3 - <<'PY'
import subprocess, sys, tempfile, time
sys.path.insert(0, "tests/e2e")
import harness

def event(uid, start, end, summary, transparent=False):
    lines = ["BEGIN:VEVENT", "UID:%s@example.org" % uid, "DTSTART;VALUE=DATE:%s" % start,
             "DTEND;VALUE=DATE:%s" % end, "SUMMARY:%s" % summary]
    if transparent:
        lines.append("TRANSP:TRANSPARENT")
    return lines + ["END:VEVENT"]

calendar = "\r\n".join(
    ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Dayspinner//screenshots//EN"]
    + event(1, "20240312", "20240313", "Dentist")
    + event(2, "20240320", "20240321", "Spring", transparent=True)
    + event(3, "20240326", "20240328", "Conference")
    + ["END:VCALENDAR", ""])

# Tir 1404 with Iran's holidays: Tasua (busy) and Ashura, the Fridays, one
# of them free and one today.
tir = "\r\n".join(
    ["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Dayspinner//screenshots//EN"]
    + event(4, "20250705", "20250706", "Visit")
    + event(5, "20250711", "20250712", "Picnic", transparent=True)
    + event(6, "20250721", "20250722", "Dentist")
    + ["END:VCALENDAR", ""])

def settings(lang, extra=""):
    return ("ICS=/nonexistent\nAPP=xterm\nICON=evolution\nLANG=%s\nVERSION=0.5.1\n"
            "STARTOFWEEK=2\n%s" % (lang, extra)) if extra else (
            "ICS=/nonexistent\nAPP=xterm\nICON=evolution\nLANG=%s\nVERSION=0.5.1\n"
            "STARTOFWEEK=7\n" % lang)

shots = [("docs/tile-latin-gregorian.png", settings("default"), [], calendar, "2024-03-08"),
         ("docs/tile-farsi-persian.png", settings("farsi"), ["-p"], calendar, "2024-03-08"),
         ("docs/tile-iran-holidays.png", settings("farsi", "HIJRI=iran\nHOLIDAYS=iran\n"), ["-p"],
          tir, "2025-07-04")]
for path, text, args, ics, date in shots:
    with harness.Session(settings=text, calendar=ics) as session:
        text = text.replace("/nonexistent", str(session.home / harness.CALENDAR_PATH))
        (session.home / harness.SETTINGS_NAME).write_text(text)
        tile = session.start_tile(["-d"] + args, date=date + " 10:00:00")
        tile.wait_shown(lambda s: s.pending == 0)
        with tempfile.NamedTemporaryFile(suffix=".png") as raw:
            tile.save_png(raw.name)
            subprocess.run(["convert", raw.name, "-scale", "400%", "-strip", path], check=True)
        tile.close_and_wait()
    print(path)
PY
