"""Shared pieces of the desktop tests and benchmarks.

- Desktop: a private headless desktop started by tools/desktop-session (Xvfb,
  a session bus, the accessibility bus and registry, openbox), with the pids
  and addresses the session exports, and the X properties that say
  independently of the agent what the desktop looks like (xprop, xwininfo).
- Fixture: one process of the GTK3 fixture (tests/desktop/fixture/fixture.c):
  the events it prints, kept in order, and the commands it takes.
- Agent: the agent over pipes, one request at a time; an answer is taken only
  when its id is the request's.
- DesktopTest: one desktop and one fixture per test class (or per test, for
  classes that take the desktop apart), and a fresh agent for every test.

Usage of a test file: test_x.py AGENT FIXTURE [unittest arguments]
"""
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SESSION = os.path.join(HERE, "..", "..", "tools", "desktop-session")
OBSERVER = os.path.join(HERE, "atspi_observer.py")
PYTHON = "/usr/bin/python3"  # Debian's, with the GObject and D-Bus bindings

AGENT = None    # paths given on the command line
FIXTURE = None

# Time bounds. None of them says how fast anything should be: each is at
# least ten times what it measures on a quiet machine, so that a busy one
# stays well inside them.
ANSWER_WAIT = 60   # an ordinary answer (a few milliseconds when quiet)
EVENT_WAIT = 30    # what a request caused showing up (milliseconds when quiet)
STALL_WAIT = 60    # a request that meets an application that does not answer
                   # (one or two 2-second accessibility timeouts when quiet)
LARGE_WAIT = 180   # a tree of a hundred thousand elements, or a stalled
                   # application's many timeouts (up to 10 s when quiet)
START_WAIT = 120   # a desktop or a fixture coming up (about 1 s)


