# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""End-to-end harness: the real dayspinner binary docked in a real Window Maker.

Python 3 standard library only. Every test file tests/e2e/test_*.py is found by
tests/e2e/CMakeLists.txt and run as `python3 -m unittest <module>` from this
folder, with these environment variables set by CTest:

    DAYSPINNER_BINARY   the dayspinner executable (normal or sanitizer build)
    DAYSPINNER_XHELPER  the ds_e2e_xhelper executable (tests/e2e/xhelper.cpp)

API in brief
------------
    with Session(settings=None, calendar=None, files=None) as s:
        ...

Session(settings=None, calendar=None, files=None, window_manager=True)
    Makes a private temporary HOME, writes `settings` (text or bytes) to
    $HOME/.dayspinnerrc and `calendar` (text or bytes) to the default calendar
    file $HOME/evolution/local/Calendar/calendar.ics, and every
    {relative path: text or bytes} of `files` under $HOME. Starts Xvfb
    (-displayfd, a free display) and, unless window_manager is False, Window
    Maker with its own defaults, whose dock keeps a slot for Dayspinner.DockApp
    so that the tile is swallowed into the dock. Everything started is stopped
    by s.close() (called by the with block and at interpreter exit, also when
    a test fails).
    Attributes: s.home (pathlib.Path), s.display (":N"), s.env (the
    environment every process is started with; copy it to add to it),
    s.dock_class (None, or the WM_CLASS name of a dock that swallows the tile:
    a tile counts as docked only inside a window of that class).

s.windows() -> [Window]               every window below the root, from xwininfo
s.viewable(res_name) -> id or None    a viewable window of that WM_CLASS name

s.run(args=(), date=None, env=None, display=True, timeout=20) -> Result
    Runs dayspinner to its end (for option tests) and returns a Result with
    .status, .stdout, .stderr (bytes). display=False runs it with DISPLAY unset.
    date: see start_tile.

s.start_tile(args=(), date=None, env=None, argv0=None, wait=True, timeout=20) -> Tile
    Starts dayspinner in the background with stdout and stderr captured to
    files. date, e.g. "2024-03-08 10:00:00", runs it with libfaketime from that
    local time on (the clock advances). With wait=True it returns once the
    64 x 64 icon window is viewable (in the dock); otherwise call
    tile.wait_docked(). argv0 replaces the invocation name.

Tile
    .process, .leader, .icon (window ids), .geometry (dict from find-tile:
    parent, viewable, width, height, x, y, root of the icon window, and the
    same of the leader as leader_parent, leader_viewable, ...)
    .window, .shown                   the window of the pair on screen and
                                      "icon" or "leader": the icon window when
                                      a dock swallowed it, else the leader (a
                                      dock swallowed it or a window manager
                                      framed it); clicks, images and the close
                                      request go to it
    .placement()                      x, y, width, height, parent of .window
    .wait_docked(timeout=20)         -> the geometry dict; raises on time-out
    .click(x, y, button=1, repeat=1, delay_ms=100)
                                      xdotool click at tile coordinates
    .press(x, y, button=1, repeat=1, delay_ms=100, timeout=5) -> [Press]
                                      click, then wait for the tile's press:
                                      line of each press (the tile runs with -d)
    .move(x, y)                       moves the pointer onto the tile (from
                                      beside the point when it rests there)
    .image() -> Image                 the icon window's pixels, now
    .pixel(x, y) -> (r, g, b)
    .save_png(path) -> path
    .wait_image(predicate, timeout=5) -> Image
                                      polls until predicate(Image) is true
    .request_close()                  WM_DELETE_WINDOW to the icon window
    .send_protocol(atom_name)         WM_PROTOCOLS with another atom
    .wait_exit(timeout=10) -> int     the exit status (negative: signal)
    .running() -> bool
    .stdout(), .stderr() -> str       what the program printed so far
    .shown_lines() -> [Shown]         the shown: lines of -d output so far
    .presses() -> [Press]             the press: lines of -d output so far
    .wait_shown(predicate, timeout=5) -> Shown
                                      waits until the latest shown: line
                                      satisfies predicate (the tile runs with -d)
    .close_and_wait(timeout=10) -> int  request_close() then wait_exit()

