# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""Iran's months and holidays on the docked tile: the holiday line under a
number with every other style of the day, the holiday field of the shown:
line in the Gregorian and the Islamic calendar, and the day view's holiday
row on a day without events."""

import unittest

import harness

# Friday 4 July 2025 is Iran's 8 Muharram 1447 (Umm al-Qura's 9th); Tasua and
# Ashura fall on the 5th and 6th. July 2025 begins on a Tuesday: with Monday
# first, day 1 sits in column 1.
DATE = "2025-07-04 10:00:00"
SETTINGS = ("APP=true\nICON=evolution\nLANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n"
            "HIJRI=iran\nHOLIDAYS=iran\n")
ROSE, BUSY, FREE = (0xD4, 0x00, 0x6A), (0x82, 0x94, 0xFF), (0x8E, 0xE8, 0x00)
RED, WHITE, BLACK = (0xB8, 0x00, 0x00), (0xFF, 0xFF, 0xFF), (0x00, 0x00, 0x00)


def event(day, summary, free=False):
    return ("BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:202507%02d\r\nDTEND;VALUE=DATE:202507%02d\r\n"
            "SUMMARY:%s\r\n%sEND:VEVENT\r\n" % (day, day + 1, summary,
                                                "TRANSP:TRANSPARENT\r\n" if free else ""))


CALENDAR = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner e2e//EN\r\n" +
            event(5, "Visit") + event(11, "Picnic", free=True) + event(21, "Dentist") +
            "END:VCALENDAR\r\n")


def press(tile, x, y, button=1):
    # A synchronous move onto the point where the pointer rests waits for
    # motion that never comes: step beside it first.
    tile.move(x + 1, y + 1)
    tile.click(x, y, button)


class HolidaysTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = harness.Session(settings=SETTINGS, calendar=CALENDAR)
        path = cls.session.home / harness.CALENDAR_PATH
        (cls.session.home / harness.SETTINGS_NAME).write_text(SETTINGS + "ICS=%s\n" % path)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.tile = self.session.start_tile(args=["-d"], date=DATE, env={"LC_ALL": "C.UTF-8"})
        self.addCleanup(lambda: self.tile.running() and self.tile.close_and_wait())

    def test_the_holiday_line_goes_with_every_style(self):
        self.tile.wait_shown(lambda s: s.pending == 0)
        x0, y0, _, _ = harness.day_box(18, 1)
        press(self.tile, x0 + 4, y0 + 3)  # highlights Friday the 18th
        image = self.tile.wait_image(lambda im: im.count(WHITE, harness.day_box(18, 1)) > 0)
        lined = {d for d in range(1, 32) if image.count(ROSE, harness.day_box(d, 1)) == 7}
        self.assertEqual(lined, {4, 5, 6, 11, 18, 25})
        # The line keeps the number's ink and ground: (day, a colour the cell still shows).
        for day, colour in ((4, RED), (5, BUSY), (11, FREE), (18, BLACK), (21, BUSY)):
            self.assertGreater(image.count(colour, harness.day_box(day, 1)), 0, day)
        self.assertEqual(image.count(ROSE, harness.day_box(21, 1)), 0)
        image.save_png(str(self.session.home / "holidays.png"))

    def test_shown_lists_the_holidays_in_the_months_numbering(self):
        shown = self.tile.wait_shown(lambda s: s.pending == 0)
        self.assertEqual((shown.month, shown.holiday), ("2025-07", {4, 5, 6, 11, 18, 25}))
        for _ in range(2):  # G, P, I
            press(self.tile, 32, 60)
        shown = self.tile.wait_shown(lambda s: s.calendar == "islamic")
        self.assertEqual((shown.month, shown.today), ("1447-01", "1447-01-08"))
        self.assertEqual(shown.holiday, {1, 8, 9, 10, 15, 22, 29})  # 1 Muharram a Friday

    def test_a_holiday_opens_the_day_view_and_a_friday_alone_does_not(self):
        self.tile.wait_shown(lambda s: s.pending == 0)
        for day in (25, 6):  # a Friday, then Ashura
            x0, y0, _, _ = harness.day_box(day, 1)
            press(self.tile, x0 + 4, y0 + 3, button=3)
        rows = lambda: [l for l in self.tile.stdout().splitlines() if l.startswith("view: ")]
        self.assertTrue(harness.wait_for(lambda: rows(), 10))
        self.assertEqual(rows(), ["view: holiday\tAshura"])

    def test_the_holiday_row_speaks_the_program_language(self):
        # (settings' LANG, locale, Ashura's row): the locale decides for the
        # default face, the face's language decides whatever the locale.
        cases = (("default", "fa_IR.UTF-8", "عاشورای حسینی"),
                 ("arabic", "C", "عاشوراء الإمام الحسين"),
                 ("dari", "ar_EG.UTF-8", "عاشورای حسینی"))
        settings = self.session.home / harness.SETTINGS_NAME
        text = settings.read_text()
        self.addCleanup(lambda: settings.write_text(text))
        self.tile.close_and_wait()
        for language, locale, name in cases:
            settings.write_text(text.replace("LANG=default", "LANG=" + language))
            tile = self.session.start_tile(args=["-d"], date=DATE, env={"LC_ALL": locale})
            tile.wait_shown(lambda s: s.pending == 0)
            x0, y0, _, _ = harness.day_box(6, 1)
            press(tile, x0 + 4, y0 + 3, button=3)
            rows = lambda: [l for l in tile.stdout().splitlines() if l.startswith("view: ")]
            self.assertTrue(harness.wait_for(lambda: rows(), 10), language)
            self.assertEqual(rows(), ["view: holiday\t" + name], language)
            tile.close_and_wait()


if __name__ == "__main__":
    unittest.main()
