# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The tile in Fluxbox's slit instead of Window Maker's dock."""

import pathlib
import shutil
import subprocess
import time
import unittest

import harness

DATE = "2024-03-08 10:00:00"

# A private Fluxbox set-up: the slit at the top right, never hidden.
FLUXBOX_INIT = """session.screen0.slit.placement: TopRight
session.screen0.slit.autoHide: false
session.screen0.slit.maxOver: false
session.screen0.slit.onhead: 0
session.screen0.toolbar.visible: false
session.slitlistFile: ~/.fluxbox/slitlist
"""


@harness.SkipIfMissing("fluxbox", "xdotool", "faketime")
class SlitTest(unittest.TestCase):
    def setUp(self):
        files = {".fluxbox/init": FLUXBOX_INIT, ".fluxbox/slitlist": "",
                 ".fluxbox/startup": "", ".fluxbox/keys": "", ".fluxbox/apps": ""}
        self.session = harness.Session(window_manager=False, files=files)
        self.addCleanup(self.session.close)
        log = open(pathlib.Path(self.session.home.parent) / "fluxbox.log", "wb")
        self.session._spawn(["fluxbox", "-rc", str(self.session.home / ".fluxbox/init")],
                            stdout=log, stderr=log)
        log.close()
        self.assertEqual(self.session.helper("wait-wm", 15000, check=False).returncode, 0,
                         "Fluxbox did not start")
        time.sleep(0.5)

    def test_slit_swallows_the_tile_and_clicks_reach_it(self):
        tile = self.session.start_tile(date=DATE)
        g = tile.geometry
        self.assertEqual((g["width"], g["height"]), (64, 64))
        self.assertNotEqual(g["parent"], g["root"], "the tile was not swallowed")
        # Placed at the top right: the tile ends at the right edge of the
        # 1024-wide screen, less the slit's border.
        self.assertGreater(g["x"], 1024 - 64 - 16)
        self.assertLess(g["y"], 16)
        time.sleep(0.7)
        current = tile.image()
        tile.click(60, 5)
        following = tile.wait_image(lambda im: im.differs(current))
        tile.click(30, 30, button=2)
        tile.wait_image(lambda im: not im.differs(current))
        self.assertTrue(following.differs(current))
        self.assertEqual(tile.close_and_wait(), 0)
        self.assertEqual(tile.stderr(), "")


if __name__ == "__main__":
    unittest.main()
