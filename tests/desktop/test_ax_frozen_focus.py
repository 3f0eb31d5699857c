"""The password guard fails closed. While the application that holds the
focus is stopped (SIGSTOP), the agent cannot tell what has focus there, so
"type" is refused, with the application's pid and without, whether the
focused field is a password field or a plain one; once the application runs
again, its own reports show that nothing arrived. Trees and focus records of a
stopped application say "timedOut"; answers of a running one never carry it.

The GTK fixture reports its fields' texts; ssh-askpass-gnome, a real program
from Debian, prints what its password field holds when Return is pressed."""
import contextlib
import os
import select
import signal
import subprocess
import time

from harness import STALL_WAIT, DesktopTest, main, wait_for

PASSWORD = "hunter2-Zq9"  # what the fixture puts in its password field
ASKPASS = "/usr/lib/openssh/gnome-ssh-askpass"
REFUSED = {"error": "Could not check the focused field", "code": "secure_field"}
BOUND = STALL_WAIT


@contextlib.contextmanager
def stopped(pid):
    os.kill(pid, signal.SIGSTOP)
    try:
        yield
    finally:
        os.kill(pid, signal.SIGCONT)


class GuardTest(DesktopTest):
    def refused(self, **args):
        """Sends "type" and checks it was refused as unknowable, within the bound."""
        start = time.monotonic()
        answer = self.agent.request("type", timeout=BOUND * 2, **args)
        self.assertLess(time.monotonic() - start, BOUND, args)
        answer.pop("id")
        self.assertEqual(answer, REFUSED, (args, "the active window is of pid %s" % self.desktop.active_pid()))

    def answering(self, pid):
        """Waits until the application answers again: a whole tree, no timeout."""
        def whole():
            answer = self.agent.result("ax_tree", timeout=BOUND, pid=pid, depth=1)
            return "timedOut" not in answer and answer["elements"]
        self.assertTrue(wait_for(whole, BOUND))

    def focus_info(self, **args):
        return self.agent.result("focus_info", timeout=BOUND, **args)


class FixtureGuardTest(GuardTest):
    def setUp(self):
        super().setUp()
        self.elements = self.tree(depth=200, max=100000)
        self.password_field = next(e for e in self.elements if e.get("secure"))
        self.entry = next(e for e in self.elements if e["role"] == "AXTextField" and not e.get("secure"))
        self.assertEqual(self.fixture.password(), PASSWORD)

    def focus(self, element, secure):
        pid = self.fixture.pid
        self.assertTrue(self.agent.result("ax_focus", pid=pid, path=element["id"])["ok"])
        self.assertTrue(wait_for(lambda: self.focus_info(pid=pid).get("secure") == secure
                                 and self.focus_info(pid=pid).get("role") == "AXTextField", BOUND))

    def settle(self):
        """Once the fixture runs again (its entry emptied before it stopped): proves that whatever keys reached it
        while stopped have been handled, by typing a marker into the plain
        entry after them (X delivers a client's events in order) and waiting
        for it. Returns the entry's text."""
        self.answering(self.fixture.pid)
        self.focus(self.entry, False)
        self.assertEqual(self.agent.result("type", pid=self.fixture.pid, text="mark"), {"ok": True})
        self.assertTrue(wait_for(lambda: self.fixture.entry().endswith("mark"), BOUND), self.fixture.entry())
        return self.fixture.entry()

    def refused_while_stopped(self, field, secure):
        """Focuses the field, stops the fixture, and checks that typing is
        refused and the focus marked unknown; then that nothing arrived."""
        if not self.can_post_events():
            self.skipTest("no display to post events on")
        self.agent.result("ax_set", pid=self.fixture.pid, path=self.entry["id"], value="")
        # The fixture holds the keyboard focus: its window is the active one.
        self.make_active(self.fixture)
        self.focus(field, secure)
        with stopped(self.fixture.pid):
            self.refused(pid=self.fixture.pid, text="abc")
            self.refused(text="def")
            info = self.focus_info(pid=self.fixture.pid)
            self.assertEqual(info.get("timedOut"), True, info)
            self.assertEqual(self.focus_info().get("timedOut"), True)
        self.assertEqual(self.settle(), "mark")
        self.assertEqual(self.fixture.password(), PASSWORD)

    def test_nothing_is_typed_into_a_stopped_password_field(self):
        self.refused_while_stopped(self.password_field, True)

    def test_nothing_is_typed_into_a_stopped_plain_field(self):
        # The agent cannot know that the field is a plain one: refused too.
        self.refused_while_stopped(self.entry, False)

    def test_a_stopped_application_marks_its_tree(self):
        whole = self.agent.result("ax_tree", pid=self.fixture.pid)
        self.assertEqual(set(whole), {"elements", "truncated"})
        self.assertNotIn("timedOut", self.focus_info(pid=self.fixture.pid))
        with stopped(self.fixture.pid):
            start = time.monotonic()
            answer = self.agent.result("ax_tree", timeout=BOUND * 2, pid=self.fixture.pid)
            self.assertLess(time.monotonic() - start, BOUND)
            self.assertEqual(answer, {"elements": [], "truncated": False, "timedOut": True})
        self.answering(self.fixture.pid)
        self.assertEqual(set(self.agent.result("ax_tree", pid=self.fixture.pid)), {"elements", "truncated"})


class AskpassGuardTest(GuardTest):
    """gnome-ssh-askpass: one password field with focus; Return prints its text."""

    @staticmethod
    def start_applications(holder):
        if not os.path.exists(ASKPASS):
            holder.askpass = None
            return
        env = dict(holder.desktop.env, GNOME_SSH_ASKPASS_NOGRAB="1")
        holder.askpass = holder.desktop.spawn([ASKPASS, "Passphrase for the test key"], env=env,
                                              stdout=subprocess.PIPE)

    def printed(self):
        """What the program printed before it ended, within the bound."""
        out = b""
        deadline = time.monotonic() + BOUND
        while time.monotonic() < deadline:
            if not select.select([self.askpass.stdout], [], [], deadline - time.monotonic())[0]:
                break
            chunk = os.read(self.askpass.stdout.fileno(), 4096)
            if not chunk:
                return out
            out += chunk
        self.fail("the program did not end; it printed %r" % out)

    def test_nothing_is_typed_into_a_stopped_program(self):
        if self.askpass is None:
            self.skipTest(ASKPASS + " is not installed (Debian package ssh-askpass-gnome)")
        if not self.can_post_events():
            self.skipTest("no display to post events on")
        pid = self.askpass.pid
        self.assertTrue(wait_for(lambda: self.focus_info(pid=pid).get("secure"), BOUND),
                        "its password field never had focus")
        self.wait_active(pid, BOUND)
        with stopped(pid):
            self.refused(pid=pid, text="abc")
            self.refused(text="def")
        self.answering(pid)
        self.assertTrue(self.focus_info(pid=pid)["secure"])
        # Return goes through: the program prints its field's text and ends.
        self.assertEqual(self.agent.result("key", pid=pid, code=36), {"ok": True})
        self.assertEqual(self.printed(), b"\n")
        self.assertEqual(self.askpass.wait(timeout=BOUND), 0)


if __name__ == "__main__":
    main()
