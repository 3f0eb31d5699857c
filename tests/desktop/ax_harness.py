"""A private headless desktop (Xvfb, session bus, accessibility bus, openbox),
the GTK3 accessibility fixture, and the agent over pipes, for the
accessibility desktop tests. Everything is torn down by the pids it saved."""
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from agent_client import Agent, wait_for  # noqa: F401  (the tests import them from here)

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"  # Debian's, with GTK's introspection bindings


class Desktop:
    def __init__(self):
        self.pids = []
        self.procs = []
        self.dir = tempfile.mkdtemp(prefix="ax-desktop-")
        try:
            self.start()
        except BaseException:
            self.close()
            raise

    def start(self):
        self.env = {k: v for k, v in os.environ.items() if k not in ("DBUS_SESSION_BUS_ADDRESS", "NO_AT_BRIDGE")}
        self.env.update(LC_ALL="C", XDG_RUNTIME_DIR=self.dir, HOME=self.dir)
        # Xvfb picks a free display itself and names it on the pipe.
        rfd, wfd = os.pipe()
        self.xserver = self.spawn(["Xvfb", "-displayfd", str(wfd), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                   pass_fds=(wfd,))
        os.close(wfd)
        with os.fdopen(rfd) as pipe:
            ready, _, _ = select.select([pipe], [], [], 15)
            number = pipe.readline().strip() if ready else ""
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        out = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                             env=self.env, capture_output=True, text=True, timeout=10).stdout.split()
        self.env["DBUS_SESSION_BUS_ADDRESS"] = out[0]
        self.pids.append(int(out[1]))
        self.spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        if not wait_for(lambda: self.has_name("org.a11y.Bus"), 10):
            raise RuntimeError("no accessibility bus")
        rc = os.path.join(self.dir, "rc.xml")
        with open(rc, "w") as f:  # no key bindings: typed keys reach the windows
            f.write('<?xml version="1.0"?><openbox_config xmlns="http://openbox.org/3.4/rc">'
                    "<keyboard></keyboard></openbox_config>")
        log = os.path.join(self.dir, "openbox.log")
        for attempt in range(2):
            with open(log, "w") as out:
                wm = self.spawn(["openbox", "--config-file", rc], stdout=out, stderr=subprocess.STDOUT)
            if wait_for(lambda: self.has_window_manager() or wm.poll() is not None, 20) and wm.poll() is None:
                break
        else:
            with open(log) as f:
                raise RuntimeError("openbox did not start: " + f.read()[-2000:])

    def has_window_manager(self):
        r = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                           capture_output=True, text=True)
        return "window id" in r.stdout

    def has_name(self, name):
        r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                            "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:" + name],
                           env=self.env, capture_output=True, text=True)
        return "boolean true" in r.stdout

    def accessibility_pids(self):
        """{"bus": pid, "registry": pid} of the accessibility bus daemon and
        registry, as the accessibility bus itself reports them; None for one
        that is not running (the registry starts on first use)."""
        r = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                            "org.a11y.Bus.GetAddress"], env=self.env, capture_output=True, text=True)
        address = r.stdout.split('"')[1]
        pids = {}
        for key, name in (("bus", "org.freedesktop.DBus"), ("registry", "org.a11y.atspi.Registry")):
            r = subprocess.run(["dbus-send", "--bus=" + address, "--print-reply", "--dest=org.freedesktop.DBus",
                                "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                "string:" + name], env=self.env, capture_output=True, text=True)
            pids[key] = int(r.stdout.split()[-1]) if "uint32" in r.stdout else None
        return pids

    def spawn(self, argv, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL, **kw)
        self.pids.append(p.pid)
        self.procs.append(p)
        return p

    def close(self):
        for pid in reversed(self.pids):
            try:
                os.kill(pid, signal.SIGCONT)
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        for p in self.procs:
            p.wait()
        for pid in self.pids:
            try:
                os.waitpid(pid, 0)
            except ChildProcessError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)


class Fixture:
    def __init__(self, desktop, rows=16):
        self.state = tempfile.mkdtemp(dir=desktop.dir)
        self.proc = desktop.spawn([PYTHON, os.path.join(HERE, "ax_fixture.py"), self.state, str(rows)])
        self.pid = self.proc.pid
        if not wait_for(lambda: os.path.exists(os.path.join(self.state, "ready")), 20):
            raise RuntimeError("fixture did not show its window")

    def password(self):
        return self.report("password")

    def entry(self):
        return self.report("entry")

    def report(self, name):
        with open(os.path.join(self.state, name)) as f:
            return f.read()


class DesktopTest(unittest.TestCase):
    """One desktop, one fixture and one agent for the whole test class."""

    agent_path = None

    @classmethod
    def setUpClass(cls):
        if not os.path.exists("/usr/libexec/at-spi-bus-launcher") or not shutil.which("Xvfb"):
            raise unittest.SkipTest("no headless desktop tools installed")
        cls.desktop = Desktop()
        try:
            cls.start_applications()
            cls.agent = Agent(cls.agent_path, cls.desktop.env)
        except Exception:
            cls.desktop.close()
            raise

    @classmethod
    def start_applications(cls):
        """What the class drives: the GTK fixture, unless a class says otherwise."""
        cls.fixture = Fixture(cls.desktop)

    @classmethod
    def tearDownClass(cls):
        status, err = cls.agent.close()
        cls.desktop.close()
        assert status == 0, status
        assert err == b"", err

    def tree(self, **args):
        return self.agent.result("ax_tree", pid=self.fixture.pid, **args)["elements"]

    def bounded_sweep(self, requests, seconds=5):
        """Each (op, args) once, each answered well-formed within `seconds`;
        the answers by op."""
        answers = {}
        for op, args in requests:
            start = time.monotonic()
            answer = self.agent.request(op, timeout=30, **args)
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

    def can_post_events(self):
        return self.agent.result("display").get("w", 0) > 0


def main(cls_module):
    import sys
    DesktopTest.agent_path = sys.argv[1]
    unittest.main(module=cls_module, argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
