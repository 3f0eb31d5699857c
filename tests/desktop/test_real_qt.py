"""Qt 5 programs from Debian, driven through the agent.

- pinentry-qt, a password prompt driven on its standard input by the Assuan
  protocol: its own output says what was entered ("D <pin>" then "OK") or
  that it was cancelled. Its passphrase field is guarded like any password
  field; the test puts the passphrase there itself, through the observer's
  EditableText, never through the agent.
- featherpad, a text editor: the whole tree, a menu item pressed, its text set.
- Qt 6's designer: the whole tree, a check box and a button of its New Form
  dialog pressed.

Effects are judged by the programs' output and by what the accessibility bus
shows an observer of its own (pyatspi in a separate process,
atspi_observer.py)."""
import os

from harness import EVENT_WAIT, START_WAIT, DesktopTest, Program, main, wait_for

DESIGNER = "/usr/lib/qt6/bin/designer"  # Qt 6 (designer-qt6)
SECRET = "Kx7#vQ2!mW9"  # what the test puts in the passphrase field itself


class QtTest(DesktopTest):
    """A fresh desktop per class, the program per test (started in setUp)."""

    @staticmethod
    def start_applications(holder):
        pass

    def tree(self, **args):
        args.setdefault("depth", 100)
        args.setdefault("max", 100000)
        return self.agent.result("ax_tree", pid=self.pid, **args)["elements"]

    @staticmethod
    def settings(home):
        """An environment in which what a program saves stays with one test."""
        return {"HOME": home, "XDG_CONFIG_HOME": os.path.join(home, ".config")}

    def assertWholeTree(self):
        """The agent's tree has the observer's elements, give or take what
        came and went between the two reads, and the same menus and buttons
        under the same paths."""
        observed = self.program.tree()
        elements = self.tree()
        self.assertGreater(len(observed), 100)
        self.assertLess(abs(len(elements) - len(observed)), max(10, len(observed) // 20),
                        "agent %d elements, observer %d; the agent's first: %s"
                        % (len(elements), len(observed), elements[:5]))
        named = {o["path"]: o["name"] for o in observed if o["role"] in ("menu item", "push button") and o["name"]}
        agents = {e["id"]: e.get("title") for e in elements if e["id"] in named}
        self.assertEqual(agents, named)

    def one(self, elements, what, accept):
        found = [e for e in elements if accept(e)]
        self.assertEqual(len(found), 1, "%s in the agent's tree: %s" % (what, elements))
        return found[0]


class PinentryTest(QtTest):
    def setUp(self):
        super().setUp()
        self.program = Program(self.desktop, ["pinentry-qt"], elements=0)
        self.addCleanup(self.program.close)
        self.pid = self.program.pid
        self.program.wait_line(lambda line: line.startswith("OK"), START_WAIT, "pinentry-qt's greeting")
        for line in ("SETTITLE Unlock the test key", "SETDESC Enter the passphrase of the test key",
                     "SETPROMPT Passphrase:"):
            since = self.program.mark()
            self.program.send(line)
            self.program.wait_line(lambda answer: answer == "OK", START_WAIT, "pinentry-qt's OK to " + line, since)
        self.since = self.program.mark()  # what comes from here on answers GETPIN
        self.program.send("GETPIN")
        observed = self.program.wait_tree(lambda t: any(o["role"] == "password text" for o in t)
                                          and any(o["name"] == "Cancel" for o in t), START_WAIT,
                                          "pinentry-qt's passphrase field and buttons")
        self.field = [o for o in observed if o["role"] == "password text"][0]["path"]

    def button(self, elements, title):
        return self.one(elements, "the %s button" % title, lambda e: e["role"] == "AXButton" and e.get("title") == title)

    def test_passphrase_field_is_secure_everywhere(self):
        elements = self.tree()
        field = self.one(elements, "the secure field", lambda e: e.get("secure"))
        self.assertEqual(field["id"], self.field)
        self.assertEqual(field["role"], "AXTextField")
        self.assertNotIn("value", field)
        self.assertEqual(self.agent.result("ax_info", pid=self.pid, path=field["id"]),
                         {"role": "AXTextField", "secure": True, "secureInput": False})
        self.assertEqual(self.agent.result("ax_focus", pid=self.pid, path=field["id"]), {"ok": True})
        self.program.wait_element(field["id"], lambda o: "focused" in o["states"], EVENT_WAIT,
                                  "the passphrase field after ax_focus")
        for args in ({"pid": self.pid}, {}):
            answer = self.agent.request("type", text=SECRET, **args)
            self.assertEqual((answer.get("code"), answer.get("error")), ("secure_field", "A password field has focus"),
                             answer)
        answer = self.agent.request("ax_set", pid=self.pid, path=field["id"], value=SECRET)
        self.assertEqual((answer.get("code"), answer.get("error")), ("secure_field", "That is a password field"),
                         answer)
        self.assertEqual(self.program.element(field["id"])["chars"], 0, "the field after the refusals")
        focus = wait_for(lambda: (lambda f: f if f.get("secure") else None)(
            self.agent.result("focus_info", pid=self.pid)), EVENT_WAIT)
        self.assertEqual(focus, {"role": "AXTextField", "subrole": "AXSecureTextField", "secure": True,
                                 "secureInput": False}, self.agent.result("focus_info", pid=self.pid))
        self.assertTrue(self.agent.result("focus_info")["secure"], "system-wide focus_info")
        # OK with the field still empty: pinentry-qt hands back an empty pin.
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=self.button(elements, "OK")["id"]),
                         {"ok": True})
        self.program.wait_line(lambda line: line == "OK", EVENT_WAIT, "pinentry-qt's answer to OK", self.since)
        self.assertEqual([line for line in self.program.lines[self.since:] if line.startswith("D ")], [])
        self.assertNoTrace(SECRET)

    def test_ok_hands_back_the_passphrase_the_test_put_there_and_nothing_shows_it(self):
        self.assertTrue(self.desktop.observe("set_text", self.pid, self.field, SECRET), "observer's SetTextContents")
        self.program.wait_element(self.field, lambda o: o["chars"] == len(SECRET), EVENT_WAIT,
                                  "the passphrase field after the observer's SetTextContents")
        elements = self.tree()
        self.agent.result("ax_focus", pid=self.pid, path=self.field)
        self.sweep_reads(self.pid, elements)
        self.assertNoTrace(SECRET)
        ok = self.button(elements, "OK")
        self.assertIn("AXPress", ok.get("actions", []), ok)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=ok["id"]), {"ok": True})
        self.assertEqual(self.program.wait_line(lambda line: line.startswith("D ") or line.startswith("ERR"),
                                                EVENT_WAIT, "pinentry-qt's answer to OK", self.since),
                         "D " + SECRET)
        self.program.wait_line(lambda line: line == "OK", EVENT_WAIT, "pinentry-qt's OK after the pin", self.since)

    def test_cancel_cancels(self):
        elements = self.tree()
        cancel = self.button(elements, "Cancel")
        self.assertIn("AXPress", cancel.get("actions", []), cancel)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=cancel["id"]), {"ok": True})
        line = self.program.wait_line(lambda line: line.startswith("D ") or line.startswith("ERR")
                                      or line == "OK", EVENT_WAIT, "pinentry-qt's answer to Cancel", self.since)
        self.assertTrue(line.startswith("ERR") and "cancel" in line.lower(), line)


