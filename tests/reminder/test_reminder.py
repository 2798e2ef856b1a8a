# SPDX-License-Identifier: GPL-2.0-or-later
# Copyright (C) 2026 the Dayspinner authors
"""reminder/ through reminder_driver.cpp, on one private X server and one
private session bus: with dunst, with no notification server, and with a
server that never answers (dunst stopped by SIGSTOP)."""

import os
import subprocess
import threading
import time
import unittest

from harness import Session, _stop, wait_for
from notify_bus import NotifyBus

TILE = (960, 0)  # the driver's tile, 64 x 64, in the right half of 1024 x 768


class Driver:
    def __init__(self, env):
        self.process = subprocess.Popen(
            [os.environ["REMINDER_DRIVER"]] + [str(v) for v in TILE], env=env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
            start_new_session=True)
        self._lines, self._lock = [], threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()
        self.wait_line("ready")

    def _read(self):
        for raw in self.process.stdout:
            with self._lock:
                self._lines.append(raw.decode().rstrip("\n"))

    def lines(self):
        with self._lock:
            return list(self._lines)

    def send(self, line):
        self.process.stdin.write((line + "\n").encode())
        self.process.stdin.flush()

    def wait_line(self, wanted, timeout=5, after=0):
        found = wait_for(lambda: wanted in self.lines()[after:], timeout)
        assert found, "no %r from the driver: %r" % (wanted, self.lines())

    def ask(self, command, timeout=2):
        """The lines the command printed, up to "done" or its one line."""
        start = len(self.lines())
        self.send(command)
        end = "done" if command.startswith("where") else None
        def answered():
            new = self.lines()[start:]
            new = [l for l in new if not l.startswith("answer")]
            if end is None:
                return new[:1]
            return [new[:new.index(end)]] if end in new else None
        out = wait_for(answered, timeout)
        assert out, "driver gave no answer to %r" % command
        return out if end is None else out[0]

    def answers(self):
        # After a ping, whatever the loop had queued has run.
        self.ask("ping")
        return [l for l in self.lines() if l.startswith("answer")]

    def show(self, id, title, body="10:00 - 11:00", actions=1):
        self.send("show %d %d %s\t%s" % (id, actions, title, body))

    def where(self, name, title=""):
        return [tuple(int(v) for v in l.split()[1:]) for l in self.ask("where %s %s" % (name, title))
                if l.startswith("at ")]

    def windows(self):
        return int(self.ask("windows")[0].split()[1])

    def close(self):
        _stop(self.process)


def setUpModule():
    global session, bus
    session = Session(window_manager=False)
    bus = NotifyBus(session.display, session.env, server=False)


def tearDownModule():
    bus.close()
    session.close()


class Base(unittest.TestCase):
    def setUp(self):
        self.driver = Driver(bus.env)
        self.addCleanup(self.driver.close)


class WithServer(Base):
    @classmethod
    def setUpClass(cls):
        bus.start_server()

    @classmethod
    def tearDownClass(cls):
        bus.stop_server()

    def setUp(self):
        super().setUp()
        bus.close_all()

    def test_notify_asks_for_both_actions_critically(self):
        cases = [  # actions, the actions Notify offers
            (1, ["snooze", "Snooze", "dismiss", "Dismiss"]),
            (0, []),
        ]
        for actions, offered in cases:
            with self.subTest(actions=actions):
                title = "Dentist %d" % actions
                self.driver.show(actions + 1, title, "10:00 - 11:00 at <Room> & co", actions)
                note = bus.wait_notify(title)
                self.assertEqual((note.app, note.replaces_id, note.icon, note.body),
                                 ("Dayspinner", 0, "", "10:00 - 11:00 at <Room> & co"))
                self.assertEqual((note.actions, note.urgency, note.timeout), (offered, 2, 0))

    def test_the_users_answer_once(self):
        cases = [  # what the user does through the server, the answer
            ("snooze", lambda: bus.invoke("snooze"), "snooze"),
            ("dismiss", lambda: bus.invoke("dismiss"), "dismiss"),
            ("close", bus.close_latest, "dismiss"),
        ]
        for n, (name, act, answer) in enumerate(cases, 10):
            with self.subTest(name):
                self.driver.show(n, "Meeting %s" % name)
                bus.wait_notify("Meeting %s" % name)
                server_id = act()
                self.driver.wait_line("answer %d %s" % (n, answer))
                # Off the screen, and nothing more for it.
                wait_for(lambda: server_id in {i for i, _ in bus.signals("NotificationClosed")}, 5)
                self.assertEqual(bus.displayed(), 0)
                self.assertEqual([a for a in self.driver.answers() if a.split()[1] == str(n)],
                                 ["answer %d %s" % (n, answer)])

    def test_withdrawn_note_leaves_without_answer(self):
        self.driver.show(20, "Withdrawn")
        server_id = wait_for(lambda: bus.wait_notify("Withdrawn").id, 5)
        self.driver.send("withdraw 20")
        wait_for(lambda: (server_id, 3) in bus.signals("NotificationClosed"), 5)
        self.assertIn((server_id, 3), bus.signals("NotificationClosed"))
        self.assertEqual(bus.displayed(), 0)
        self.assertEqual(self.driver.answers(), [])


