"""GTK 4 programs from Debian (gtk-4-examples), driven through the agent and
judged by what the accessibility bus shows an observer of its own (pyatspi in
a separate process, atspi_observer.py): the whole tree of the widget factory,
presses on its toggle and check buttons, values set in its entry, and the
password entries of the demo, guarded like any password field."""
from harness import EVENT_WAIT, DesktopTest, Program, centre, main, wait_for

SECRET = "Kx7#vQ2!mW9"  # what the test puts in the password entries itself


class Gtk4Test(DesktopTest):
    """A fresh desktop per class, the program per test (started in setUp)."""

    argv = None
    elements = 1  # how many elements the observer must see before a test starts

    @staticmethod
    def start_applications(holder):
        pass

    def setUp(self):
        super().setUp()
        self.program = Program(self.desktop, self.argv, elements=self.elements)
        self.addCleanup(self.program.close)
        self.pid = self.program.pid

    def tree(self, **args):
        args.setdefault("depth", 100)
        args.setdefault("max", 100000)
        return self.agent.result("ax_tree", pid=self.pid, **args)["elements"]

    def pick(self, elements, what, accept):
        """The first element of the agent's tree that ACCEPT takes, given it
        and the observer's element at the same path."""
        seen = {e["path"]: e for e in self.program.tree()}
        for e in elements:
            if e["id"] in seen and accept(e, seen[e["id"]]):
                return e, seen[e["id"]]
        self.fail("no %s in the agent's tree of %d elements (observer: %d)" % (what, len(elements), len(seen)))


class WidgetFactoryTest(Gtk4Test):
    argv = ["gtk4-widget-factory"]
    elements = 300  # of about 950: its first page is up

    def test_tree_is_whole_and_marks_the_password_entry(self):
        observed = self.program.tree()
        elements = self.tree()
        self.assertGreater(len(observed), 300)
        # The agent's count of elements is the observer's, give or take
        # what came and went between the two reads.
        self.assertLess(abs(len(elements) - len(observed)), max(10, len(observed) // 20),
                        "agent %d elements, observer %d; the agent's first: %s"
                        % (len(elements), len(observed), elements[:5]))
        passwords = [o["path"] for o in observed if o["role"] == "password text"]
        self.assertEqual(len(passwords), 1)
        secure = [e for e in elements if e.get("secure")]
        self.assertEqual([e["id"] for e in secure], passwords, secure)
        self.assertEqual(secure[0]["role"], "AXTextField")
        self.assertNotIn("value", secure[0])
        info = self.agent.result("ax_info", pid=self.pid, path=passwords[0])
        self.assertEqual(info, {"role": "AXTextField", "secure": True, "secureInput": False})

    def toggle(self, elements):
        return self.pick(elements, "enabled toggle button that is up",
                         lambda e, o: e["role"] == "AXButton" and e.get("title") == "togglebutton"
                         and "sensitive" in o["states"] and "pressed" not in o["states"])

    def test_press_toggles_a_toggle_button_down_and_up(self):
        button, _ = self.toggle(self.tree())
        self.assertIn("AXPress", button.get("actions", []), button)
        for down in (True, False):
            self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=button["id"]), {"ok": True})
            self.program.wait_element(button["id"], lambda o: ("pressed" in o["states"]) == down, EVENT_WAIT,
                                      "the toggle button after a press (%s expected)" % ("down" if down else "up"))

    def test_a_toggle_found_by_title_is_pressed_only_through_its_own_path(self):
        button, _ = self.toggle(self.tree())
        found = self.agent.result("ax_find", pid=self.pid, role="AXButton", title="TOGGLEbutton", max=100)
        self.assertIn(button["id"], [e["id"] for e in found["elements"]], found)
        self.assertTrue(all(e["role"] == "AXButton" and "togglebutton" in e["title"].lower()
                            for e in found["elements"]), found)
        # An expectation the element does not meet: refused, nothing pressed.
        refused = self.agent.request("ax_press", pid=self.pid, path=button["id"],
                                     expect={"role": "AXCheckBox", "title": "togglebutton"})
        self.assertEqual(refused["code"], "stale_element", refused)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=button["id"],
                                           expect={"role": "AXButton", "title": "togglebutton"}), {"ok": True})
        self.program.wait_element(button["id"], lambda o: "pressed" in o["states"], EVENT_WAIT,
                                  "the toggle button after the press that met its expectation")
        # The refused press did not press it first: one press, down; a second, up.
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=button["id"]), {"ok": True})
        self.program.wait_element(button["id"], lambda o: "pressed" not in o["states"], EVENT_WAIT,
                                  "the toggle button up again after a second press")

    def test_press_at_the_toggle_buttons_centre_presses_it(self):
        button, _ = self.toggle(self.tree())
        x, y = centre(button["frame"])
        answer = self.agent.result("ax_press_at", pid=self.pid, x=x, y=y)
        self.assertEqual(answer, {"ok": True, "role": "AXButton"}, "at %s of %s" % ((x, y), button))
        self.program.wait_element(button["id"], lambda o: "pressed" in o["states"], EVENT_WAIT,
                                  "the toggle button under (%g, %g) after ax_press_at" % (x, y))

    def test_press_checks_a_check_button(self):
        box, _ = self.pick(self.tree(), "enabled check button that is not checked",
                           lambda e, o: e["role"] == "AXCheckBox" and e.get("title") == "checkbutton"
                           and "sensitive" in o["states"] and "checked" not in o["states"]
                           and "indeterminate" not in o["states"])
        self.assertEqual(box.get("value"), 0, box)
        self.assertIn("AXPress", box.get("actions", []), box)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=box["id"]), {"ok": True})
        self.program.wait_element(box["id"], lambda o: "checked" in o["states"], EVENT_WAIT,
                                  "the check button after a press")

    def test_set_fills_an_entry(self):
        entry, seen = self.pick(self.tree(), "enabled entry",
                                lambda e, o: e["role"] == "AXTextField" and not e.get("secure")
                                and o["role"] == "text" and "editable" in o["states"]
                                and "sensitive" in o["states"])
        for value in ("Grüße, 世界 42", ""):
            answer = self.agent.result("ax_set", pid=self.pid, path=entry["id"], value=value)
            self.assertEqual(answer, {"ok": True}, "ax_set %r on %s (observer: %s)" % (value, entry, seen))
            self.program.wait_element(entry["id"], lambda o: o.get("text") == value, EVENT_WAIT,
                                      "the entry after ax_set %r" % value)