class FeatherpadTest(QtTest):
    def setUp(self):
        super().setUp()
        home = os.path.join(self.desktop.dir, "featherpad-home-%s" % self.id().rsplit(".", 1)[1])
        os.makedirs(home)
        self.program = Program(self.desktop, ["featherpad"], elements=100, env=self.settings(home))
        self.addCleanup(self.program.close)
        self.pid = self.program.pid

    def test_tree_is_whole(self):
        self.assertWholeTree()

    def test_press_on_a_menu_item_toggles_it(self):
        observed = self.program.tree()
        item = [o for o in observed if o["role"] == "menu item" and o["name"] == "Line Numbers"]
        self.assertEqual(len(item), 1, observed)
        path, before = item[0]["path"], "checked" in item[0]["states"]
        element = self.one(self.tree(), "Line Numbers", lambda e: e["id"] == path)
        self.assertIn("AXPress", element.get("actions", []), element)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=path), {"ok": True})
        self.program.wait_element(path, lambda o: ("checked" in o["states"]) != before, EVENT_WAIT,
                                  "Line Numbers after a press")

    def test_found_by_title_and_pressed_only_while_it_is_what_was_found(self):
        observed = self.program.tree()
        new = [o for o in observed if o["role"] == "menu item" and o["name"] == "New"]
        self.assertEqual(len(new), 1, observed)
        found = self.agent.result("ax_find", pid=self.pid, role="AXMenuItem", title="new", max=5)
        news = [e for e in found["elements"] if e.get("title") == "New"]
        self.assertEqual([e["id"] for e in news], [new[0]["path"]], found)
        tabs = len([o for o in observed if o["role"] == "page tab"])
        path = news[0]["id"]
        # What is at that path is not a "Close": refused, and nothing opens or closes.
        refused = self.agent.request("ax_press", pid=self.pid, path=path, expect={"title": "Close"})
        self.assertEqual(refused["code"], "stale_element", refused)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=path,
                                           expect={"role": "AXMenuItem", "title": "New"}), {"ok": True})
        self.program.wait_tree(lambda t: len([o for o in t if o["role"] == "page tab"]) == tabs + 1, EVENT_WAIT,
                               "one new tab after New was pressed")

    def test_press_on_new_opens_a_tab(self):
        observed = self.program.tree()
        tabs = len([o for o in observed if o["role"] == "page tab"])
        new = [o for o in observed if o["role"] == "menu item" and o["name"] == "New"]
        self.assertEqual(len(new), 1, observed)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=new[0]["path"]), {"ok": True})
        self.program.wait_tree(lambda t: len([o for o in t if o["role"] == "page tab"]) == tabs + 1, EVENT_WAIT,
                               "a new tab after New was pressed")

    def test_set_fills_the_document(self):
        observed = self.program.tree()
        editor = [o for o in observed if o["role"] == "text" and "multi line" in o["states"]
                  and "showing" in o["states"]]
        self.assertEqual(len(editor), 1, observed)
        path = editor[0]["path"]
        for value in ("Grüße, 世界\nsecond line 42", ""):
            answer = self.agent.result("ax_set", pid=self.pid, path=path, value=value)
            self.assertEqual(answer, {"ok": True}, "ax_set %r on %s" % (value, editor[0]))
            self.program.wait_element(path, lambda o: o.get("text") == value, EVENT_WAIT,
                                      "the document after ax_set %r" % value)