Shown: .calendar, .month ("YYYY-MM"), .today ("YYYY-MM-DD"), .busy, .free and
    .holiday (frozensets of days of the month), .pending (int), .unread (1 while the
    calendar engine keeps ending before it read the calendar), .reminders (notes
    waiting for the user).
Press: .button (int), .zone (str), one for each press the tile acted on.
Window: .id, .parent, .res_name, .res_class (None without WM_CLASS), .width,
    .height, .x, .y (on the screen).

Image: .width, .height, .rgb (bytes, rows top down), .pixel(x, y),
    .count(colour, box=None) (pixels equal to an (r, g, b), box = (x0, y0,
    x1, y1) exclusive of x1, y1), .save_png(path), .differs(other).

Helpers: dayspinner_binary(), xhelper_binary(), write_png(path, w, h, rgb),
    wait_for(predicate, timeout, interval=0.05) -> the first true value or None,
    SkipIfMissing: unittest.skipUnless decorator when a tool is not installed.
"""

import atexit
import collections
import os
import pathlib
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import zlib

SETTINGS_NAME = ".dayspinnerrc"
CALENDAR_PATH = "evolution/local/Calendar/calendar.ics"
TILE_NAME = "Dayspinner"
# ld.so puts the library folder in place of $LIB, as the faketime wrapper does.
FAKETIME_LIBRARY = "/usr/$LIB/faketime/libfaketime.so.1"
# What the tile prints with -d after each refresh that changes what it shows:
# "shown: CAL YYYY-MM today YYYY-MM-DD busy D,... free D,... pending N".
Shown = collections.namedtuple("Shown",
                               "calendar month today busy free holiday pending unread reminders")
# And after each press it acts on: "press: BUTTON ZONE".
Press = collections.namedtuple("Press", "button zone")
Window = collections.namedtuple("Window", "id parent res_name res_class width height x y")
# A window of `xwininfo -root -tree`, indented one step deeper than its parent:
# "   0x200005 (has no name): ("Wharf" "ASModule")  64x64+0+0  +960+0".
_TREE_LINE = re.compile(r'^( *)(0x[0-9a-f]+) .*?(?:: \("([^"]*)" "([^"]*)"\))?'
                        r' +(\d+)x(\d+)\+-?\d+\+-?\d+ +\+(-?\d+)\+(-?\d+)$')

_live_sessions = []


def dayspinner_binary():
    path = os.environ.get("DAYSPINNER_BINARY")
    if not path:
        raise RuntimeError("DAYSPINNER_BINARY is not set (CTest sets it)")
    return path


def xhelper_binary():
    path = os.environ.get("DAYSPINNER_XHELPER")
    if not path:
        raise RuntimeError("DAYSPINNER_XHELPER is not set (CTest sets it)")
    return path


def wait_for(predicate, timeout, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, rgb):
    """Writes 8-bit RGB rows (top down) as a PNG file."""
    stride = width * 3
    raw = b"".join(b"\x00" + rgb[y * stride:(y + 1) * stride] for y in range(height))
    data = (b"\x89PNG\r\n\x1a\n"
            + _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + _chunk(b"IDAT", zlib.compress(raw, 9))
            + _chunk(b"IEND", b""))
    pathlib.Path(path).write_bytes(data)
    return str(path)


def day_box(day, first_column=0):
    """The cell of day on the tile's grid, as (x0, y0, x1, y1)."""
    cell = day - 1 + first_column
    x, y = 9 * (cell % 7), 20 + 7 * (cell // 7)
    return (x, y, x + 9, y + 7)


class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @classmethod
    def from_ppm(cls, data):
        # "P6\n<w> <h>\n255\n" followed by the samples.
        fields, rest = [], data
        while len(fields) < 4:
            rest = rest.lstrip()
            end = 0
            while end < len(rest) and not rest[end:end + 1].isspace():
                end += 1
            fields.append(rest[:end])
            rest = rest[end:]
        if fields[0] != b"P6" or fields[3] != b"255":
            raise ValueError("not an 8-bit binary PPM")
        width, height = int(fields[1]), int(fields[2])
        rgb = rest[1:1 + width * height * 3]
        if len(rgb) != width * height * 3:
            raise ValueError("short PPM")
        return cls(width, height, rgb)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def count(self, colour, box=None):
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        colour = tuple(colour)
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.pixel(x, y) == colour)

    def days_in(self, colour, first_column=0):
        """The days whose cell of the grid (9 x 7 pixels from y 20, one row a
        week, day 1 in first_column) holds a pixel of colour."""
        return {d for d in range(1, 32) if self.count(colour, day_box(d, first_column))}

    def differs(self, other):
        return (self.width, self.height, self.rgb) != (other.width, other.height, other.rgb)

    def save_png(self, path):
        return write_png(path, self.width, self.height, self.rgb)


