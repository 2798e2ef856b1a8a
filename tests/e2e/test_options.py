# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The binary as a user runs it: options, usage and version texts, exit statuses."""

import unittest

import harness

USAGE = (b"Dayspinner 0.5.1\n"
         b"\nOptions:"
         b"\n -h  --help\n   Show summary of options."
         b"\n -v  --version\n   Show version of program."
         b"\n -d  --debug\n   Show debugging info."
         b"\n -f  --farsi\n   Show months and numbers in farsi."
         b"\n -p  --persian\n   Changes to persian calendar."
         b"\n\nUsage: \nLeft and right arrow or mousewheel change month.\n"
         b"Middle mouseclick goes back to current month.\n"
         b"Right mouseclick opens dayview.\nClick on Moon to toggle moonphase-view on/off\n"
         b"Click on screwdriver to open settings menu\n"
         b"Click on 'G' to toggle between Gregorian, Persian and Islamic calendar\n"
         b"Doubleclick evolution/mozilla icon to start application\n"
         b"Click on blue arrow to show/hide buttons\n"
         b"Leftclick a day to highlight for converting between calendars\n")
VERSION = b"Dayspinner 0.5.1\n"
BANNERS = b"debugging mode:\nstarting Dayspinner version 0.5.1\nusing libical version 3.0\n"
DATE = "2024-03-08 10:00:00"


def settings_text(home):
    return ("ICS=%s/evolution/local/Calendar/calendar.ics\nAPP=evolution\nICON=evolution\n"
            "LANG=default\nVERSION=0.5.1\nSTARTOFWEEK=7\n" % home)


class Session(harness.Session):
    """A session whose HOME already holds a current settings file, so that the
    program prints nothing of its own about settings."""

    def __init__(self, **kw):
        super().__init__(**kw)
        (self.home / ".dayspinnerrc").write_text(settings_text(self.home))


class ExitingOptionsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = Session(window_manager=False)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def run_options(self, *args):
        return self.session.run(args)

    def test_version_forms_print_the_version_and_end_with_status_1(self):
        for args in (["-v"], ["--version"], ["-d", "-v"], ["-v", "-x"], ["-f", "--version"]):
            with self.subTest(args=args):
                r = self.run_options(*args)
                self.assertEqual((r.status, r.stdout, r.stderr), (1, VERSION, b""))

    def test_help_forms_print_the_usage_and_end_with_status_1(self):
        for args in (["-h"], ["--help"], ["-p", "-h", "-v"]):
            with self.subTest(args=args):
                r = self.run_options(*args)
                self.assertEqual((r.status, r.stdout, r.stderr), (1, USAGE, b""))

    def test_rejected_arguments_print_the_usage_and_end_with_status_1(self):
        rejected = ["-vx", "-dd", "-ff", "--Debug", "--farsi=1", "-", "", "--", "-V",
                    "--versio", "--help ", "-display", "--sync", "farsi", "-d -v"]
        for arg in rejected:
            with self.subTest(arg=arg):
                r = self.run_options(arg)
                self.assertEqual((r.status, r.stdout, r.stderr), (1, USAGE, b""))
        # Accepted options before the rejected one print no banners: they come later.
        r = self.run_options("-d", "-f", "-p", "-x")
        self.assertEqual((r.status, r.stdout), (1, USAGE))

    def test_without_a_display_the_message_names_the_invocation(self):
        r = self.session.run([], display=False, argv0="my-dayspinner")
        self.assertEqual(r.status, 1)
        self.assertEqual(r.stdout, b"")
        self.assertEqual(r.stderr, b"my-dayspinner: could not open display !\n")

    def test_banners_come_before_the_display_is_opened(self):
        for args in (["-d"], ["--debug"], ["-d", "-d", "-f", "-p"]):
            with self.subTest(args=args):
                r = self.session.run(args, display=False, argv0="ds")
                self.assertEqual((r.status, r.stdout), (1, BANNERS))
                self.assertEqual(r.stderr, b"ds: could not open display !\n")

    def test_a_display_that_does_not_answer_is_named(self):
        r = self.session.run([], env={"DISPLAY": ":7391"}, argv0="ds")
        self.assertEqual((r.status, r.stderr), (1, b"ds: could not open display :7391!\n"))


@harness.SkipIfMissing("faketime")
class RunningOptionsTest(unittest.TestCase):
    def face(self, args):
        with Session() as session:
            tile = session.start_tile(args, date=DATE)
            # Let the first refresh finish before the picture is kept.
            harness.wait_for(lambda: False, 0.7)
            image = tile.image()
            status = tile.close_and_wait()
            return image, status, tile.stdout().encode(), tile.stderr()

    def test_short_and_long_forms_have_the_same_effect(self):
        short, short_status, short_out, short_err = self.face(["-f", "-p", "-d"])
        long_, long_status, long_out, _ = self.face(["--farsi", "--persian", "--debug"])
        plain, plain_status, plain_out, _ = self.face([])
        self.assertEqual((short_status, long_status, plain_status), (0, 0, 0))
        self.assertEqual(short_err, "")
        self.assertTrue(short_out.startswith(BANNERS), short_out)
        self.assertTrue(long_out.startswith(BANNERS), long_out)
        self.assertFalse(plain_out.startswith(b"debugging mode"))
        self.assertFalse(short.differs(long_), "the two forms drew different faces")
        if len(set(zip(*[iter(plain.rgb)] * 3))) >= 6:  # the skin has glyphs, not placeholders
            self.assertTrue(short.differs(plain), "Farsi and Persian changed nothing on the face")


if __name__ == "__main__":
    unittest.main()
