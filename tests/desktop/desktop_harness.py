"""Shared pieces of the operation-level desktop tests.

They run inside tools/desktop-session (DISPLAY, the session bus and the
accessibility bus are already there): this module starts the C fixture and
reads the events it prints, drives the agent over pipes, and reads the X
properties that say independently of the agent what the desktop looks like.

Usage of a test file: test_desktop_x.py AGENT FIXTURE [unittest arguments]
"""
import json
import os
import re
import subprocess
import sys
import threading
import time
import unittest

import agent_client
from agent_client import wait_for  # noqa: F401  (the tests import it from here)

AGENT = None
FIXTURE = None


def centre(rect):
    return rect["x"] + rect["w"] / 2, rect["y"] + rect["h"] / 2


# ---- X properties, read with x11-utils ----

def xprop(*args):
    done = subprocess.run(["xprop", *args], capture_output=True, text=True, timeout=10)
    return done.stdout if done.returncode == 0 else ""


def active_window():
    """The root's _NET_ACTIVE_WINDOW, or None when no window is active."""
    m = re.search(r"window id # (0x[0-9a-f]+)", xprop("-root", "_NET_ACTIVE_WINDOW"))
    xid = int(m.group(1), 16) if m else 0
    return xid or None


def window_pid(xid):
    m = re.search(r"= (\d+)", xprop("-id", str(xid), "_NET_WM_PID"))
    return int(m.group(1)) if m else None


def active_pid():
    xid = active_window()
    return window_pid(xid) if xid else None


def stacking():
    """_NET_CLIENT_LIST_STACKING: managed windows, bottom to top."""
    text = xprop("-root", "_NET_CLIENT_LIST_STACKING")
    return [int(x, 16) for x in re.findall(r"0x[0-9a-f]+", text)]


def frame_extents(xid):
    """_NET_FRAME_EXTENTS of a window: left, right, top, bottom."""
    m = re.search(r"= (\d+), (\d+), (\d+), (\d+)", xprop("-id", str(xid), "_NET_FRAME_EXTENTS"))
    return tuple(int(v) for v in m.groups()) if m else (0, 0, 0, 0)


def wm_class(xid):
    m = re.search(r'= "([^"]*)", "([^"]*)"', xprop("-id", str(xid), "WM_CLASS"))
    return m.groups() if m else None


def client_geometry(xid):
    """The client window's rectangle in root coordinates, from xwininfo."""
    out = subprocess.run(["xwininfo", "-id", str(xid)], capture_output=True, text=True, timeout=10).stdout
    field = lambda name: int(re.search(name + r":\s+(-?\d+)", out).group(1))  # noqa: E731
    return {"x": field("Absolute upper-left X"), "y": field("Absolute upper-left Y"),
            "w": field("Width"), "h": field("Height")}


def root_size():
    out = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True, timeout=10).stdout
    return (int(re.search(r"Width:\s+(\d+)", out).group(1)), int(re.search(r"Height:\s+(\d+)", out).group(1)))


# ---- the fixture ----