class Qt6DesignerTest(QtTest):
    """Qt 6's designer (designer-qt6), which opens on its New Form dialog."""

    def setUp(self):
        super().setUp()
        home = os.path.join(self.desktop.dir, "designer-home-%s" % self.id().rsplit(".", 1)[1])
        os.makedirs(home)
        self.program = Program(self.desktop, [DESIGNER], elements=1, env=self.settings(home))
        self.addCleanup(self.program.close)
        self.pid = self.program.pid
        self.program.wait_tree(lambda t: any(o["role"] == "push button" and o["name"] == "Create" for o in t)
                               and len(t) > 100, START_WAIT, "designer's main window and New Form dialog")

    def dialog_button(self, role, name):
        observed = self.program.tree()
        dialogs = [o["path"] for o in observed if o["role"] == "dialog" and o["name"] == "New Form"]
        self.assertEqual(len(dialogs), 1, observed)
        found = [o for o in observed if o["path"].startswith(dialogs[0] + ".") and o["role"] == role
                 and o["name"] == name]
        self.assertEqual(len(found), 1, observed)
        return found[0]

    def test_tree_is_whole(self):
        self.assertWholeTree()

    def test_press_on_a_check_box_and_a_button(self):
        box = self.dialog_button("check box", "Show this Dialog on Startup")
        before = "checked" in box["states"]
        element = self.one(self.tree(), "the check box", lambda e: e["id"] == box["path"])
        self.assertEqual(element["role"], "AXCheckBox")
        self.assertEqual(element.get("value"), 1 if before else 0, element)
        self.assertIn("AXPress", element.get("actions", []), element)
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=box["path"]), {"ok": True})
        self.program.wait_element(box["path"], lambda o: ("checked" in o["states"]) != before, EVENT_WAIT,
                                  "the check box after a press")
        close = self.dialog_button("push button", "Close")
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=close["path"]), {"ok": True})
        self.program.wait_tree(lambda t: not any(o["role"] == "dialog" and o["name"] == "New Form" for o in t),
                               EVENT_WAIT, "designer without its New Form dialog after Close was pressed")


if __name__ == "__main__":
    main()
