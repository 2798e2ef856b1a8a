# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The dock face in a real dock: month navigation, the calendar, moon and
handle buttons, each read off the docked tile and compared with the cells of
the skin images compiled into the program (face/face.xpm, face/sheet.xpm)."""

import pathlib
import re
import unittest

import harness

# 15 January 2024 is a Monday; with Monday first, day d of January 2024 lies
# in column (d - 1) % 7, row (d - 1) // 7.
DATE = "2024-01-15 10:00:00"
SETTINGS = ("APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n")
SOURCE = pathlib.Path(__file__).resolve().parents[2]


def read_xpm(path):
    """Pixels of an XPM 3 file as rows of (r, g, b), None for transparent."""
    lines = re.findall(r'"((?:[^"\\]|\\.)*)"', path.read_text())
    width, height, colours, per_pixel = (int(v) for v in lines[0].split()[:4])
    table = {}
    for line in lines[1:1 + colours]:
        key, definition = line[:per_pixel], line[per_pixel:].split()
        value = definition[definition.index("c") + 1]
        table[key] = None if value.lower() == "none" else (
            int(value[1:3], 16), int(value[3:5], 16), int(value[5:7], 16))
    rows = []
    for line in lines[1 + colours:1 + colours + height]:
        rows.append([table[line[i:i + per_pixel]] for i in range(0, width * per_pixel, per_pixel)])
    return rows


FACE = read_xpm(SOURCE / "face" / "face.xpm")
SHEET = read_xpm(SOURCE / "face" / "sheet.xpm")

# Glyph cells of the face image: x, y, width, height.
MOON_GLYPHS = {1: (128, 70, 8, 7), 2: (137, 70, 8, 7), 3: (146, 70, 8, 7), 4: (155, 70, 8, 7)}
MOON_BUTTON = {0: (165, 70, 8, 7), 1: (174, 70, 8, 7)}
LETTERS = {"G": (129, 88, 8, 7), "P": (138, 88, 8, 7), "I": (147, 88, 8, 7)}
SHOW_HANDLE, HIDE_HANDLE = (162, 80, 4, 7), (167, 80, 4, 7)


def crop(image, x, y, w, h):
    return [[image.pixel(x + i, y + j) for i in range(w)] for j in range(h)]


def cell(source, x, y, w, h):
    return [row[x:x + w] for row in source[y:y + h]]


def shows(image, source_cell, at, source=FACE):
    x, y, w, h = source_cell
    return crop(image, at[0], at[1], w, h) == cell(source, x, y, w, h)


def day_cell(day):
    return (9 * ((day - 1) % 7), 20 + 7 * ((day - 1) // 7))


class FaceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(settings=SETTINGS)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        # Moon phases mark local days: the zone is fixed for the expectations.
        self.tile = self.session.start_tile(["-d"], date=DATE, env={"TZ": "UTC"})
        self.addCleanup(self.tile.close_and_wait)
        # The first refresh follows the mapping; wait for the bar's handle.
        self.first = self.tile.wait_image(lambda im: shows(im, HIDE_HANDLE, (52, 56)))

    def wait(self, predicate, what):
        try:
            return self.tile.wait_image(predicate)
        except AssertionError:
            self.tile.save_png("/tmp/test_face_last.png")
            raise AssertionError("the tile never showed " + what)

    def test_wheel_and_corners_move_the_month_and_the_middle_button_returns(self):
        # January 2024: Jan (21) and the digits 2 and 4 from x 13.
        january = self.first
        self.assertTrue(shows(january, (3, 17, 21, 11), (13, 1), SHEET))
        self.assertTrue(shows(january, (23, 4, 7, 9), (37, 1), SHEET))
        self.assertTrue(shows(january, (43, 4, 7, 9), (44, 1), SHEET))
        # February (22 wide): half of 36 is 18, so x 12.
        february_name = lambda im: shows(im, (27, 17, 22, 11), (12, 1), SHEET)
        march_name = lambda im: shows(im, (52, 17, 23, 11), (12, 1), SHEET)
        december_2023 = lambda im: (shows(im, (293, 17, 23, 11), (12, 1), SHEET)
                                    and shows(im, (33, 4, 7, 9), (12 + 23 + 3 + 7, 1), SHEET))
        self.tile.press(30, 40, button=5)
        february = self.wait(february_name, "February after the wheel turned down")
        self.tile.press(60, 5)
        self.wait(march_name, "March after the next-month corner")
        self.tile.press(30, 40, button=4)
        self.wait(lambda im: im.rgb == february.rgb, "February again after the wheel turned up")
        self.tile.press(5, 5)
        self.wait(lambda im: im.rgb == january.rgb, "January again after the previous-month corner")
        self.tile.press(5, 5)
        self.wait(december_2023, "December 2023 after the previous-month corner")
        self.tile.press(40, 45, button=2)
        self.wait(lambda im: im.rgb == january.rgb, "the current month after the middle button")

    def test_calendar_button_cycles_gregorian_persian_islamic(self):
        self.assertTrue(shows(self.first, LETTERS["G"], (28, 56)))
        # 15 January 2024 is Persian Dey 25, 1402 ("Dey", 23 pixels, and 0 2:
        # x 12) and Islamic Rajab 1445 ("Raj", 18 pixels, and 4 5: x 14).
        headers = {"P": ((223, 32, 23, 11), 12), "I": ((200, 45, 18, 11), 14), "G": ((3, 17, 21, 11), 13)}
        for letter in ("P", "I", "G"):
            self.tile.press(32, 60)
            name, x = headers[letter]
            image = self.wait(lambda im: shows(im, LETTERS[letter], (28, 56)) and shows(im, name, (x, 1), SHEET),
                              "the letter %s and its month" % letter)
            # Only the letter changes in the bar.
            for bar_x, bar_w in ((19, 8), (37, 19)):
                self.assertEqual(crop(image, bar_x, 56, bar_w, 7), crop(self.first, bar_x, 56, bar_w, 7))
        self.wait(lambda im: im.rgb == self.first.rgb, "the Gregorian face after three presses")

    def test_moon_button_switches_the_view(self):
        self.assertTrue(shows(self.first, MOON_BUTTON[0], (37, 56)))
        # January 2024 in UTC: last quarter 4, new moon 11, first quarter 18, full moon 25.
        phases = {4: 4, 11: 1, 18: 2, 25: 3}
        self.tile.press(41, 60)

        def moon_view(im):
            return shows(im, MOON_BUTTON[1], (37, 56)) and all(
                shows(im, MOON_GLYPHS[phase], day_cell(day)) for day, phase in phases.items())
        image = self.wait(moon_view, "the moon view")
        # Every other day keeps its number.
        for day in range(1, 32):
            if day not in phases:
                x, y = day_cell(day)
                self.assertEqual(crop(image, x, y, 9, 7), crop(self.first, x, y, 9, 7), "day %d" % day)
        self.tile.press(41, 60)
        self.wait(lambda im: im.rgb == self.first.rgb, "the numbers again")

    def test_handle_hides_and_shows_the_bar(self):
        self.tile.press(54, 60)

        def hidden(im):
            # Only the show handle; the rest of the bar's rows are the empty face.
            return shows(im, SHOW_HANDLE, (52, 56)) and crop(im, 0, 56, 52, 7) == cell(FACE, 0, 56, 52, 7)
        self.wait(hidden, "the hidden bar")
        # With the bar hidden the moon button does not react: the press lands
        # on the days.
        self.assertEqual(self.tile.press(41, 60), [harness.Press(1, "days")])
        self.assertTrue(hidden(self.tile.image()))
        self.tile.press(54, 60)
        self.wait(lambda im: im.rgb == self.first.rgb, "the bar again")


if __name__ == "__main__":
    unittest.main()