class PasswordEntryTest(Gtk4Test):
    """gtk4-demo's password demo: two password entries, and a Done button
    that becomes sensitive when both hold the same text and then closes the
    window."""

    argv = ["gtk4-demo", "--run=password_entry"]
    elements = 10

    def fields(self):
        elements = self.tree()
        observed = {o["path"]: o for o in self.program.tree()}
        fields = [e for e in elements if observed.get(e["id"], {}).get("role") == "password text"]
        self.assertEqual(len(fields), 2, "password entries in the agent's tree: %s" % elements)
        return elements, fields

    def test_password_entries_are_secure_everywhere(self):
        elements, fields = self.fields()
        for f in fields:
            self.assertTrue(f.get("secure"), f)
            self.assertNotIn("value", f)
            self.assertEqual(self.agent.result("ax_info", pid=self.pid, path=f["id"]),
                             {"role": "AXTextField", "secure": True, "secureInput": False})
        # gtk4-demo gives the first entry the focus itself.
        target = fields[0]
        self.program.wait_element(target["id"], lambda o: "focused" in o["states"], EVENT_WAIT,
                                  "the first password entry, focused from the start")
        for args in ({"pid": self.pid}, {}):
            answer = self.agent.request("type", text=SECRET, **args)
            self.assertEqual((answer.get("code"), answer.get("error")), ("secure_field", "A password field has focus"),
                             answer)
        answer = self.agent.request("ax_set", pid=self.pid, path=target["id"], value=SECRET)
        self.assertEqual((answer.get("code"), answer.get("error")), ("secure_field", "That is a password field"),
                         answer)
        # Nothing reached either field.
        for f in fields:
            self.assertEqual(self.program.element(f["id"])["chars"], 0, f)
        focus = wait_for(lambda: (lambda f: f if f.get("secure") else None)(
            self.agent.result("focus_info", pid=self.pid)), EVENT_WAIT)
        self.assertEqual(focus, {"role": "AXTextField", "subrole": "AXSecureTextField", "secure": True,
                                 "secureInput": False}, self.agent.result("focus_info", pid=self.pid))
        self.assertTrue(self.agent.result("focus_info")["secure"], "system-wide focus_info")
        self.assertNoTrace(SECRET)

    def test_focus_moves_to_the_second_entry(self):
        _, fields = self.fields()
        self.assertEqual(self.agent.result("ax_focus", pid=self.pid, path=fields[1]["id"]), {"ok": True})
        self.program.wait_element(fields[1]["id"], lambda o: "focused" in o["states"], EVENT_WAIT,
                                  "the second password entry after ax_focus")
        focus = wait_for(lambda: (lambda f: f if f.get("secure") else None)(
            self.agent.result("focus_info", pid=self.pid)), EVENT_WAIT)
        self.assertTrue(focus, self.agent.result("focus_info", pid=self.pid))

    def test_secret_typed_elsewhere_never_shows_and_done_closes_the_window(self):
        elements, fields = self.fields()
        for f in fields:
            self.assertTrue(self.desktop.observe("set_text", self.pid, f["id"], SECRET), "observer's SetTextContents")
            self.program.wait_element(f["id"], lambda o: o["chars"] == len(SECRET), EVENT_WAIT,
                                      "the password entry after the observer's SetTextContents")
        done = [e for e in elements if e["role"] == "AXButton" and "Done" in e.get("title", "")]
        self.assertEqual(len(done), 1, elements)
        self.program.wait_element(done[0]["id"], lambda o: "sensitive" in o["states"], EVENT_WAIT,
                                  "Done with both entries filled alike")
        self.agent.result("ax_focus", pid=self.pid, path=fields[0]["id"])
        self.sweep_reads(self.pid, self.tree())
        self.assertNoTrace(SECRET)
        self.assertIn("AXPress", done[0].get("actions", []))
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=done[0]["id"]), {"ok": True})
        gone = wait_for(lambda: not any(o["role"] == "frame" and o["name"] == "Choose a Password"
                                        for o in self.program.tree()), EVENT_WAIT)
        self.assertTrue(gone, "the window is still there after Done was pressed")


if __name__ == "__main__":
    main()
