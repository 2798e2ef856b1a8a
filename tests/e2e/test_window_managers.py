# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""The tile in the docks of many window managers, and without a dock.

One table row per window manager, each in an Xvfb of its own: the tile is
shown 64 x 64 in the dock (or, without a dock, in a frame of its own), its
face is live (the wheel and the middle button change what the dock shows), a
right click opens the day view, and the close request ends it with status 0.
Then the ends the user did not ask for: the windows destroyed by another
client or by the dock that swallowed them end the process with status 1 and
one line, and a window manager that restarts does not."""

import os
import pathlib
import signal
import subprocess
import time
import unittest

import harness

# 15 January 2024 is a Monday; with Monday first, the 20th lies in column 5,
# row 2 of the day grid (9 x 7 cells from y 20).
DATE = "2024-01-15 10:00:00"
DAY_20 = (5 * 9 + 4, 20 + 2 * 7 + 3)
VIEW_TITLE = "^Saturday, 01/20/24$"
DIALOG_TITLE = "^Dayspinner 0\\.5\\.1$"
CALENDAR = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//dayspinner e2e//EN\r\n"
            "BEGIN:VEVENT\r\nUID:wm-1\r\nDTSTART;VALUE=DATE:20240120\r\n"
            "DTEND;VALUE=DATE:20240121\r\nSUMMARY:Flight\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
SETTINGS = ("ICS=%s/" + harness.CALENDAR_PATH + "\nAPP=true\nICON=evolution\nLANG=default\n"
            "VERSION=0.5.1\nSTARTOFWEEK=7\n")
ENV = {"LC_ALL": "C.UTF-8"}  # English day names, C date formats


def openbox_rc():
    # The packaged defaults, with the dock at the top right and moved by
    # Alt + middle button, so that a plain middle click reaches the tile.
    text = pathlib.Path("/etc/xdg/openbox/rc.xml").read_text()
    text = text.replace("<moveButton>Middle</moveButton>", "<moveButton>A-Middle</moveButton>")
    return text.replace("<position>TopLeft</position>", "<position>TopRight</position>", 1)


TWMRC = ('RandomPlacement\nNoGrabServer\nTitleFont "fixed"\nResizeFont "fixed"\n'
         'MenuFont "fixed"\nIconFont "fixed"\nIconManagerFont "fixed"\n')

# FvwmButtons swallows a window named Dayspinner when it appears; the test
# starts the tile itself.
FVWM2RC = """DestroyModuleConfig FvwmButtons: *
*FvwmButtons: Geometry 64x64-0+0
*FvwmButtons: Rows 1
*FvwmButtons: Columns 1
*FvwmButtons: Frame 0
*FvwmButtons: Padding 0 0
*FvwmButtons: (Swallow (UseOld, NoKill, NoClose) "Dayspinner" `Nop`)
Style FvwmButtons NoTitle, BorderWidth 0, HandleWidth 0, Sticky, StaysOnTop
AddToFunc StartFunction I Module FvwmButtons
"""

AFTERSTEP_AUTOEXEC = """Function "InitFunction"
\tModule "I" Wharf
\tWait "I" Wharf
EndFunction
Function "RestartFunction"
\tModule "I" Wharf
\tWait "I" Wharf
EndFunction
"""
# The Wharf withdraws on a right click unless told not to.
AFTERSTEP_WHARF = """*WharfRows 1
*WharfGeometry -0+0
*WharfWithdrawStyle 0
*Wharf Dayspinner - Swallow "Dayspinner" true &
"""

FLUXBOX_INIT = """session.screen0.slit.placement: TopRight
session.screen0.slit.autoHide: false
session.screen0.toolbar.visible: false
session.slitlistFile: ~/.fluxbox/slitlist
"""
FLUXBOX_FILES = {".fluxbox/init": FLUXBOX_INIT, ".fluxbox/slitlist": "",
                 ".fluxbox/startup": "", ".fluxbox/keys": "", ".fluxbox/apps": ""}

# name, command ({home} is the private HOME), files under HOME, the window of
# the pair that is shown ("icon": the dock took the icon window; "leader":
# a dock swallowed the leader or the window manager framed it), and whether
# the tile is checked to sit at the top right corner of the screen.
WINDOW_MANAGERS = [
    ("wmaker", None, {}, "icon", False),
    ("fluxbox", ["fluxbox", "-rc", "{home}/.fluxbox/init"], FLUXBOX_FILES, "icon", True),
    ("blackbox", ["blackbox"], {}, "icon", False),
    ("pekwm", ["pekwm"], {}, "icon", False),
    ("icewm", ["icewm"], {}, "icon", False),
    ("fvwm", ["fvwm", "-f", "{home}/fvwm2rc"], {"fvwm2rc": FVWM2RC}, "leader", False),
    ("afterstep", ["afterstep"], {".afterstep/autoexec": AFTERSTEP_AUTOEXEC,
                                  ".afterstep/wharf": AFTERSTEP_WHARF}, "leader", False),
    ("twm", ["twm", "-f", "{home}/twmrc"], {"twmrc": TWMRC}, "leader", False),
]
# Docks that are modules, started once the window manager runs: the WM_CLASS
# name of the module's window, in which the tile is docked.
DOCK_MODULES = {"fvwm": "FvwmButtons", "afterstep": "Wharf"}
# Openbox runs in a test process of its own (test_openbox_dock.py).
OPENBOX = ("openbox", ["openbox", "--config-file", "{home}/rc.xml"], {"rc.xml": openbox_rc},
           "icon", False)


def start_session(name, command, files):
    """A session with a private HOME and the window manager running."""
    files = {k: (v() if callable(v) else v) for k, v in files.items()}
    files[harness.CALENDAR_PATH] = CALENDAR
    session = harness.Session(window_manager=command is None, files=files)
    try:
        (session.home / harness.SETTINGS_NAME).write_text(SETTINGS % session.home)
        if command is not None:
            log = open(session.home.parent / (name + ".log"), "wb")
            env = dict(session.env, LC_ALL="C")  # fonts of the C locale only
            session.window_manager = session._spawn(
                [a.format(home=session.home) for a in command], env=env, stdout=log, stderr=log)
            log.close()
            if session.helper("wait-wm", 15000, check=False).returncode != 0:
                raise RuntimeError(name + " did not start")
            # A module's dock is ready once its window is mapped; a slit or
            # dock of the window manager's own is made before it frames its
            # first window.
            session.dock_class = DOCK_MODULES.get(name)
            if session.dock_class:
                if not harness.wait_for(lambda: session.viewable(session.dock_class), 15, 0.1):
                    raise RuntimeError("%s showed no %s" % (name, session.dock_class))
            elif session.helper("wait-managed", 15000, check=False).returncode != 0:
                raise RuntimeError(name + " framed no window")
        else:
            session.window_manager = session._wm
    except BaseException:
        session.close()
        raise
    return session


def find_visible(session, title):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                            env=session.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            timeout=20)
    ids = result.stdout.split()
    return ids[0].decode() if ids else None


def processes_of_session(leader_pid, command_name):
    """Ids of the processes named command_name in the session that leader_pid leads."""
    found = []
    for entry in pathlib.Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            stat = (entry / "stat").read_text()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        fields = stat[stat.rindex(")") + 2:].split()
        if name == command_name and int(fields[3]) == leader_pid:  # fields[3]: session id
            found.append(int(entry.name))
    return found


def start_marked_tile(session):
    """The tile (with -d) once the 20th's event is marked, so that a right
    click on the day finds it."""
    tile = session.start_tile(["-d"], date=DATE, env=ENV)
    tile.wait_shown(lambda s: 20 in s.busy and s.pending == 0, timeout=20)
    return tile


def check_live_tile(test, session, shown, top_right=False):
    """The tile shows in the session's window manager, 64 x 64 (at the top
    right corner of the 1024-wide screen, less a border), with a face
    that follows the wheel and the middle button; a right click opens the day
    view; the close request ends it with status 0."""
    tile = start_marked_tile(session)
    test.assertEqual(tile.shown, shown, tile.geometry)
    placed = tile.placement()
    test.assertEqual((placed["width"], placed["height"]), (64, 64))
    test.assertNotEqual(placed["parent"], tile.geometry["root"])
    if top_right:
        test.assertTrue(placed["x"] > 1024 - 64 - 16 and placed["y"] < 16, placed)
    current = tile.wait_image(lambda im: len(set(zip(*[iter(im.rgb)] * 3))) >= 6)
    tile.click(30, 30, button=5)
    tile.wait_image(lambda im: im.differs(current))
    tile.click(31, 30, button=2)
    tile.wait_image(lambda im: not im.differs(current))
    tile.click(*DAY_20, button=3)
    view = harness.wait_for(lambda: find_visible(session, VIEW_TITLE), 10, 0.1)
    test.assertIsNotNone(view, "a right click on a marked day opened no day view")
    session.helper("close", view)
    test.assertTrue(harness.wait_for(lambda: find_visible(session, VIEW_TITLE) is None, 10))
    test.assertEqual(tile.close_and_wait(), 0)
    test.assertEqual(tile.stderr(), "")


@harness.SkipIfMissing("xdotool", "faketime")
class WindowManagerTest(unittest.TestCase):
    def test_every_window_manager_shows_a_live_tile_that_closes_with_status_0(self):
        for name, command, files, shown, top_right in WINDOW_MANAGERS:
            with self.subTest(window_manager=name):
                if command is not None and harness.shutil.which(command[0]) is None:
                    self.skipTest("not installed: " + command[0])
                session = start_session(name, command, files)
                try:
                    check_live_tile(self, session, shown, top_right)
                finally:
                    session.close()

    def assert_ended_by_lost_windows(self, tile, started, within=1.0):
        status = tile.wait_exit(timeout=5)
        self.assertLess(time.monotonic() - started, within)
        self.assertEqual(status, 1)
        self.assertRegex(tile.stderr(), r"^\S+: the tile's windows were destroyed by another "
                                        r"client\n$")

    def test_windows_destroyed_by_another_client_end_the_process(self):
        session = start_session("wmaker", None, {})
        self.addCleanup(session.close)
        # The window of the tile's own that is open meanwhile: the right click
        # and its window's title.
        opened = {"day view": ((DAY_20, 3), VIEW_TITLE),
                  "settings dialog": (((49, 60), 1), DIALOG_TITLE)}
        for destroyed, open_window in (("icon", None), ("leader", None), ("both", None),
                                       ("both", "day view"), ("icon", "settings dialog")):
            with self.subTest(destroyed=destroyed, open_window=open_window):
                tile = start_marked_tile(session)
                windows = {"icon": [tile.icon], "leader": [tile.leader],
                           "both": [tile.icon, tile.leader]}[destroyed]
                if open_window:
                    ((x, y), button), title = opened[open_window]
                    tile.click(x, y, button=button)
                    self.assertTrue(harness.wait_for(lambda: find_visible(session, title), 10))
                session.helper("destroy", *windows)  # gone when the helper returns
                self.assert_ended_by_lost_windows(tile, time.monotonic())

    @harness.SkipIfMissing("afterstep")
    def test_a_killed_wharf_takes_the_tile_with_it(self):
        name, command, files, *_ = [row for row in WINDOW_MANAGERS if row[0] == "afterstep"][0]
        session = start_session(name, command, files)
        self.addCleanup(session.close)
        tile = session.start_tile()
        wharf = processes_of_session(session.window_manager.pid, "Wharf")
        self.assertEqual(len(wharf), 1, wharf)
        started = time.monotonic()
        os.kill(wharf[0], signal.SIGTERM)  # the Wharf's own end is counted too
        self.assert_ended_by_lost_windows(tile, started, within=1.5)

    def test_a_window_manager_restart_keeps_the_tile(self):
        # Window Maker and Fluxbox both restart on SIGHUP: the old instance
        # gives the windows back to the root and the new one docks them again.
        for name, command, files, *_ in WINDOW_MANAGERS[:2]:
            with self.subTest(window_manager=name):
                if command is not None and harness.shutil.which(command[0]) is None:
                    self.skipTest("not installed: " + command[0])
                session = start_session(name, command, files)
                try:
                    tile = session.start_tile(date=DATE, env=ENV)
                    first = tile.geometry
                    os.kill(session.window_manager.pid, signal.SIGHUP)
                    # The old dock lets go of the tile; then a new one takes it.
                    harness.wait_for(lambda: (tile._find() or {}).get("parent") != first["parent"],
                                     5)
                    tile.wait_docked(10)
                    self.assertTrue(tile.running(), tile.stderr())
                    before = tile.image()
                    tile.click(30, 30, button=5)
                    tile.wait_image(lambda im: im.differs(before))
                    self.assertEqual(tile.close_and_wait(), 0)
                    self.assertEqual(tile.stderr(), "")
                finally:
                    session.close()


if __name__ == "__main__":
    unittest.main()
