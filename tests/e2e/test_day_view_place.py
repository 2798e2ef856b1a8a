# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The day view opens beside the docked tile, clear of it and on the screen,
with Window Maker's dock on the right and on the left and in Fluxbox's slit;
it closes by its " X " and by Escape. While it is open the tile stays live,
and a right click on another day shows that day in it, a day of 10,000
events within the screen."""

import time
import unittest

import harness
import test_window_managers as wms

SCREEN = (1024, 768)
# 22 January 2024, a Monday, has 10,000 events; the 21st has none.
DAY_21, DAY_22 = (6 * 9 + 4, 20 + 2 * 7 + 3), (4, 20 + 3 * 7 + 3)
CALENDAR_20_22 = wms.CALENDAR.replace("END:VCALENDAR", "".join(
    "BEGIN:VEVENT\r\nUID:wm-2-%d\r\nDTSTART:20240122T%02d%02d00\r\nSUMMARY:Fair\r\nEND:VEVENT\r\n"
    % (i, i % 1440 // 60, i % 60) for i in range(10000)) + "END:VCALENDAR")
# Window Maker's dock on the left edge, with the same slot for the tile.
WMSTATE_LEFT = harness._WMSTATE.replace('Position = "-64,0";', 'Position = "0,0";')


def overlaps(a, b):
    return (a["x"] < b["x"] + b["width"] and b["x"] < a["x"] + a["width"]
            and a["y"] < b["y"] + b["height"] and b["y"] < a["y"] + a["height"])


def geometry(session, window):
    shell = session.xdotool("getwindowgeometry", "--shell", window).stdout.decode()
    g = {k.lower(): int(v) for k, v in (line.split("=") for line in shell.split()) if k != "SCREEN"}
    return g


@harness.SkipIfMissing("xdotool", "faketime")
class DayViewPlaceTest(unittest.TestCase):
    def sessions(self):
        def wmaker_left():
            s = harness.Session(window_manager=False, files={wms.harness.CALENDAR_PATH: wms.CALENDAR})
            (s.home / "GNUstep/Defaults/WMState").write_text(WMSTATE_LEFT)
            s._start_window_manager()
            return s
        yield "Window Maker, dock right", lambda: wms.start_session("wmaker", None, {}), "right"
        yield "Window Maker, dock left", wmaker_left, "left"
        yield "Fluxbox slit", lambda: wms.start_session("fluxbox", *wms.WINDOW_MANAGERS[1][1:3]), "right"

    def test_the_view_opens_beside_the_tile_and_closes_by_x_and_by_escape(self):
        for name, start, side in self.sessions():
            with self.subTest(dock=name):
                session = start()
                try:
                    (session.home / harness.SETTINGS_NAME).write_text(wms.SETTINGS % session.home)
                    tile = wms.start_marked_tile(session)
                    placed = tile.placement()
                    self.assertEqual(placed["x"] < SCREEN[0] // 2, side == "left", placed)
                    for close in ("x", "escape"):
                        tile.click(*wms.DAY_20, button=3)
                        view = harness.wait_for(
                            lambda: wms.find_visible(session, wms.VIEW_TITLE), 10, 0.1)
                        self.assertIsNotNone(view, "no day view")
                        g = harness.wait_for(lambda: (lambda g: g if g["width"] > 60 else None)(
                            geometry(session, view)), 5)
                        self.assertFalse(overlaps(g, placed), (g, placed))
                        self.assertTrue(g["x"] >= 0 and g["y"] >= 0
                                        and g["x"] + g["width"] <= SCREEN[0]
                                        and g["y"] + g["height"] <= SCREEN[1], g)
                        if side == "right":
                            self.assertLessEqual(g["x"] + g["width"], placed["x"], (g, placed))
                        else:
                            self.assertGreaterEqual(g["x"], placed["x"] + 64, (g, placed))
                        if close == "x":
                            session.xdotool("mousemove", "--sync", "--window", view,
                                            g["width"] - 6, 8)
                            session.xdotool("click", 1)
                        else:
                            session.xdotool("key", "Escape")
                        self.assertTrue(harness.wait_for(
                            lambda: wms.find_visible(session, wms.VIEW_TITLE) is None, 5),
                            "the day view stayed open after " + close)
                    self.assertEqual(tile.close_and_wait(), 0)
                finally:
                    session.close()

    def test_the_tile_stays_live_while_the_view_is_open(self):
        session = wms.start_session("wmaker", None, {})
        self.addCleanup(session.close)
        (session.home / harness.CALENDAR_PATH).write_text(CALENDAR_20_22)
        tile = session.start_tile(args=["-d"], date=wms.DATE, env=wms.ENV)
        tile.wait_shown(lambda s: s.pending == 0, timeout=30)
        visible = lambda title: harness.wait_for(lambda: wms.find_visible(session, title), 10)
        tile.click(*wms.DAY_20, button=3)
        self.assertIsNotNone(visible(wms.VIEW_TITLE), "no day view")
        tile.click(*DAY_22, button=3)
        view = visible("^Monday, 01/22/24$")
        self.assertIsNotNone(view, "a right click on another day did not show it")
        self.assertIsNone(wms.find_visible(session, wms.VIEW_TITLE), "two day views")
        self.assertTrue(harness.wait_for(lambda: "view: more\t9800\n" in tile.stdout(), 5))
        self.assertLessEqual(geometry(session, view)["height"], SCREEN[1])
        # A day without events leaves the view as it is; the wheel then
        # changes the face within a second, and its shown: line tells that
        # both clicks were served.
        shown, before = tile.wait_shown(lambda s: s.busy == {20, 22}), tile.image()
        tile.click(*DAY_21, button=3)
        tile.move(30, 30)
        started = time.monotonic()
        session.xdotool("click", 5)
        tile.wait_shown(lambda s: s.month != shown.month, timeout=1)
        tile.wait_image(lambda im: im.differs(before), timeout=1)
        self.assertLess(time.monotonic() - started, 1.0)
        self.assertEqual(wms.find_visible(session, "^Monday, 01/22/24$"), view)
        self.assertEqual(tile.close_and_wait(), 0)


if __name__ == "__main__":
    unittest.main()
