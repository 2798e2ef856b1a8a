# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""A private session bus and a real notification server, dunst, for tests.

Python 3 standard library only; needs dbus-daemon, dbus-monitor and dunst
(with dunstctl), as tools/install-deps.sh installs them.

    bus = NotifyBus(session.display, session.env)   # server=False: bus only
    tile = session.start_tile(env=bus.env)          # or any program with bus.env
    note = bus.wait_notify("Dentist")               # .actions, .urgency, .id ...
    bus.invoke("snooze")                            # as the user picks it
    bus.close_latest()                              # as the user closes it
    bus.close()                                     # also at interpreter exit

NotifyBus(display, env=None, server=True, timeout=10)
    Starts dbus-daemon with a configuration of its own (no service is ever
    started on demand: with server=False, or after stop_server(), a call to
    org.freedesktop.Notifications fails at once with ServiceUnknown), then
    dbus-monitor on it, then, with server=True, dunst on the X display with a
    private configuration. Each start waits for what the program prints: the
    bus its address, the monitor its own name given up as it turns monitor,
    the server's name owner change. Raises RuntimeError on a time-out.
    .env      a copy of env (default: os.environ) with DISPLAY and
              DBUS_SESSION_BUS_ADDRESS set: start the program under test with it
    .address  the bus's address

.start_server(timeout=10), .stop_server()   dunst, started or ended again
.pause_server(), .resume_server()           SIGSTOP and SIGCONT to dunst: it
                                            keeps its name and answers nothing
.notifies() -> [Notify]                     each Notify call seen, in order
.wait_notify(summary=None, timeout=5, count=1) -> Notify
    The count-th Notify call (of that summary, if given), once seen; raises
    AssertionError on a time-out.
.invoke(action, summary=None, timeout=5) -> id
    Opens dunst's context menu (dunstctl context) on the latest notification
    (of that summary) still open, and picks its action by key ("snooze",
    "dismiss"), so whatever the language of the labels; returns once the
    server signalled ActionInvoked.
.close_latest(timeout=5) -> id
    dunstctl close, as the user closes a notification; returns once the
    server signalled NotificationClosed with reason 2. dunst closes the
    first it shows, the oldest: with one note on the screen that is the
    latest.
.close_all()                               dunstctl close-all
.signals(member) -> [(id, value)]          ActionInvoked (id, action) or
                                           NotificationClosed (id, reason)
.displayed() -> int                        dunstctl count displayed
.monitor_text() -> str                     what dbus-monitor printed, for
                                           failure messages