class Result:
    def __init__(self, status, stdout, stderr):
        self.status, self.stdout, self.stderr = status, stdout, stderr

    def __repr__(self):
        return "Result(status=%r, stdout=%r, stderr=%r)" % (self.status, self.stdout, self.stderr)


def _stop(process, timeout=3):
    """Stops a process started in a session of its own, with all its children."""
    if process is None:
        return
    if process.poll() is None:
        # libfaketime keeps its clock in shared memory named after the process
        # and removes it at a normal exit only. The names go now, while the
        # pid is still ours; the process keeps what it has mapped.
        for name in ("faketime_shm_%d", "sem.faketime_sem_%d"):
            try:
                os.unlink("/dev/shm/" + name % process.pid)
            except FileNotFoundError:
                pass
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(timeout)
            break
        except subprocess.TimeoutExpired:
            continue
    # Children can outlive the leader (Window Maker's launcher exits on
    # SIGTERM and leaves its real process behind): none of the group stays.
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


# Window Maker's own defaults for the private HOME: the dock at the top right
# with one slot (below the logo) kept for the tile, no animations.
_WMSTATE = """{
  Dock = {
    Applications = (
      { Command = "-"; Name = Logo.WMDock; AutoLaunch = No; Forced = No;
        Position = "0,0"; Lock = Yes; },
      { Command = "dayspinner"; Name = "%s.DockApp"; AutoLaunch = No;
        Forced = No; Position = "0,1"; Lock = No; }
    );
    Position = "-64,0";
    Lowered = No;
  };
  Workspaces = ({ Name = "Main"; Clip = { Applications = (); Lowered = Yes;
    Collapsed = No; AutoAttractIcons = No; KeepAttracted = No; }; });
}
""" % TILE_NAME

_WINDOWMAKER = """{
  DisableAnimations = YES;
  DisableWSMouseActions = YES;
  DisableClip = YES;
  DisableDock = NO;
  IconSize = 64;
  WorkspaceNameDisplayPosition = none;
  DoubleClickTime = 250;
}
"""


