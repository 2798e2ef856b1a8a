# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The settings in the docked tile: the dialog behind the settings button, one
at a time, under which the tile stays live, and the application command read
from the settings file."""

import os
import subprocess
import time
import unittest

import harness
import test_refresh as refresh

DATE = "2024-03-08 10:00:00"
DIALOG_TITLE = "^Dayspinner 0\\.5\\.1$"


def settings_text(home, app="evolution", lang="default"):
    return ("ICS=%s/evolution/local/Calendar/calendar.ics\nAPP=%s\nICON=evolution\n"
            "LANG=%s\nVERSION=0.5.1\nSTARTOFWEEK=7\n" % (home, app, lang))


@harness.SkipIfMissing("xdotool")
class SettingsDockTest(unittest.TestCase):
    def setUp(self):
        self.session = harness.Session()
        self.addCleanup(self.session.close)
        self.settings = self.session.home / ".dayspinnerrc"

    def find_dialogs(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", DIALOG_TITLE],
                               env=self.session.env, stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL, timeout=20)
        return [int(i) for i in found.stdout.split()]

    def find_dialog(self):
        return (self.find_dialogs() or [None])[0]

    def reference_face(self, args):
        tile = self.session.start_tile(args=["-d"] + args, date=DATE)
        tile.wait_shown(lambda s: s.pending == 0)  # every answer is in and drawn
        image = tile.image()
        self.assertEqual(tile.close_and_wait(), 0)
        return image

    def test_settings_button_opens_the_dialog_and_farsi_reaches_the_face(self):
        self.marker = self.session.home / "launched"
        # 240 characters, the part that matters at the end: a command cut by
        # the dialog would start nothing.
        touch = "touch '%s'" % self.marker
        command = ": " + "x" * (236 - len(touch)) + "; " + touch
        self.assertEqual(len(command), 240)
        self.settings.write_text(settings_text(self.session.home, app=command))
        before_text = self.settings.read_text()
        # The faces a tile shows from the start in each language, same date.
        latin_reference = self.reference_face([])
        farsi_reference = self.reference_face(["-f"])

        tile = self.session.start_tile(date=DATE)
        tile.wait_image(lambda im: not im.differs(latin_reference))

        tile.click(49, 60)
        dialog = harness.wait_for(self.find_dialog, 20)
        self.assertIsNotNone(dialog, "the settings button opened no dialog window")
        # Keyboard focus starts on the icon group; Tab leads to the entry and
        # then to the language group, where Right selects "farsi".
        self.session.xdotool("windowfocus", "--sync", dialog)
        self.session.xdotool("key", "--delay", "100", "Tab", "Tab", "Right")
        # The face switches while the dialog is still open: the one a tile
        # started with -f shows.
        tile.wait_image(lambda im: not im.differs(farsi_reference), timeout=10)
        self.assertIsNotNone(self.find_dialog())
        self.session.helper("close", dialog)
        self.assertTrue(harness.wait_for(lambda: self.find_dialog() is None, 10))
        # Closing without "save" leaves the file as it was.
        self.assertEqual(self.settings.read_text(), before_text)

        # The tile reacts again: the settings button opens the dialog once
        # more, and a double click on the application button starts the command.
        tile.click(49, 60)
        dialog = harness.wait_for(self.find_dialog, 20)
        self.assertIsNotNone(dialog, "the tile no longer reacts after the dialog")
        self.session.helper("close", dialog)
        self.assertTrue(harness.wait_for(lambda: self.find_dialog() is None, 10))
        tile.click(23, 60, repeat=2, delay_ms=80)
        self.assertTrue(harness.wait_for(self.marker.exists, 5), "the double click started nothing")
        self.assertEqual(tile.close_and_wait(), 0)

    def test_the_tile_stays_live_under_the_dialog(self):
        path = self.session.home / harness.CALENDAR_PATH
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(refresh.calendar(10))
        self.settings.write_text(refresh.SETTINGS % path)
        tile = self.session.start_tile(args=["-d"], date="2024-01-15 23:59:35",
                                       env={"TZ": "Europe/Berlin"})
        tile.click(49, 60)
        self.assertIsNotNone(harness.wait_for(self.find_dialog, 20), "no dialog")
        tile.wait_shown(lambda s: s.today == "2024-01-15" and s.busy == {10})
        tile.click(49, 60)  # raises the dialog; that no second one opened is checked last
        # A calendar replaced by rename, as clients save.
        new = path.with_name("calendar.ics.new")
        new.write_text(refresh.calendar(22, 23))
        started = time.monotonic()
        os.replace(new, path)
        tile.wait_shown(lambda s: s.busy == {22, 23}, timeout=1.5)
        self.assertLess(time.monotonic() - started, 1.5)
        tile.wait_image(lambda im: refresh.busy_days(im) == {22, 23}, timeout=1)
        # Local midnight moves today's mark.
        tile.wait_shown(lambda s: s.today == "2024-01-16", timeout=30)
        tile.wait_image(lambda im: refresh.red_days(im) == {16}, timeout=1)
        self.assertEqual(len(self.find_dialogs()), 1, "the dialog closed, or a second one opened")
        self.assertEqual(tile.close_and_wait(), 0)

    def test_command_from_the_settings_file_starts_on_a_double_click(self):
        marker = self.session.home / "started here"
        # Blanks and quotes of the value reach the shell unchanged.
        self.settings.write_text(settings_text(
            self.session.home, app="sh -c 'echo ok > \"%s\"'" % marker))
        tile = self.session.start_tile(date=DATE)
        tile.click(23, 60, repeat=2, delay_ms=80)
        self.assertTrue(harness.wait_for(marker.exists, 5), "the double click started nothing")
        self.assertTrue(harness.wait_for(lambda: marker.read_text() == "ok\n", 5))
        self.assertEqual(tile.close_and_wait(), 0)
        self.assertEqual(tile.stderr(), "")


if __name__ == "__main__":
    unittest.main()
