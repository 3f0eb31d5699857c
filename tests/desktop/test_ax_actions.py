"""Acting through accessibility on the GTK3 fixture: presses, focus, values,
the password field's protection, and stale paths."""
import unittest

from harness import EVENT_WAIT, DesktopTest, main, wait_for


class ActionTest(DesktopTest):
    def fields(self):
        plain, secret = [e for e in self.tree() if e["role"] == "AXTextField"]
        return plain, secret

    def focus(self, element, secure):
        answer = self.agent.result("ax_focus", pid=self.fixture.pid, path=element["id"])
        self.assertEqual(answer, {"ok": True})
        info = wait_for(lambda: (lambda f: f if f.get("role") == "AXTextField" and f["secure"] == secure else None)(
            self.agent.result("focus_info", pid=self.fixture.pid)), EVENT_WAIT)
        self.assertTrue(info, "focus did not reach the field")
        return info

    def test_press_by_path_changes_the_label(self):
        before = self.status()
        button = self.find(self.tree(), "AXButton", "Press me")
        self.assertEqual(self.agent.result("ax_press", pid=self.fixture.pid, path=button["id"]), {"ok": True})
        self.assertTrue(wait_for(lambda: self.status() != before, EVENT_WAIT))
        # A label offers no press: the action is refused, nothing happens.
        label = self.find(self.tree(), "AXStaticText", "Name")
        self.assertEqual(self.agent.result("ax_press", pid=self.fixture.pid, path=label["id"]), {"ok": False})

    def test_press_at_the_buttons_label_presses_the_button(self):
        before = self.status()
        f = self.find(self.tree(), "AXButton", "Press me")["frame"]
        answer = self.agent.result("ax_press_at", pid=self.fixture.pid, x=f["x"] + f["w"] / 2, y=f["y"] + f["h"] / 2)
        self.assertEqual(answer, {"ok": True, "role": "AXButton"})
        self.assertTrue(wait_for(lambda: self.status() != before, EVENT_WAIT))
        # Outside every window nothing is pressed.
        self.assertEqual(self.agent.result("ax_press_at", pid=self.fixture.pid, x=1270, y=790), {"ok": False})

    def test_set_fills_the_entry(self):
        plain, _ = self.fields()
        answer = self.agent.result("ax_set", pid=self.fixture.pid, path=plain["id"], value="Grüße, 世界")
        self.assertEqual(answer, {"ok": True})
        self.assertEqual(self.fields()[0].get("value"), "Grüße, 世界")

    def test_set_on_the_password_field_is_refused_and_it_keeps_its_text(self):
        _, secret = self.fields()
        kept = self.fixture.password()
        answer = self.agent.request("ax_set", pid=self.fixture.pid, path=secret["id"], value="overwritten")
        self.assertEqual((answer.get("code"), answer.get("error")), ("secure_field", "That is a password field"))
        self.assertEqual(self.fixture.password(), kept)

    def test_focus_info_reports_the_focused_entry(self):
        plain, _ = self.fields()
        info = self.focus(plain, secure=False)
        self.assertEqual(info, {"role": "AXTextField", "subrole": "", "secure": False, "secureInput": False})
        everywhere = self.agent.result("focus_info")
        self.assertEqual(everywhere["role"], "AXTextField")
        self.assertFalse(everywhere["secure"])

    def test_type_into_the_focused_password_field_is_refused(self):
        _, secret = self.fields()
        kept = self.fixture.password()
        info = self.focus(secret, secure=True)
        self.assertEqual(info["subrole"], "AXSecureTextField")
        answer = self.agent.request("type", text="leak", pid=self.fixture.pid)
        self.assertEqual(answer.get("code"), "secure_field", answer)
        answer = self.agent.request("type", text="leak")
        self.assertEqual(answer.get("code"), "secure_field", answer)
        self.assertEqual(self.fixture.password(), kept)

    def test_focus_then_type_fills_the_entry(self):
        if not self.can_post_events():
            raise unittest.SkipTest("this backend posts no input events")
        plain, _ = self.fields()
        self.agent.result("ax_set", pid=self.fixture.pid, path=plain["id"], value="")
        self.focus(plain, secure=False)
        self.assertEqual(self.agent.result("type", text="typed 42", pid=self.fixture.pid), {"ok": True})
        self.assertTrue(wait_for(lambda: self.fields()[0].get("value") == "typed 42", EVENT_WAIT), self.fields()[0])

    def test_stale_path_after_the_tree_changed(self):
        elements = self.tree()
        doomed = self.find(elements, "AXStaticText", "Also temporary")
        self.assertEqual(self.agent.result("ax_info", pid=self.fixture.pid, path=doomed["id"])["role"], "AXStaticText")
        remove = self.find(elements, "AXButton", "Remove")
        self.assertEqual(self.agent.result("ax_press", pid=self.fixture.pid, path=remove["id"]), {"ok": True})
        self.assertTrue(wait_for(lambda: all(e.get("title") != "Also temporary" for e in self.tree()), EVENT_WAIT))
        answer = self.agent.request("ax_press", pid=self.fixture.pid, path=doomed["id"])
        self.assertEqual(answer.get("code"), "stale_element", answer)


if __name__ == "__main__":
    main()
