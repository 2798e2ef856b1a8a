# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The tile in Openbox's dock, as in the table of test_window_managers.py, in
a test process of its own."""

import unittest

import harness
from test_window_managers import OPENBOX, check_live_tile, start_session


@harness.SkipIfMissing("openbox", "xdotool", "faketime")
class OpenboxDockTest(unittest.TestCase):
    def test_the_dock_shows_a_live_tile_that_closes_with_status_0(self):
        session = start_session(*OPENBOX[:3])
        self.addCleanup(session.close)
        # Openbox takes the selection before it serves requests, and never
        # docks a tile mapped meanwhile: it must have framed a window first.
        self.assertEqual(session.helper("wait-managed", 15000, check=False).returncode, 0)
        check_live_tile(self, session, *OPENBOX[3:])


if __name__ == "__main__":
    unittest.main()