class Session:
    def __init__(self, settings=None, calendar=None, files=None, window_manager=True,
                 screen="1024x768x24"):
        self._processes = []
        self._tmp = tempfile.mkdtemp(prefix="dayspinner-e2e-")
        self.home = pathlib.Path(self._tmp) / "home"
        self.home.mkdir()
        self.display = None
        self.dock_class = None
        # Where Tile.move left the pointer, in a tile's coordinates: a tile
        # started later may lie where the last one was.
        self.pointer = None
        _live_sessions.append(self)
        try:
            self._write_home(settings, calendar, files or {})
            self.env = self._base_env()
            self._start_xvfb(screen)
            if window_manager:
                self._start_window_manager()
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # -- set-up -------------------------------------------------------------

    def _write(self, relative, content):
        path = self.home / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, str):
            content = content.encode()
        path.write_bytes(content)

    def _write_home(self, settings, calendar, files):
        if settings is not None:
            self._write(SETTINGS_NAME, settings)
        if calendar is not None:
            self._write(CALENDAR_PATH, calendar)
        for relative, content in files.items():
            self._write(relative, content)
        self._write("GNUstep/Defaults/WMState", _WMSTATE)
        self._write("GNUstep/Defaults/WindowMaker", _WINDOWMAKER)

    def _base_env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "WMAKER_", "GNUSTEP_", "DBUS_", "LD_PRELOAD",
                                    "FAKETIME"))}
        env.pop("DISPLAY", None)
        env.pop("XAUTHORITY", None)
        env["HOME"] = str(self.home)
        env.setdefault("ASAN_OPTIONS", "detect_leaks=0")
        env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
        env["NO_AT_BRIDGE"] = "1"
        return env

    def _spawn(self, argv, env=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
               **kw):
        process = subprocess.Popen(argv, env=env or self.env, stdin=subprocess.DEVNULL,
                                   stdout=stdout, stderr=stderr, start_new_session=True, **kw)
        self._processes.append(process)
        return process

    def _start_xvfb(self, screen):
        read_fd, write_fd = os.pipe()
        try:
            self._xvfb = self._spawn(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      screen, "-nolisten", "tcp", "-noreset"],
                                     pass_fds=(write_fd,))
        finally:
            os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not report a display number")
        self.display = ":" + number.decode()
        self.env["DISPLAY"] = self.display

    def _start_window_manager(self):
        log = open(pathlib.Path(self._tmp) / "wmaker.log", "wb")
        self._wm = self._spawn(["wmaker", "--no-autolaunch", "--dont-restore", "--static",
                                "--no-clip"],
                               stdout=log, stderr=log)
        log.close()
        status = subprocess.run([xhelper_binary(), "wait-wm", "15000"], env=self.env).returncode
        if status != 0:
            raise RuntimeError("Window Maker did not start:\n" + self.wm_log())
        # The dock comes right after: its logo tile at the top of a screen
        # edge and, below it, the slot kept for the tile.
        def dock_made():
            tiles = {(w.x, w.y) for w in self.windows() if (w.width, w.height) == (64, 64)}
            return any((x, 64) in tiles for x, y in tiles if y == 0)
        if not wait_for(dock_made, 15):
            raise RuntimeError("Window Maker made no dock:\n" + self.wm_log())

    def windows(self):
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=20).stdout.decode(errors="replace")
        found, parents = [], []  # parents: (indent, id) of the lines above, outermost first
        root = re.search(r"Window id: (0x[0-9a-f]+)", tree)
        for line in tree.splitlines():
            m = _TREE_LINE.match(line)
            if not m:
                continue
            indent, window = len(m.group(1)), int(m.group(2), 16)
            while parents and parents[-1][0] >= indent:
                parents.pop()
            parent = parents[-1][1] if parents else int(root.group(1), 16)
            parents.append((indent, window))
            found.append(Window(window, parent, m.group(3), m.group(4),
                                *(int(m.group(i)) for i in range(5, 9))))
        return found

    def viewable(self, res_name):
        for w in self.windows():
            if w.res_name == res_name:
                info = subprocess.run(["xwininfo", "-id", str(w.id)], env=self.env,
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      timeout=20).stdout.decode()
                if "Map State: IsViewable" in info:
                    return w.id
        return None

    def wm_log(self):
        path = pathlib.Path(self._tmp) / "wmaker.log"
        return path.read_text(errors="replace") if path.exists() else ""

    # -- the program -----------------------------------------------------------

    def _command(self, args, date, argv0):
        binary = dayspinner_binary()
        argv = [binary] + list(args)
        env = dict(self.env)
        if date is not None:
            # libfaketime itself, not the faketime wrapper: the wrapper's own
            # semaphore and memory in /dev/shm stay behind when it is killed,
            # and a later wrapper given the same pid fails (see _stop).
            # The sanitizer runtime must come first in the preload order;
            # faketime ahead of it is harmless here.
            options = env.get("ASAN_OPTIONS", "")
            env["ASAN_OPTIONS"] = (options + ":" if options else "") + "verify_asan_link_order=0"
            env["LD_PRELOAD"] = FAKETIME_LIBRARY
            env["FAKETIME"] = "@" + date
            env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"
        return argv, env, argv0

    def run(self, args=(), date=None, env=None, display=True, timeout=20, argv0=None):
        argv, full_env, argv0 = self._command(args, date, argv0)
        full_env.update(env or {})
        if not display:
            full_env.pop("DISPLAY", None)
        out = pathlib.Path(tempfile.mkstemp(dir=self._tmp, suffix=".out")[1])
        err = pathlib.Path(tempfile.mkstemp(dir=self._tmp, suffix=".err")[1])
        with open(out, "wb") as o, open(err, "wb") as e:
            process = self._spawn(_with_argv0(argv, argv0), env=full_env, stdout=o, stderr=e,
                                  executable=argv[0] if argv0 else None)
            try:
                status = process.wait(timeout)
            except subprocess.TimeoutExpired:
                _stop(process)
                raise
        return Result(status, out.read_bytes(), err.read_bytes())

    def start_tile(self, args=(), date=None, env=None, argv0=None, wait=True, timeout=20):
        argv, full_env, argv0 = self._command(args, date, argv0)
        full_env.update(env or {})
        tile = Tile(self, argv, full_env, argv0)
        if wait:
            tile.wait_docked(timeout)
        return tile

    def helper(self, *args, check=True):
        return subprocess.run([xhelper_binary()] + [str(a) for a in args], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=check,
                              timeout=20)

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True,
                              timeout=20)

    def close(self):
        for process in reversed(self._processes):
            _stop(process)
        self._processes = []
        if self in _live_sessions:
            _live_sessions.remove(self)
        shutil.rmtree(self._tmp, ignore_errors=True)


