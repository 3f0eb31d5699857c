"""The window list, hit-testing, the display and permissions against a real
X11 desktop, checked against what the X server and the fixture say."""
import harness
from harness import EVENT_WAIT, DesktopTest, centre


class WindowsTest(DesktopTest):
    def fixture_window(self):
        windows = self.windows_of(self.fixture.pid)
        self.assertEqual(len(windows), 1, "the fixture has one window; the list has %s" % windows)
        return windows[0]

    def expected_frame(self, xid):
        """The client window grown by the window manager's frame extents."""
        client = self.desktop.client_geometry(xid)
        left, right, top, bottom = self.desktop.frame_extents(xid)
        return {"x": client["x"] - left, "y": client["y"] - top,
                "w": client["w"] + left + right, "h": client["h"] + top + bottom}

    def test_lists_the_fixture_with_title_pid_and_framed_bounds(self):
        w = self.fixture_window()
        self.assertEqual(w["title"], self.fixture.info["title"])
        self.assertEqual(w["layer"], 0)
        self.assertIsInstance(w["id"], int)
        self.assertGreater(w["id"], 0)
        client = self.desktop.client_geometry(self.fixture.window)
        b = w["bounds"]
        self.assertTrue(b["x"] <= client["x"] and b["y"] <= client["y"]
                        and b["x"] + b["w"] >= client["x"] + client["w"]
                        and b["y"] + b["h"] >= client["y"] + client["h"],
                        "bounds %s do not contain the client window %s" % (b, client))
        # The bounds are the frame: the client plus _NET_FRAME_EXTENTS.
        self.assertEqual(b, self.expected_frame(self.fixture.window))
        # GDK's own view of its frame agrees.
        self.assertEqual(b, self.fixture.geometry()["frame"])

    def test_bounds_follow_a_second_window_where_it_was_put(self):
        other = self.start_fixture("--title", "Second Fixture", "--position", "700,100", "--size", "400x500")
        windows = self.windows_of(other.pid)
        self.assertEqual([w["title"] for w in windows], ["Second Fixture"])
        self.assertEqual(windows[0]["bounds"], self.expected_frame(other.window))
        self.assertEqual(windows[0]["bounds"], other.geometry()["frame"])

    def test_windows_are_listed_front_to_back(self):
        other = self.start_fixture("--title", "Front Fixture", "--position", "300,150")
        listed = self.agent.result("windows")["windows"]
        mine = {self.fixture.pid: self.fixture.window, other.pid: other.window}
        order = [w["pid"] for w in listed if w["pid"] in mine]
        top_down = [xid for xid in reversed(self.desktop.stacking()) if xid in mine.values()]
        expected = [pid for xid in top_down for pid, w in mine.items() if w == xid]
        self.assertEqual(order, expected, "the window list's order is not the stacking order, top first")
        self.assertEqual(len(order), 2)

    def test_at_finds_the_fixture_by_its_client_area_and_its_title_bar(self):
        w = self.fixture_window()
        x, y = centre(self.fixture.geometry()["window"])
        found = self.agent.result("at", x=x, y=y)
        self.assertEqual(found.get("pid"), self.fixture.pid, found)
        self.assertEqual(found.get("windowId"), w["id"])
        self.assertEqual(found.get("bundleId"), w["bundleId"])
        self.assertEqual(found.get("app"), w["app"])
        # The title bar is part of the window's frame.
        top = self.expected_frame(self.fixture.window)["y"]
        title_bar = self.agent.result("at", x=x, y=top + 2)
        self.assertEqual(title_bar.get("pid"), self.fixture.pid, title_bar)

    def test_at_finds_a_popup_that_the_window_list_leaves_out(self):
        since = self.fixture.command("popup 900 700")
        popup = self.fixture.wait_event(lambda e: e["event"] == "popup", EVENT_WAIT, "the popup on screen", since)
        try:
            found = self.agent.result("at", x=960, y=740)
            self.assertEqual((found.get("pid"), found.get("windowId")), (self.fixture.pid, popup["window"]), found)
            # the list holds layer-0 windows only
            self.assertEqual([w["title"] for w in self.windows_of(self.fixture.pid)], [self.fixture.info["title"]])
        finally:
            self.fixture.command("popdown")
        self.assertEqual(self.agent.result("at", x=960, y=740), {})

    def test_at_a_point_without_windows_is_empty(self):
        width, height = self.desktop.root_size()
        self.assertEqual(self.agent.result("at", x=width - 3, y=height - 3), {})
        self.assertEqual(self.agent.result("at", x=-50, y=-50), {})

    def test_accessibility_frames_match_the_fixture_down_to_its_deepest_label(self):
        widgets = self.fixture.geometry()["widgets"]
        elements = self.agent.result("ax_tree", pid=self.fixture.pid, depth=64, max=400)["elements"]

        def element(role, title):
            found = [e for e in elements if e["role"] == role and e.get("title") == title]
            self.assertEqual(len(found), 1, "%s %r in the tree: %s" % (role, title, found))
            return found[0]
        for role, title, widget in [("AXButton", "Press me", "button"), ("AXCheckBox", "Remember me", "check"),
                                    ("AXStaticText", "Deepest", "deepest")]:
            with self.subTest(title=title):
                self.assertEqual(element(role, title).get("frame"), widgets[widget])
        # the label sits under the whole nest of boxes
        self.assertGreater(element("AXStaticText", "Deepest")["id"].count("."), 30)

    def test_display_is_the_screen(self):
        width, height = self.desktop.root_size()
        self.assertEqual(self.agent.result("display"), {"x": 0, "y": 0, "w": width, "h": height})

    def test_permissions_report_screen_access(self):
        self.assertIs(self.agent.result("permissions")["screen"], True)


if __name__ == "__main__":
    harness.main()