Notify: .app, .replaces_id, .icon, .summary, .body, .actions (list: key,
    label, key, label ...), .urgency (the hint's byte, or None), .timeout,
    .sender, .serial, .id (the server's number from its reply, None until it
    replied; read it again through notifies() or wait_notify()).
"""

import atexit
import os
import pathlib
import re
import shutil
import signal
import subprocess
import tempfile
import threading

from harness import _stop, wait_for

_BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""
# dunst hands its context menu to "dmenu", one line an action:
# "#Snooze (Dentist) [5,snooze]". The script picks the line that holds the
# text of its choice file, "[5,snooze]".
_PICK = """#!/bin/sh
grep -F -e "$(cat "$1")" | tail -n 1
"""
_DUNSTRC = """[global]
    dmenu = %s %s
    browser = /bin/true
"""
_HEADER = re.compile(r"^(method call|method return|signal|error) time=\S+ sender=(\S+) "
                     r"-> destination=(\(null destination\)|\S+) serial=(\d+)(?: reply_serial=(\d+))?"
                     r"(?: path=[^;]*; interface=([^;]*); member=(\S+))?")
_NOTIFY = re.compile(r'\A   string "(.*?)"\n   uint32 (\d+)\n   string "(.*?)"\n'
                     r'   string "(.*?)"\n   string "(.*?)"\n   array \[\n(.*?)^   \]\n'
                     r'   array \[\n(.*?)^   \]\n   int32 (-?\d+)\s*\Z', re.S | re.M)
_INTERFACE = "org.freedesktop.Notifications"
_live = []


class Notify:
    def __init__(self, sender, serial, fields):
        self.sender, self.serial = sender, serial
        (self.app, replaces, self.icon, self.summary, self.body, actions, hints,
         timeout) = fields
        self.replaces_id, self.timeout = int(replaces), int(timeout)
        self.actions = re.findall(r'^      string "(.*?)"$', actions, re.M)
        urgency = re.search(r'string "urgency"\n\s+variant\s+byte (\d+)', hints)
        self.urgency = int(urgency.group(1)) if urgency else None
        self.id = None

    def __repr__(self):
        return "Notify(%r, %r, actions=%r, urgency=%r, id=%r)" % (
            self.summary, self.body, self.actions, self.urgency, self.id)


class NotifyBus:
    def __init__(self, display, env=None, server=True, timeout=10):
        self._tmp = pathlib.Path(tempfile.mkdtemp(prefix="dayspinner-bus-"))
        self._bus = self._monitor = self._server = None
        self._lines, self._lock = [], threading.Lock()
        _live.append(self)
        try:
            self.env = dict(os.environ if env is None else env)
            self.env.pop("WAYLAND_DISPLAY", None)
            self.env["DISPLAY"] = display
            self._start_bus(timeout)
            self._start_monitor(timeout)
            if server:
                self.start_server(timeout)
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # -- starting and stopping ------------------------------------------------

    def _spawn(self, argv, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        return subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL,
                                start_new_session=True, **kw)

    def _start_bus(self, timeout):
        config = self._tmp / "bus.conf"
        config.write_text(_BUS_CONFIG % self._tmp)
        read_fd, write_fd = os.pipe()
        try:
            self._bus = self._spawn(["dbus-daemon", "--nofork", "--config-file=%s" % config,
                                     "--print-address=%d" % write_fd], pass_fds=(write_fd,))
        finally:
            os.close(write_fd)
        with os.fdopen(read_fd, "rb") as pipe:
            address = pipe.readline().strip().decode()
        if not address:
            raise RuntimeError("dbus-daemon did not print its address")
        self.address = self.env["DBUS_SESSION_BUS_ADDRESS"] = address

    def _start_monitor(self, timeout):
        rules = ["type='method_call',interface='%s'" % _INTERFACE,
                 "type='signal',interface='%s'" % _INTERFACE,
                 "type='method_return'", "type='error'",
                 "type='signal',interface='org.freedesktop.DBus',member='NameOwnerChanged'"]
        self._monitor = self._spawn(["dbus-monitor", "--address", self.address] + rules,
                                    stdout=subprocess.PIPE)
        self._reader = threading.Thread(target=self._read_monitor, daemon=True)
        self._reader.start()
        # It gives up the name it connected with as it becomes a monitor.
        if not wait_for(lambda: "member=NameLost" in self.monitor_text(), timeout):
            raise RuntimeError("dbus-monitor did not start:\n" + self.monitor_text())

    def _read_monitor(self):
        for raw in self._monitor.stdout:
            with self._lock:
                self._lines.append(raw.decode(errors="replace").rstrip("\n"))

    def start_server(self, timeout=10):
        if self._server:
            return
        pick, choice = self._tmp / "pick", self._tmp / "choice"
        pick.write_text(_PICK)
        pick.chmod(0o755)
        choice.write_text("")
        config = self._tmp / "dunstrc"
        config.write_text(_DUNSTRC % (pick, choice))
        owners = len(self._owner_changes())
        log = open(self._tmp / "dunst.log", "ab")
        self._server = self._spawn(["dunst", "-config", str(config)], stdout=log, stderr=log)
        log.close()

        def owned():
            changes = self._owner_changes()[owners:]
            return any(new for _, new in changes)
        if not wait_for(owned, timeout):
            raise RuntimeError("dunst took no name:\n" + self.server_log())

    def stop_server(self):
        if self._server:
            self.resume_server()
            _stop(self._server)
            self._server = None

    def pause_server(self):
        os.kill(self._server.pid, signal.SIGSTOP)

    def resume_server(self):
        os.kill(self._server.pid, signal.SIGCONT)

    def server_log(self):
        path = self._tmp / "dunst.log"
        return path.read_text(errors="replace") if path.exists() else ""

    def close(self):
        self.stop_server()
        for process in (self._monitor, self._bus):
            _stop(process)
        if self._monitor:
            self._reader.join(5)
            self._monitor.stdout.close()
        self._monitor = self._bus = None
        if self in _live:
            _live.remove(self)
        shutil.rmtree(self._tmp, ignore_errors=True)

    # -- what the monitor saw ----------------------------------------------------

    def monitor_text(self):
        with self._lock:
            return "\n".join(self._lines)

    def _messages(self):
        """(kind, sender, destination, serial, reply_serial, interface, member, body)."""
        with self._lock:
            lines = list(self._lines)
        messages = []
        for line in lines:
            header = _HEADER.match(line)
            if header:
                messages.append(list(header.groups()) + [[]])
            elif messages:
                messages[-1][-1].append(line)
        return [tuple(m[:-1]) + ("\n".join(m[-1]),) for m in messages]

    def _owner_changes(self):
        found = []
        for kind, _, _, _, _, _, member, body in self._messages():
            if kind == "signal" and member == "NameOwnerChanged":
                names = re.findall(r'^   string "(.*)"$', body, re.M)
                if len(names) == 3 and names[0] == _INTERFACE:
                    found.append((names[1], names[2]))
        return found

    def notifies(self):
        messages = self._messages()
        ids = {}
        for kind, _, destination, _, reply_serial, _, _, body in messages:
            number = re.match(r"\A   uint32 (\d+)\s*\Z", body)
            if kind == "method return" and number:
                ids[(destination, reply_serial)] = int(number.group(1))
        found = []
        for kind, sender, _, serial, _, interface, member, body in messages:
            if kind == "method call" and interface == _INTERFACE and member == "Notify":
                fields = _NOTIFY.match(body + "\n")
                if fields:
                    note = Notify(sender, serial, fields.groups())
                    note.id = ids.get((sender, serial))
                    found.append(note)
        return found

    def signals(self, member):
        found = []
        for kind, _, _, _, _, interface, name, body in self._messages():
            if kind != "signal" or interface != _INTERFACE or name != member:
                continue
            values = re.findall(r'^   (?:uint32 (\d+)|string "(.*)")$', body, re.M)
            if len(values) == 2 and values[0][0]:
                number, text = values[1]
                found.append((int(values[0][0]), int(number) if number else text))
        return found

    def wait_notify(self, summary=None, timeout=5, count=1):
        def seen():
            notes = [n for n in self.notifies() if summary is None or n.summary == summary]
            return notes[count - 1] if len(notes) >= count else None
        note = wait_for(seen, timeout)
        if not note:
            raise AssertionError("no Notify %r within %ss:\n%s" % (summary, timeout,
                                                                  self.monitor_text()))
        return note

    def _wait_signal(self, member, predicate, timeout, what):
        if not wait_for(lambda: any(predicate(s) for s in self.signals(member)), timeout):
            raise AssertionError("no %s %s within %ss:\n%s" % (member, what, timeout,
                                                              self.monitor_text()))

    # -- what the user does ----------------------------------------------------------

    def _open_ids(self, summary):
        closed = {i for i, _ in self.signals("NotificationClosed")}
        return [n.id for n in self.notifies()
                if n.id is not None and n.id not in closed
                and (summary is None or n.summary == summary)]

    def invoke(self, action, summary=None, timeout=5):
        ids = wait_for(lambda: self._open_ids(summary), timeout)
        if not ids:
            raise AssertionError("no open notification %r:\n%s" % (summary, self.monitor_text()))
        target = ids[-1]
        (self._tmp / "choice").write_text("[%d,%s]" % (target, action))
        subprocess.run(["dunstctl", "context"], env=self.env, check=True, timeout=timeout)
        self._wait_signal("ActionInvoked", lambda s: s == (target, action), timeout,
                          "(%d, %s)" % (target, action))
        return target

    def close_latest(self, timeout=5):
        before = len(self.signals("NotificationClosed"))
        subprocess.run(["dunstctl", "close"], env=self.env, check=True, timeout=timeout)
        closed = wait_for(lambda: [s for s in self.signals("NotificationClosed")[before:]
                                   if s[1] == 2], timeout)
        if not closed:
            raise AssertionError("dunst closed nothing:\n" + self.monitor_text())
        return closed[0][0]

    def close_all(self):
        """dunstctl close-all: every notification closed as by the user."""
        subprocess.run(["dunstctl", "close-all"], env=self.env, check=True, timeout=10)

    def displayed(self):
        out = subprocess.run(["dunstctl", "count", "displayed"], env=self.env, check=True,
                             stdout=subprocess.PIPE, timeout=10).stdout
        return int(out.decode().strip())


@atexit.register
def _close_all():
    for bus in list(_live):
        bus.close()
