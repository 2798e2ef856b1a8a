# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The tile in a real dock: it docks, clicks reach it, the close request ends it."""

import unittest

import harness

DATE = "2024-03-08 10:00:00"


def settings(home, app="evolution"):
    return ("ICS=%s/evolution/local/Calendar/calendar.ics\nAPP=%s\nICON=evolution\n"
            "LANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n" % (home, app))


class DockTest(unittest.TestCase):
    def setUp(self):
        self.session = harness.Session()
        self.addCleanup(self.session.close)
        home = self.session.home
        (home / ".dayspinnerrc").write_text(settings(home, "echo started >> %s/launched" % home))

    def test_docks_as_a_64_by_64_tile_in_the_dock_slot(self):
        tile = self.session.start_tile()
        g = tile.geometry
        self.assertEqual((g["width"], g["height"]), (64, 64))
        self.assertNotEqual(g["parent"], g["root"])
        # The dock sits at the right edge of the 1024-wide screen; the slot
        # kept for the tile is the second, below the dock's own logo tile.
        self.assertEqual((g["x"], g["y"]), (1024 - 64, 64))
        self.assertEqual(tile.close_and_wait(), 0)

    def test_close_request_ends_with_status_0_and_other_protocols_do_not(self):
        tile = self.session.start_tile(["-d"])
        tile.send_protocol("WM_TAKE_FOCUS")
        # The pointer's motion and a press come after the message: the tile
        # that acts on the press has taken both.
        tile.press(30, 30, button=2)
        self.assertTrue(tile.running())
        self.assertEqual(tile.close_and_wait(), 0)
        self.assertEqual(tile.stderr(), "")

    def test_debugging_lines_reach_a_pipe_while_the_tile_runs(self):
        tile = self.session.start_tile(["-d"])
        # The shown: line of the first refresh must not wait in a buffer
        # until the program ends.
        tile.wait_shown()
        self.assertEqual(tile.close_and_wait(), 0)

    def test_application_button_starts_the_command_on_a_double_click_only(self):
        tile = self.session.start_tile(["-d"])
        launched = self.session.home / "launched"
        # A lone press, then a double click: whether the double click's first
        # press comes within the lone one's 400 ms or not, the three presses
        # start the command once.
        tile.press(23, 60)
        tile.press(23, 60, repeat=2, delay_ms=80)
        self.assertTrue(harness.wait_for(lambda: launched.exists() and launched.read_text(), 5),
                        "the double click started nothing")
        self.assertEqual(tile.close_and_wait(), 0)
        self.assertEqual(launched.read_text(), "started\n",
                         "a single click must only arm the button")

    def test_month_corners_and_middle_click_change_the_face(self):
        tile = self.session.start_tile(["-d"], date=DATE)
        tile.wait_shown(lambda s: s.pending == 0)  # the first refresh is drawn
        current = tile.image()
        if len(set(zip(*[iter(current.rgb)] * 3))) < 6:
            self.skipTest("the skin images are placeholders without glyphs")
        tile.click(60, 5)
        following = tile.wait_image(lambda im: im.differs(current))
        tile.click(30, 30, button=2)
        tile.wait_image(lambda im: not im.differs(current))
        tile.click(5, 5)
        previous = tile.wait_image(lambda im: im.differs(current))
        self.assertTrue(previous.differs(following))
        tile.click(30, 30, button=5)
        tile.wait_image(lambda im: not im.differs(current))
        self.assertEqual(tile.close_and_wait(), 0)


if __name__ == "__main__":
    unittest.main()
