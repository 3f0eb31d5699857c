"""ax_tree against the GTK3 fixture on a real AT-SPI desktop."""
import json
import subprocess

from harness import EVENT_WAIT, DesktopTest, main, wait_for


class TreeTest(DesktopTest):
    def test_lists_the_controls_with_roles_titles_values_and_actions(self):
        elements = self.tree()
        ids = [e["id"] for e in elements]
        self.assertEqual(len(ids), len(set(ids)))
        self.assertLessEqual(len(elements), 300)
        window = elements[0]
        self.assertEqual((window["id"], window["role"], window.get("title")),
                         ("0", "AXWindow", self.fixture.info["title"]))
        button = self.find(elements, "AXButton", "Press me")
        self.assertIn("AXPress", button["actions"])
        self.find(elements, "AXStaticText", "Name")
        self.assertTrue(self.status().startswith(("Not pressed", "Pressed")))
        fields = [e for e in elements if e["role"] == "AXTextField"]
        self.assertEqual(len(fields), 2)
        self.assertEqual([f.get("secure", False) for f in fields], [False, True])
        check = self.find(elements, "AXCheckBox", "Remember me")
        self.assertIn("AXPress", check["actions"])
        self.assertIs(type(check["value"]), int)
        # Paths name children in order: every id's parent is listed before it.
        seen = set()
        for e in elements:
            parent = e["id"].rpartition(".")[0]
            self.assertTrue(parent == "" or parent in seen, e["id"])
            seen.add(e["id"])

    def test_frames_match_the_x11_geometry(self):
        elements = self.tree()
        frame = elements[0]["frame"]
        title = self.fixture.info["title"]
        info = subprocess.run(["xwininfo", "-name", title], env=self.desktop.env,
                              capture_output=True, text=True).stdout
        geometry = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            geometry[key] = value.strip()
        x, y = int(geometry["Absolute upper-left X"]), int(geometry["Absolute upper-left Y"])
        w, h = int(geometry["Width"]), int(geometry["Height"])
        extents = subprocess.run(["xprop", "-name", title, "_NET_FRAME_EXTENTS"], env=self.desktop.env,
                                 capture_output=True, text=True).stdout
        left, right, top, bottom = (int(v) for v in extents.split("=")[1].split(","))
        self.assertEqual((frame["x"], frame["y"], frame["w"], frame["h"]),
                         (x - left, y - top, w + left + right, h + top + bottom))
        # The agent's own window list agrees, where the backend lists windows.
        for window in self.agent.result("windows")["windows"]:
            if window["pid"] == self.fixture.pid:
                self.assertEqual(window["bounds"], frame)
        # The controls lie inside the window's client area.
        for e in elements[1:]:
            if "frame" in e and e["frame"]["w"] > 0:
                f = e["frame"]
                self.assertGreaterEqual(f["x"], x, e)
                self.assertGreaterEqual(f["y"], y, e)
                self.assertLessEqual(f["x"] + f["w"], x + w, e)

    def test_limits(self):
        windows = self.tree(depth=1)
        self.assertEqual([e["id"] for e in windows], ["0"])
        answer = self.agent.result("ax_tree", pid=self.fixture.pid, max=5)
        self.assertEqual(len(answer["elements"]), 5)
        self.assertTrue(answer["truncated"])
        deep = self.tree(depth=30, max=5000)
        self.assertGreater(len(deep), len(self.tree()))
        self.assertTrue(any(e.get("title") == "Level 11" for e in deep))

    def test_no_trace_of_the_password_in_any_tree(self):
        password = self.fixture.password()
        for args in ({}, {"depth": 30, "max": 5000}, {"depth": 3}):
            text = json.dumps(self.agent.request("ax_tree", pid=self.fixture.pid, **args), ensure_ascii=False)
            self.assertNotIn(password, text)
            self.assertNotIn("\u2022", text)  # not even its bullets, which tell its length
            self.assertNotIn("\u25cf", text)
        secure = [e for e in self.tree() if e.get("secure")]
        self.assertEqual(len(secure), 1)
        self.assertNotIn("value", secure[0])
        info = self.agent.result("ax_info", pid=self.fixture.pid, path=secure[0]["id"])
        self.assertEqual((info["role"], info["secure"]), ("AXTextField", True))

    def test_checkbox_value_follows_its_state(self):
        check = self.find(self.tree(), "AXCheckBox", "Remember me")
        before = check["value"]
        self.assertEqual(self.agent.result("ax_press", pid=self.fixture.pid, path=check["id"]), {"ok": True})
        after = wait_for(lambda: self.find(self.tree(), "AXCheckBox", "Remember me")["value"] != before, EVENT_WAIT)
        self.assertTrue(after)
        self.assertEqual(self.find(self.tree(), "AXCheckBox", "Remember me")["value"], 1 - before)

    def test_unknown_application_gives_an_empty_tree(self):
        self.assertEqual(self.agent.result("ax_tree", pid=999999), {"elements": [], "truncated": False})
        self.assertEqual(self.agent.result("permissions")["accessibility"], True)

    def test_request_permission_turns_accessibility_on(self):
        def enabled(value=None):
            if value is not None:
                subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                "org.freedesktop.DBus.Properties.Set", "string:org.a11y.Status",
                                "string:IsEnabled", "variant:boolean:" + value], env=self.desktop.env,
                               capture_output=True, check=True)
            out = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                                  "org.freedesktop.DBus.Properties.Get", "string:org.a11y.Status",
                                  "string:IsEnabled"], env=self.desktop.env, capture_output=True, text=True).stdout
            return "boolean true" in out

        enabled("false")
        self.assertFalse(enabled())
        self.assertEqual(self.agent.result("request_permission", kind="screen"), {"ok": True})
        self.assertFalse(enabled())
        self.assertEqual(self.agent.result("request_permission", kind="accessibility"), {"ok": True})
        self.assertTrue(enabled())


if __name__ == "__main__":
    main()