def wait_for(predicate, timeout, step=0.05):
    """Polls until `predicate` returns something true, or the timeout passes;
    its last value."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def pieces(secret, shortest=3):
    """Every piece of SECRET at least SHORTEST characters long."""
    return sorted({secret[i:j] for i in range(len(secret)) for j in range(i + shortest, len(secret) + 1)})


def centre(rect):
    return rect["x"] + rect["w"] / 2, rect["y"] + rect["h"] / 2


def fixture_near(path):
    """The fixture built next to PATH (an agent or a benchmark in the same
    build tree): BUILD/tests/desktop_fixture, looked for upwards from PATH."""
    d = os.path.dirname(os.path.abspath(path))
    while True:
        candidate = os.path.join(d, "tests", "desktop_fixture")
        if os.access(candidate, os.X_OK):
            return candidate
        if os.path.dirname(d) == d:
            raise RuntimeError("no tests/desktop_fixture in the build tree of " + path)
        d = os.path.dirname(d)


# ---- the agent ----

class Agent:
    """The agent over pipes: one request at a time, each answer read back with
    a timeout and matched to its id. An answer to an earlier request that was
    given up on (it came too late) is passed over; any other id is an error."""

    def __init__(self, path=None, env=None):
        self.proc = subprocess.Popen([path or AGENT], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        self.next_id = 0
        self.buffer = b""
        self.last_line = b""  # the last answer as it was written
        self.transcript = []  # every line the agent wrote, as written, passed-over answers too

    def _line(self, deadline, what):
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                raise AssertionError("no answer to %s" % what)
            chunk = os.read(self.proc.stdout.fileno(), 1 << 20)
            if not chunk:
                raise AssertionError("the agent ended (status %s) before answering %s" % (self.proc.wait(), what))
            self.buffer += chunk
        raw, self.buffer = self.buffer.split(b"\n", 1)
        self.transcript.append(raw)
        return raw

    def request(self, op, timeout=ANSWER_WAIT, **args):
        """Sends one request and returns its parsed answer line."""
        self.next_id += 1
        line = json.dumps(dict(args, id=self.next_id, op=op))
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()
        deadline = time.monotonic() + timeout
        what = "%s within %g s" % (line if len(line) < 300 else line[:300] + "...", timeout)
        while True:
            raw = self._line(deadline, what)
            answer = json.loads(raw)
            got = answer.get("id")
            if got == self.next_id:
                self.last_line = raw
                return answer
            if not (type(got) is int and 0 < got < self.next_id):
                raise AssertionError("answer %s to %s" % (raw[:300], what))

    def result(self, op, timeout=ANSWER_WAIT, **args):
        """The "result" of a request that must succeed."""
        answer = self.request(op, timeout, **args)
        if "result" not in answer:
            raise AssertionError("%s %s answered %s" % (op, json.dumps(args), json.dumps(answer)))
        return answer["result"]

    def close(self, timeout=ANSWER_WAIT):
        """Ends the input; the exit status (or why there is none) and standard error."""
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        try:
            status = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            status = "killed: it did not exit at the end of its input"
            self.proc.wait()
        err = self.proc.stderr.read()
        self.proc.stdout.close()
        self.proc.stderr.close()
        return status, err


# ---- the desktop ----

def alive(pid):
    """Whether PID runs (a zombie does not)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class Desktop:
    """A private headless desktop: tools/desktop-session running a command
    that hands back the session's environment and waits for the end of its
    input. Closing that input ends the session, which stops every piece."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="desktop-test-")
        self.procs = []  # what the tests started on this desktop, stopped first
        self.fixtures = []
        env_file = os.path.join(self.dir, "env")
        self.log = open(os.path.join(self.dir, "session.log"), "w+")
        holder = 'env -0 >"$1.tmp" && mv "$1.tmp" "$1" && exec cat >/dev/null'
        self.session = subprocess.Popen([SESSION, "/bin/sh", "-c", holder, "sh", env_file],
                                        stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=self.log)
        try:
            if not wait_for(lambda: os.path.exists(env_file) or self.session.poll() is not None, START_WAIT) \
                    or not os.path.exists(env_file):
                self.log.seek(0)
                raise RuntimeError("the desktop session did not start: " + self.log.read()[-3000:])
            with open(env_file, "rb") as f:
                entries = [e.decode(errors="replace") for e in f.read().split(b"\0") if e]
            self.env = dict(e.split("=", 1) for e in entries if "=" in e)
            self.env["HOME"] = self.dir
        except BaseException:
            self.close()
            raise

    def pid(self, name):
        """A pid the session exports: XVFB, BUS, WM, A11Y_BUS, REGISTRY."""
        return int(self.env["DESKTOP_SESSION_%s_PID" % name])

    def spawn(self, argv, **kw):
        """A process on this desktop, stopped (if still running) when it closes."""
        kw.setdefault("stdin", subprocess.DEVNULL)
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(argv, env=kw.pop("env", self.env), **kw)
        self.procs.append(p)
        return p

    def run(self, argv, **kw):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=ANSWER_WAIT, **kw)

    def accessibility_pids(self):
        """{"bus": pid, "registry": pid} of the accessibility bus daemon and
        registry, as the accessibility bus itself reports them; None for one
        that is not running."""
        pids = {}
        for key, name in (("bus", "org.freedesktop.DBus"), ("registry", "org.a11y.atspi.Registry")):
            out = self.run(["dbus-send", "--bus=" + self.env["DESKTOP_SESSION_A11Y_ADDRESS"], "--print-reply",
                            "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:" + name]).stdout
            pids[key] = int(out.split()[-1]) if "uint32" in out else None
        return pids

    def accessible_pids(self):
        """The pids of the applications the accessibility registry lists."""
        bus = "--bus=" + self.env["DESKTOP_SESSION_A11Y_ADDRESS"]
        out = self.run(["dbus-send", bus, "--print-reply", "--dest=org.a11y.atspi.Registry",
                        "/org/a11y/atspi/accessible/root", "org.a11y.atspi.Accessible.GetChildren"]).stdout
        pids = set()
        for name in re.findall(r'string "(:[0-9.]+)"', out):
            reply = self.run(["dbus-send", bus, "--print-reply", "--dest=org.freedesktop.DBus",
                              "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                              "string:" + name]).stdout
            if "uint32" in reply:
                pids.add(int(reply.split()[-1]))
        return pids

    def observe(self, *args):
        """What the accessibility bus says, read by atspi_observer.py (pyatspi,
        in a process of its own each time): its parsed answer."""
        done = self.run([PYTHON, OBSERVER, *[str(a) for a in args]])
        if done.returncode != 0:
            raise AssertionError("atspi_observer.py %s failed: %s" % (" ".join(map(str, args)), done.stderr[-2000:]))
        return json.loads(done.stdout)

    # X properties, read with x11-utils

    def xprop(self, *args):
        done = self.run(["xprop", *args])
        return done.stdout if done.returncode == 0 else ""

    def active_window(self):
        """The root's _NET_ACTIVE_WINDOW, or None when no window is active."""
        m = re.search(r"window id # (0x[0-9a-f]+)", self.xprop("-root", "_NET_ACTIVE_WINDOW"))
        xid = int(m.group(1), 16) if m else 0
        return xid or None

    def window_pid(self, xid):
        m = re.search(r"= (\d+)", self.xprop("-id", str(xid), "_NET_WM_PID"))
        return int(m.group(1)) if m else None

    def active_pid(self):
        xid = self.active_window()
        return self.window_pid(xid) if xid else None

    def stacking(self):
        """_NET_CLIENT_LIST_STACKING: managed windows, bottom to top."""
        text = self.xprop("-root", "_NET_CLIENT_LIST_STACKING")
        return [int(x, 16) for x in re.findall(r"0x[0-9a-f]+", text)]

    def frame_extents(self, xid):
        """_NET_FRAME_EXTENTS of a window: left, right, top, bottom."""
        m = re.search(r"= (\d+), (\d+), (\d+), (\d+)", self.xprop("-id", str(xid), "_NET_FRAME_EXTENTS"))
        return tuple(int(v) for v in m.groups()) if m else (0, 0, 0, 0)

    def wm_class(self, xid):
        m = re.search(r'= "([^"]*)", "([^"]*)"', self.xprop("-id", str(xid), "WM_CLASS"))
        return m.groups() if m else None

    def client_geometry(self, xid):
        """The client window's rectangle in root coordinates, from xwininfo."""
        out = self.run(["xwininfo", "-id", str(xid)]).stdout
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", out).group(1))  # noqa: E731
        return {"x": field("Absolute upper-left X"), "y": field("Absolute upper-left Y"),
                "w": field("Width"), "h": field("Height")}

    def root_size(self):
        out = self.run(["xwininfo", "-root"]).stdout
        return (int(re.search(r"Width:\s+(\d+)", out).group(1)), int(re.search(r"Height:\s+(\d+)", out).group(1)))

    def close(self):
        for fixture in self.fixtures:
            fixture.close()
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    p.send_signal(signal.SIGCONT)
                    p.kill()
                except ProcessLookupError:
                    pass
            p.wait()
            for stream in (p.stdin, p.stdout, p.stderr):
                if stream:
                    stream.close()
        if self.session.poll() is None:
            try:
                self.session.stdin.close()  # the holder ends, then the session
            except OSError:
                pass
            try:
                self.session.wait(timeout=START_WAIT)
            except subprocess.TimeoutExpired:
                self.session.terminate()
                self.session.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