def click(x, y, w, h):
    session.xdotool("mousemove", x + w // 2, y + h // 2, "click", 1)


class WithoutServer(Base):
    def wait_window(self, title, count=1):
        found = wait_for(lambda: len(self.driver.where("reminder", title)) == count, 5)
        self.assertTrue(found, "no window %r: %r" % (title, self.driver.lines()))
        return self.driver.where("reminder", title)

    def test_own_window_answers(self):
        def close_by_window_manager(title):
            window = session.xdotool("search", "--name", "^%s$" % title).stdout.split()[0]
            session.helper("close", int(window))
        cases = [  # how the user answers in the window, the answer
            ("Snooze", lambda t: click(*self.driver.where("reminder-snooze", t)[0]), "snooze"),
            ("Dismiss", lambda t: click(*self.driver.where("reminder-dismiss", t)[0]), "dismiss"),
            ("close", close_by_window_manager, "dismiss"),
        ]
        for n, (name, act, answer) in enumerate(cases, 30):
            with self.subTest(name):
                title = "Window %s" % name
                self.driver.show(n, title)
                self.wait_window(title)
                act(title)
                self.driver.wait_line("answer %d %s" % (n, answer))
                self.assertEqual(self.driver.windows(), 0)
        self.assertEqual(len(self.driver.answers()), len(cases))

    def test_windows_stack_below_one_another_beside_the_tile(self):
        titles = ["First", "Second", "Counted"]
        start = time.monotonic()
        for n, title in enumerate(titles, 40):
            self.driver.show(n, title, actions=0 if title == "Counted" else 1)
            self.wait_window(title)
        # No server on the bus: no waiting for one.
        self.assertLess(time.monotonic() - start, 3)
        boxes = [self.driver.where("reminder", t)[0] for t in titles]
        self.assertEqual(boxes[0][1], TILE[1])
        for (x, y, w, h), below in zip(boxes, boxes[1:]):
            self.assertGreaterEqual(below[1], y + h, boxes)
        for x, y, w, h in boxes:
            self.assertLessEqual(x + w, TILE[0], "covers the tile: %r" % (boxes,))
        self.assertEqual(self.driver.where("reminder-snooze", "Counted"), [])
        self.driver.send("withdraw 41")
        self.assertTrue(wait_for(lambda: self.driver.windows() == 2, 5))
        self.assertEqual(self.driver.answers(), [])


class HungServer(Base):
    @classmethod
    def setUpClass(cls):
        bus.start_server()
        bus.pause_server()

    @classmethod
    def tearDownClass(cls):
        bus.stop_server()

    def test_own_window_after_the_wait_and_the_loop_never_held(self):
        start = time.monotonic()
        self.driver.show(50, "Hung")
        slowest = 0
        while self.driver.windows() == 0 and time.monotonic() - start < 10:
            asked = time.monotonic()
            self.driver.ask("ping")
            slowest = max(slowest, time.monotonic() - asked)
            time.sleep(0.1)
        opened = time.monotonic() - start
        self.assertEqual(self.driver.windows(), 1)
        self.assertGreater(opened, 4.5)
        self.assertLess(opened, 7)
        self.assertLess(slowest, 0.5)
        self.assertEqual(self.driver.answers(), [])


if __name__ == "__main__":
    unittest.main()
