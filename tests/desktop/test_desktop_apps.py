"""Running applications, the frontmost one, activation and launching by
desktop-file id on a real X11 desktop. _NET_ACTIVE_WINDOW (read with xprop)
is the independent witness of which application is in front."""
import json
import os
import shutil
import signal
import subprocess
import tempfile

import harness
from harness import EVENT_WAIT, START_WAIT, DesktopTest, wait_for


class AppsTest(DesktopTest):
    @classmethod
    def setUpClass(cls):
        # Desktop files the agent can launch: its XDG_DATA_HOME is ours.
        cls.data_home = tempfile.mkdtemp(prefix="desktop-apps-")
        os.makedirs(os.path.join(cls.data_home, "applications"))
        try:
            super().setUpClass()
        except BaseException:
            shutil.rmtree(cls.data_home, ignore_errors=True)
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            super().tearDownClass()
        finally:
            shutil.rmtree(cls.data_home, ignore_errors=True)

    def agent_env(self):
        return dict(self.desktop.env, XDG_DATA_HOME=self.data_home)

    def assert_active_agrees_with_the_desktop(self):
        """frontmost and every app's "active" name the owner of _NET_ACTIVE_WINDOW."""
        owner = self.desktop.active_pid()
        self.assertIsNotNone(owner, "no window is active")
        front = self.agent.result("frontmost")
        self.assertEqual(front.get("pid"), owner, "frontmost %s, but pid %s owns the active window" % (front, owner))
        self.assertIs(front.get("active"), True)
        apps = self.agent.result("apps")["apps"]
        flagged = sorted(a["pid"] for a in apps if a["active"])
        self.assertEqual(flagged, [owner], "apps flagged active: %s" % apps)

    def test_lists_the_fixture_with_its_application_id(self):
        app = self.app_of(self.fixture.pid)
        # GtkApplication puts its id on the window (_GTK_APPLICATION_ID).
        self.assertEqual(app["bundleId"], self.fixture.info["appId"])
        self.assertIsInstance(app["name"], str)
        self.assertIs(app["hidden"], False)
        window, = self.windows_of(self.fixture.pid)
        self.assertEqual(window["bundleId"], app["bundleId"])
        self.assertEqual(window["app"], app["name"])

    def test_an_app_without_application_id_is_named_by_its_window_class(self):
        plain = self.start_fixture("--app-id", "", "--title", "Plain Fixture", "--position", "650,80")
        app = self.app_of(plain.pid)
        classes = self.desktop.wm_class(plain.window)
        self.assertIsNotNone(classes, "the fixture's window has no WM_CLASS")
        self.assertEqual(app["bundleId"], classes[1])

    def test_frontmost_and_active_follow_the_active_window(self):
        self.make_active(self.fixture)
        self.assert_active_agrees_with_the_desktop()
        other = self.start_fixture("--title", "Second Fixture", "--position", "700,100")
        self.make_active(other)
        self.assert_active_agrees_with_the_desktop()
        self.assertEqual(self.agent.result("frontmost")["pid"], other.pid)

    def test_activate_brings_each_fixture_to_the_front(self):
        other = self.start_fixture("--title", "Second Fixture", "--position", "700,100")
        self.make_active(other)
        since = self.fixture.mark()
        self.assertEqual(self.agent.result("activate", pid=self.fixture.pid), {"ok": True})
        self.wait_active(self.fixture.pid)
        self.fixture.wait_event(lambda e: e["event"] == "active" and e["active"], EVENT_WAIT,
                                "the first fixture hearing it became active", since)
        self.assert_active_agrees_with_the_desktop()
        # and back again
        self.assertEqual(self.agent.result("activate", pid=other.pid), {"ok": True})
        self.wait_active(other.pid)
        self.assert_active_agrees_with_the_desktop()

    def test_a_minimised_app_is_hidden_and_activate_restores_it(self):
        other = self.start_fixture("--title", "Second Fixture", "--position", "700,100")
        other.command("iconify")
        other.wait_event(lambda e: e["event"] == "state" and e["iconified"], EVENT_WAIT, "the fixture minimised")
        self.assertTrue(wait_for(lambda: self.app_of(other.pid)["hidden"] is True, EVENT_WAIT),
                        "a minimised app is not hidden: %s" % self.app_of(other.pid))
        self.assertEqual(self.windows_of(other.pid), [], "a minimised window is not on screen")
        self.assertIs(self.app_of(self.fixture.pid)["hidden"], False)
        since = other.mark()
        self.assertEqual(self.agent.result("activate", pid=other.pid), {"ok": True})
        other.wait_event(lambda e: e["event"] == "state" and not e["iconified"], EVENT_WAIT,
                         "the minimised fixture restored by activate", since)
        self.wait_active(other.pid)
        self.assertIs(self.app_of(other.pid)["hidden"], False)
        self.assertEqual([w["title"] for w in self.windows_of(other.pid)], ["Second Fixture"])

    def test_activate_without_an_app_is_not_running(self):
        gone = subprocess.Popen(["true"])
        gone.wait()
        # this test process has no windows; the other has ended
        for pid in (os.getpid(), gone.pid):
            with self.subTest(pid=pid):
                answer = self.agent.request("activate", pid=pid)
                self.assertEqual((answer.get("code"), answer.get("error")),
                                 ("not_running", "That app is not running"), answer)

    def write_desktop_file(self, desktop_id, title):
        """A desktop file whose Exec starts a fixture that writes its events to a file."""
        out = os.path.join(self.data_home, desktop_id + ".out")
        script = os.path.join(self.data_home, desktop_id + ".sh")
        with open(script, "w") as f:
            f.write('#!/bin/sh\nexec "%s" --title "%s" --app-id "%s" --position 400,200 >"%s" 2>&1\n'
                    % (harness.FIXTURE, title, desktop_id, out))
        os.chmod(script, 0o755)
        with open(os.path.join(self.data_home, "applications", desktop_id + ".desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=%s\nExec=%s\nTerminal=false\n" % (title, script))
        return out

    def launched_pid(self, out, timeout):
        def ready():
            try:
                with open(out) as f:
                    for line in f:
                        if '"event":"ready"' in line:
                            return json.loads(line)["pid"]
            except OSError:
                return None
        return wait_for(ready, timeout)

    def stop(self, pid):
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass

    def test_launch_starts_a_desktop_file(self):
        out = self.write_desktop_file("org.example.LaunchedFixture", "Launched Fixture")
        answer = self.agent.request("launch", timeout=EVENT_WAIT, bundleId="org.example.LaunchedFixture", background=False)
        # a refused launch is not waited for long
        pid = self.launched_pid(out, START_WAIT if "result" in answer else 1)
        if pid:
            self.addCleanup(self.stop, pid)
        self.assertEqual(answer.get("result"), {"ok": True}, answer)
        self.assertTrue(pid, "the launched fixture never showed its window")
        windows = wait_for(lambda: self.windows_of(pid), EVENT_WAIT)
        self.assertEqual([w["title"] for w in windows], ["Launched Fixture"])
        self.assertEqual(self.app_of(pid)["bundleId"], "org.example.LaunchedFixture")

    def test_launch_of_an_unknown_id_is_open_failed(self):
        for bundle in ("org.example.NoSuchApp", "no such app"):
            with self.subTest(bundleId=bundle):
                answer = self.agent.request("launch", timeout=EVENT_WAIT, bundleId=bundle)
                self.assertEqual((answer.get("code"), answer.get("error")),
                                 ("open_failed", "Could not open that app"), answer)


if __name__ == "__main__":
    harness.main()
