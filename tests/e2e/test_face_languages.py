# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The Dari and Arabic faces on the docked tile: the header of the month of
each calendar, the weekday row and the day digits, compared with the cells
of the skin images compiled into the program."""

import unittest

import harness
import test_face as face

DATE = "2024-01-15 10:00:00"
SETTINGS = "APP=true\nICON=evolution\nLANG=%s\nVERSION=0.5.1\nSTARTOFWEEK=7\n"

# 15 January 2024 is Persian Dey 25, 1402 and Islamic Rajab 5, 1445. Per
# language: the weekday strip (Monday first, so the window starts at x 0),
# the first day digit of its set, and per calendar letter the sheet cells
# of name, tens and units (x, y, width, height) and where the name starts.
LANGUAGES = {
    "dari": (82, 69, {
        # Farsi-script January with Farsi 2 and 4: 33 + 7 + 7, x 7.
        "G": ((2, 63, 33, 11), (123, 4, 7, 9), (143, 4, 7, 9), 7),
        # Jadi, the Afghan name of Dey, with 0 and 2: 20 + 7 + 7, x 13.
        "P": ((249, 92, 20, 11), (103, 4, 7, 9), (123, 4, 7, 9), 13),
        # Latin-letter Raj with Farsi 4 and 5: 18 + 7 + 7, x 14.
        "I": ((200, 45, 18, 11), (143, 4, 7, 9), (153, 4, 7, 9), 14),
    }),
    "arabic": (94, 169, {
        # Yanayir with Arabic-Indic 2 and 4: 19 + 7 + 6, x 14.
        "G": ((2, 105, 19, 11), (223, 4, 7, 9), (243, 4, 6, 9), 14),
        # Farsi-script Dey with 0 and 2: 16 + 4 + 7, x 17.
        "P": ((311, 79, 16, 11), (203, 4, 4, 9), (223, 4, 7, 9), 17),
        # Rajab in Arabic with 4 and 5: 22 + 6 + 7, x 13.
        "I": ((194, 118, 22, 11), (243, 4, 6, 9), (253, 4, 7, 9), 13),
    }),
}


def header_shows(image, cells):
    name, tens, units, x = cells
    at_tens = x + name[2] + 3
    return (face.shows(image, name, (x, 1), face.SHEET)
            and face.shows(image, tens, (at_tens, 1), face.SHEET)
            and face.shows(image, units, (at_tens + tens[2], 1), face.SHEET))


class FaceLanguageTest(unittest.TestCase):
    def check_language(self, word):
        strip_y, digit0, headers = LANGUAGES[word]
        session = harness.Session(settings=SETTINGS % word)
        self.addCleanup(session.close)
        tile = session.start_tile(date=DATE, env={"TZ": "UTC"})
        self.addCleanup(tile.close_and_wait)

        def wait(predicate, what):
            try:
                return tile.wait_image(predicate)
            except AssertionError:
                tile.save_png("/tmp/test_face_languages_last.png")
                raise AssertionError("the %s face never showed %s" % (word, what))
        first = wait(lambda im: header_shows(im, headers["G"]), "January 2024")
        self.assertTrue(face.shows(first, (0, strip_y, 63, 8), (0, 12)), "weekday row")
        # Day 5 (one digit, padded), and today, the 15th, red (strip row 12).
        x, y = face.day_cell(5)
        self.assertTrue(face.shows(first, (digit0 + 20, 2, 5, 7), (x + 2, y)), "day 5")
        x, y = face.day_cell(15)
        self.assertTrue(face.shows(first, (digit0 + 4, 12, 5, 7), (x, y)), "tens of today")
        self.assertTrue(face.shows(first, (digit0 + 20, 12, 5, 7), (x + 4, y)), "units of today")
        # The calendar button steps Gregorian, Persian, Islamic; the pointer
        # moves between the presses, each a click on the letter.
        for letter, x in (("P", 31), ("I", 33)):
            tile.click(x, 60)
            wait(lambda im: face.shows(im, face.LETTERS[letter], (28, 56))
                 and header_shows(im, headers[letter]), "the %s month" % letter)

    def test_dari(self):
        self.check_language("dari")

    def test_arabic(self):
        self.check_language("arabic")


if __name__ == "__main__":
    unittest.main()