# ---- the fixture ----

class Fixture:
    """One fixture process: its events (kept in order) and its commands.
    With `accessible`, it is ready once the accessibility registry lists it
    too, so that its tree can be read at once."""

    def __init__(self, desktop, *args, rows=None, accessible=True, path=None):
        argv = [path or FIXTURE or fixture_near(AGENT), *args]
        if rows is not None:
            argv += ["--rows", str(rows)]
        self.proc = desktop.spawn(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        desktop.fixtures.append(self)
        self.events = []
        self.cond = threading.Condition()
        self.ended = False
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        try:
            self.info = self.wait_event(lambda e: e["event"] == "ready", START_WAIT, "the fixture's ready line")
            if accessible and not wait_for(lambda: self.proc.pid in desktop.accessible_pids(), START_WAIT, 0.1):
                raise RuntimeError("the fixture never appeared on the accessibility bus")
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

    def command(self, line, timeout=ANSWER_WAIT):
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

    def field_text(self, entry):
        """The last text the fixture reported for ENTRY ("entry" or "password")."""
        with self.cond:
            for e in reversed(self.events):
                if e["event"] == "text" and e["entry"] == entry:
                    return e["text"]
        return self.info["password"] if entry == "password" else ""

    def text(self):
        return self.field_text("entry")

    def entry(self):
        return self.field_text("entry")

    def password(self):
        return self.field_text("password")

    def clear(self):
        """Empties the entry (and waits for the fixture to show it)."""
        self.command("clear")
        return self.mark()

    def close(self):
        if self.proc.stdout.closed:
            return
        if self.proc.poll() is None:
            try:
                os.kill(self.proc.pid, signal.SIGCONT)
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
            except OSError:
                pass
            try:
                self.proc.wait(timeout=ANSWER_WAIT)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        try:
            self.proc.stdin.close()
        except OSError:
            pass
        self.reader.join(timeout=ANSWER_WAIT)
        self.proc.stdout.close()


# ---- programs from Debian ----

class Program:
    """A program nobody here wrote, on the desktop: the lines it prints, kept
    in order, the lines it is sent, and its elements as the accessibility bus
    shows them to an observer of its own (Desktop.observe). Ready once the
    observer sees at least `elements` elements of it."""

    def __init__(self, desktop, argv, elements=1, env=None):
        self.desktop = desktop
        self.argv = argv
        self.proc = desktop.spawn(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  env=dict(desktop.env, **(env or {})))
        self.pid = self.proc.pid
        self.lines = []
        self.cond = threading.Condition()
        self.ended = False
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        if elements:
            self.wait_tree(lambda t: len(t) >= elements, START_WAIT, "%d elements of %s" % (elements, argv[0]))

    def _read(self):
        for raw in self.proc.stdout:
            with self.cond:
                self.lines.append(raw.decode(errors="replace").rstrip("\n"))
                self.cond.notify_all()
        with self.cond:
            self.ended = True
            self.cond.notify_all()

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def mark(self):
        with self.cond:
            return len(self.lines)

    def wait_line(self, predicate, timeout, what, since=0):
        """The first line from SINCE on that PREDICATE accepts."""
        deadline = time.monotonic() + timeout
        with self.cond:
            i = since
            while True:
                while i < len(self.lines):
                    if predicate(self.lines[i]):
                        return self.lines[i]
                    i += 1
                left = deadline - time.monotonic()
                if left <= 0 or self.ended:
                    break
                self.cond.wait(left)
            seen = self.lines[since:][-8:]
        state = "%s ended" % self.argv[0] if self.ended else "no such line within %g s" % timeout
        raise AssertionError("%s: %s; its last lines: %s" % (what, state, seen))

    def tree(self):
        """Its elements as the observer sees them ([] while it is not listed)."""
        return self.desktop.observe("tree", self.pid) or []

    def element(self, path):
        return self.desktop.observe("element", self.pid, path)

    def wait_tree(self, predicate, timeout, what):
        """Polls the observer's tree until PREDICATE accepts it; that tree."""
        last = []

        def look():
            last[:] = self.tree()
            return predicate(last)
        if not wait_for(look, timeout, 0.2):
            raise AssertionError("%s never showed on the accessibility bus: %d elements seen%s"
                                 % (what, len(last), " (%s ended)" % self.argv[0] if self.proc.poll() is not None
                                    else ""))
        return list(last)

    def wait_element(self, path, predicate, timeout, what):
        """Polls one element until PREDICATE accepts it; fails with the last look."""
        last = [None]

        def look():
            last[0] = self.element(path)
            return last[0] is not None and predicate(last[0])
        if not wait_for(look, timeout, 0.1):
            raise AssertionError("%s: element %s is now %s" % (what, path, json.dumps(last[0], ensure_ascii=False)))
        return last[0]

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.reader.join(timeout=ANSWER_WAIT)
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass


# ---- the test base ----

class DesktopTest(unittest.TestCase):
    """A desktop and the fixture for each test class (for each test when
    `desktop_per_test` is set: tests that take the desktop apart), and a
    fresh agent for every test, which must exit with status 0 and silently
    at the end of its input."""

    desktop_per_test = False

    @classmethod
    def setUpClass(cls):
        if not cls.desktop_per_test:
            cls.start_desktop(cls)

    @classmethod
    def tearDownClass(cls):
        if not cls.desktop_per_test:
            cls.desktop.close()

    @staticmethod
    def start_desktop(holder):
        holder.desktop = Desktop()
        try:
            holder.start_applications(holder)
        except BaseException:
            holder.desktop.close()
            raise

    @staticmethod
    def start_applications(holder):
        """What the tests drive: the fixture, unless a class says otherwise."""
        holder.fixture = Fixture(holder.desktop)

    def agent_env(self):
        return self.desktop.env

    def setUp(self):
        if self.desktop_per_test:
            self.start_desktop(self)
            self.addCleanup(self.desktop.close)
        self.agent = Agent(AGENT, self.agent_env())
        self.addCleanup(self.stop_agent)

    def stop_agent(self):
        status, err = self.agent.close()
        self.assertEqual(status, 0, "agent exit status")
        self.assertEqual(err, b"", "the agent wrote to standard error")

    def start_fixture(self, *args, **kw):
        """Another fixture, closed when the test ends."""
        fixture = Fixture(self.desktop, *args, **kw)
        self.addCleanup(fixture.close)
        return fixture

    # what the desktop says, not the agent

    def wait_active(self, pid, timeout=ANSWER_WAIT):
        """Waits until a window of PID owns _NET_ACTIVE_WINDOW; fails otherwise."""
        if not wait_for(lambda: self.desktop.active_pid() == pid, timeout):
            self.fail("pid %s never became active; the active window belongs to pid %s"
                      % (pid, self.desktop.active_pid()))

    def make_active(self, fixture):
        """Brings FIXTURE to the front by itself, without the agent."""
        if self.desktop.active_pid() != fixture.pid:
            fixture.command("present")
        self.wait_active(fixture.pid)

    # what the agent says

    def windows_of(self, pid):
        return [w for w in self.agent.result("windows")["windows"] if w["pid"] == pid]

    def app_of(self, pid):
        apps = [a for a in self.agent.result("apps")["apps"] if a["pid"] == pid]
        self.assertEqual(len(apps), 1, "apps should list pid %s once: %s" % (pid, apps))
        return apps[0]

    def tree(self, **args):
        return self.agent.result("ax_tree", pid=self.fixture.pid, **args)["elements"]

    def bounded_sweep(self, requests, seconds=STALL_WAIT):
        """Each (op, args) once, each answered well-formed within `seconds`;
        the answers by op."""
        answers = {}
        for op, args in requests:
            start = time.monotonic()
            answer = self.agent.request(op, timeout=seconds * 2, **args)
            self.assertLess(time.monotonic() - start, seconds, (op, args))
            self.assertTrue("result" in answer or isinstance(answer.get("code"), str), answer)
            answers.setdefault(op, []).append(answer)
        return answers

    def find(self, elements, role, title=None):
        for e in elements:
            if e["role"] == role and (title is None or e.get("title") == title):
                return e
        self.fail("no %s %r in the tree" % (role, title))

    def status(self):
        """The text of the label the button changes."""
        for e in self.tree():
            if e["role"] == "AXStaticText" and e.get("title", "").split(" ")[0] in ("Not", "Pressed"):
                return e["title"]
        self.fail("no status label")

    def sweep_reads(self, pid, elements, limit=300):
        """Every operation that reads something of PID, once: trees at several
        limits, ax_info of its first LIMIT elements, the focus, what is at the
        centre of each secure element, the window and application lists."""
        for depth, most in ((1, 3), (4, 10), (8, 300), (100, 100000)):
            self.agent.request("ax_tree", pid=pid, depth=depth, max=most)
        for e in elements[:limit]:
            self.agent.request("ax_info", pid=pid, path=e["id"])
        for e in elements:
            if e.get("secure") and "frame" in e:
                x, y = centre(e["frame"])
                self.agent.request("at", x=x, y=y)
        for op, args in (("focus_info", {}), ("focus_info", {"pid": pid}), ("windows", {}), ("apps", {}),
                         ("frontmost", {})):
            self.agent.request(op, **args)

    def assertNoTrace(self, secret):
        """No line the agent wrote holds SECRET or a piece of it of three
        characters or more."""
        self.assertGreater(len(self.agent.transcript), 0)
        for raw in self.agent.transcript:
            line = raw.decode("utf-8", errors="replace")
            for piece in pieces(secret):
                self.assertNotIn(piece, line, "an answer line carries a piece of the secret")

    def can_post_events(self):
        return self.agent.result("display").get("w", 0) > 0


def main():
    global AGENT, FIXTURE
    if len(sys.argv) < 3:
        sys.exit("usage: %s AGENT FIXTURE [unittest arguments]" % sys.argv[0])
    AGENT, FIXTURE = sys.argv[1], sys.argv[2]
    unittest.main(module="__main__", argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