def _with_argv0(argv, argv0):
    if argv0 is None:
        return argv
    return [argv0] + argv[1:]


class Tile:
    def __init__(self, session, argv, env, argv0):
        self.session = session
        tmp = session._tmp
        self._out = pathlib.Path(tempfile.mkstemp(dir=tmp, suffix=".out")[1])
        self._err = pathlib.Path(tempfile.mkstemp(dir=tmp, suffix=".err")[1])
        with open(self._out, "wb") as o, open(self._err, "wb") as e:
            self.process = session._spawn(_with_argv0(argv, argv0), env=env, stdout=o, stderr=e,
                                          executable=argv[0] if argv0 else None)
        self.leader = self.icon = self.window = self.shown = None
        self.geometry = {}

    def _find(self):
        result = self.session.helper("find-tile", TILE_NAME, check=False)
        if result.returncode != 0:
            return None
        geometry = {}
        for field in result.stdout.decode().split():
            key, _, value = field.partition("=")
            geometry[key] = int(value, 0)
        return geometry

    @staticmethod
    def _shown(g):
        for prefix, name in (("", "icon"), ("leader_", "leader")):
            if g.get(prefix + "viewable") and g.get(prefix + "parent") != g.get("root"):
                return name
        return None

    def _in_dock(self, g):
        """Whether the shown window of g lies in a window of the session's dock
        class (a window manager may frame the tile before its dock takes it)."""
        if self.session.dock_class is None:
            return True
        windows = {w.id: w for w in self.session.windows()}
        w = windows.get(g["icon"] if self._shown(g) == "icon" else g["leader"])
        while w is not None:
            if w.res_name == self.session.dock_class:
                return True
            w = windows.get(w.parent)
        return False

    def wait_docked(self, timeout=20):
        def docked():
            if not self.running():
                raise RuntimeError("dayspinner ended with status %r before docking:\n%s%s"
                                   % (self.process.returncode, self.stdout(), self.stderr()))
            g = self._find()
            return g if g and self._shown(g) and self._in_dock(g) else None
        geometry = wait_for(docked, timeout, 0.1)
        if not geometry:
            raise RuntimeError("the tile did not dock within %s s; last seen: %r\n%s"
                               % (timeout, self._find(), self.session.wm_log()))
        self.geometry = geometry
        self.leader, self.icon = geometry["leader"], geometry["icon"]
        self.shown = self._shown(geometry)
        self.window = self.icon if self.shown == "icon" else self.leader
        return geometry

    def _need_icon(self):
        if self.window is None:
            self.wait_docked()

    def placement(self):
        self._need_icon()
        g = self._find() or self.geometry
        prefix = "" if self.shown == "icon" else "leader_"
        return {k: g.get(prefix + k) for k in ("x", "y", "width", "height", "parent")}

    def move(self, x, y):
        self._need_icon()
        # A synchronous move onto the point where the pointer already rests
        # waits for motion that never comes: step beside it first.
        if self.session.pointer == (x, y):
            self.session.xdotool("mousemove", "--sync", "--window", self.window, x,
                                 y + 1 if y < 63 else y - 1)
        self.session.xdotool("mousemove", "--sync", "--window", self.window, x, y)
        self.session.pointer = (x, y)

    def click(self, x, y, button=1, repeat=1, delay_ms=100):
        self.move(x, y)
        self.session.xdotool("click", "--repeat", repeat, "--delay", delay_ms, button)

    def press(self, x, y, button=1, repeat=1, delay_ms=100, timeout=5):
        """Clicks, then waits until the tile has acted on each press (its
        press: lines); returns those lines."""
        before = len(self.presses())
        self.click(x, y, button, repeat, delay_ms)

        def acted():
            new = self.presses()[before:]
            return new if len(new) >= repeat else None
        found = wait_for(acted, timeout, 0.02)
        if found is None:
            raise AssertionError("the tile did not act on %d press(es) of button %d at %d, %d "
                                 "within %s s; presses so far: %r"
                                 % (repeat, button, x, y, timeout, self.presses()))
        return found

    def image(self):
        self._need_icon()
        return Image.from_ppm(self.session.helper("snap", self.window).stdout)

    def pixel(self, x, y):
        return self.image().pixel(x, y)

    def save_png(self, path):
        return self.image().save_png(path)

    def wait_image(self, predicate, timeout=5):
        found = wait_for(lambda: (lambda im: im if predicate(im) else None)(self.image()),
                         timeout, 0.1)
        if found is None:
            raise AssertionError("the tile never showed the expected image")
        return found

    def send_protocol(self, atom_name):
        self._need_icon()
        self.session.helper("message", self.window, atom_name)

    def request_close(self):
        self._need_icon()
        self.session.helper("close", self.window)

    def running(self):
        return self.process.poll() is None

    def wait_exit(self, timeout=10):
        return self.process.wait(timeout)

    def close_and_wait(self, timeout=10):
        self.request_close()
        return self.wait_exit(timeout)

    def stdout(self):
        return self._out.read_text(errors="replace")

    def stderr(self):
        return self._err.read_text(errors="replace")

    def shown_lines(self):
        """The shown: lines printed so far (a line still being written is left out)."""
        def days(field):
            return frozenset() if field == "-" else frozenset(map(int, field.split(",")))
        def shown(line):
            # "shown: CALENDAR YYYY-MM" and then pairs of a field's name and value.
            words = line.split()
            f = dict(zip(words[3::2], words[4::2]))
            return Shown(words[1], words[2], f["today"], days(f["busy"]), days(f["free"]),
                         days(f["holiday"]), int(f["pending"]), int(f["unread"]),
                         int(f["reminders"]))
        lines = self.stdout().split("\n")[:-1]
        return [shown(line) for line in lines if line.startswith("shown: ")]

    def presses(self):
        """The press: lines printed so far (a line still being written is left out)."""
        lines = self.stdout().split("\n")[:-1]
        return [Press(int(line.split()[1]), line.split()[2])
                for line in lines if line.startswith("press: ")]

    def wait_shown(self, predicate=lambda shown: True, timeout=5):
        def latest():
            lines = self.shown_lines()
            return lines[-1] if lines and predicate(lines[-1]) else None
        found = wait_for(latest, timeout, 0.02)
        if found is None:
            raise AssertionError("not shown within %s s; last: %r"
                                 % (timeout, (self.shown_lines() or [None])[-1]))
        return found


def SkipIfMissing(*tools):
    import unittest
    missing = [t for t in tools if shutil.which(t) is None]
    return unittest.skipIf(missing, "not installed: " + " ".join(missing))


@atexit.register
def _stop_all():
    for session in list(_live_sessions):
        session.close()