class Fixture:
    """One fixture process: its events (kept in order) and its commands."""

    def __init__(self, *args, timeout=20):
        self.proc = subprocess.Popen([FIXTURE, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.events = []
        self.cond = threading.Condition()
        self.ended = False
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        try:
            self.info = self.wait_event(lambda e: e["event"] == "ready", timeout, "the fixture's ready line")
        except BaseException:
            self.close()
            raise
        self.pid = self.info["pid"]
        self.window = self.info["window"]

    def _read(self):
        for raw in self.proc.stdout:
            try:
                event = json.loads(raw)
            except ValueError:
                event = {"event": "unreadable", "line": raw.decode(errors="replace")}
            with self.cond:
                self.events.append(event)
                self.cond.notify_all()
        with self.cond:
            self.ended = True
            self.cond.notify_all()

    def mark(self):
        """A position in the event list: later waits look only past it."""
        with self.cond:
            return len(self.events)

    def wait_event(self, predicate, timeout, what, since=0):
        """The first event from SINCE on that PREDICATE accepts; fails naming
        WHAT and the last events seen when none came within TIMEOUT seconds."""
        deadline = time.monotonic() + timeout
        with self.cond:
            i = since
            while True:
                while i < len(self.events):
                    if predicate(self.events[i]):
                        return self.events[i]
                    i += 1
                left = deadline - time.monotonic()
                if left <= 0 or self.ended:
                    break
                self.cond.wait(left)
            seen = self.events[since:][-8:]
        state = "the fixture ended" if self.ended else "no such event within %g s" % timeout
        raise AssertionError("%s: %s; last events: %s" % (what, state, json.dumps(seen, ensure_ascii=False)))

    def events_since(self, since, kind=None):
        with self.cond:
            return [e for e in self.events[since:] if kind is None or e["event"] == kind]

    def last(self, kind, default=None):
        with self.cond:
            for e in reversed(self.events):
                if e["event"] == kind:
                    return e
        return default

    def command(self, line, timeout=10):
        """Sends a command and waits until the fixture says it was carried out."""
        since = self.mark()
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()
        self.wait_event(lambda e: e["event"] == "done" and e["command"] == line, timeout,
                        "the fixture carrying out %r" % line, since)
        return since

    def geometry(self):
        since = self.command("geometry")
        return self.events_since(since, "geometry")[0]

    def pointer(self):
        since = self.command("pointer")
        e = self.events_since(since, "pointer")[0]
        return e["x"], e["y"]

    def text(self):
        e = self.last("text")
        return e["text"] if e else ""

    def clear(self):
        """Empties the entry (and waits for the fixture to show it)."""
        self.command("clear")
        return self.mark()

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
            except OSError:
                pass
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdin.close()
        self.reader.join(timeout=5)
        self.proc.stdout.close()


# ---- the agent ----

class Agent(agent_client.Agent):
    def __init__(self, env=None):
        super().__init__(AGENT, env)


# ---- the test base ----

class DesktopTest(unittest.TestCase):
    """One fixture and one agent for the whole class; more fixtures on demand."""

    @classmethod
    def agent_env(cls):
        return dict(os.environ)

    @classmethod
    def setUpClass(cls):
        if not os.environ.get("DISPLAY"):
            raise RuntimeError("no DISPLAY: run this test inside tools/desktop-session")
        cls.fixture = Fixture()
        try:
            cls.agent = Agent(cls.agent_env())
        except BaseException:
            cls.fixture.close()
            raise

    @classmethod
    def tearDownClass(cls):
        status, err = cls.agent.close()
        cls.fixture.close()
        assert status == 0, "agent exit status %s" % status
        assert err == b"", "agent wrote to standard error: %r" % err

    def start_fixture(self, *args):
        """Another fixture, closed when the test ends."""
        fixture = Fixture(*args)
        self.addCleanup(fixture.close)
        return fixture

    def wait_active(self, pid, timeout=5):
        """Waits until a window of PID owns _NET_ACTIVE_WINDOW; fails otherwise."""
        if not wait_for(lambda: active_pid() == pid, timeout):
            self.fail("pid %s never became active; the active window belongs to pid %s" % (pid, active_pid()))

    def make_active(self, fixture):
        """Brings FIXTURE to the front by itself, without the agent."""
        if active_pid() != fixture.pid:
            fixture.command("present")
        self.wait_active(fixture.pid)

    def windows_of(self, pid):
        return [w for w in self.agent.result("windows")["windows"] if w["pid"] == pid]

    def app_of(self, pid):
        apps = [a for a in self.agent.result("apps")["apps"] if a["pid"] == pid]
        self.assertEqual(len(apps), 1, "apps should list pid %s once: %s" % (pid, apps))
        return apps[0]


def main():
    global AGENT, FIXTURE
    if len(sys.argv) < 3:
        sys.exit("usage: %s AGENT FIXTURE [unittest arguments]" % sys.argv[0])
    AGENT, FIXTURE = sys.argv[1], sys.argv[2]
    unittest.main(module="__main__", argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
