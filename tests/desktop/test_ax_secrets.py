"""No answer ever carries the text of a password field, nor any piece of it
four characters or longer, nor its bullets: every read operation is swept
with the fixture's password in its field, before and while that field has
focus. Typing and setting values there are refused as documented."""

from harness import EVENT_WAIT, DesktopTest, main, wait_for

PASSWORD = "hunter2-Zq9"  # what the fixture puts in its password field
PIECES = sorted({PASSWORD[i:j] for i in range(len(PASSWORD)) for j in range(i + 4, len(PASSWORD) + 1)})
BULLETS = ("\u2022", "\u25cf", "*" * 4)

TREE_LIMITS = [(depth, limit) for depth in (0, 1, 2, 3, 4, 8, 30, 200) for limit in (1, 3, 10, 300, 100000)]


class SecretsTest(DesktopTest):
    def setUp(self):
        super().setUp()
        self.answers = []  # every answer line of the test, as written
        self.assertEqual(self.fixture.password(), PASSWORD)

    def tearDown(self):
        self.assertEqual(self.fixture.password(), PASSWORD)

    def ask(self, op, **args):
        answer = self.agent.request(op, **args)
        self.answers.append(self.agent.last_line.decode("utf-8"))
        return answer

    def assertNoTrace(self):
        self.assertGreater(len(self.answers), 0)
        for line in self.answers:
            for piece in PIECES + list(BULLETS):
                self.assertNotIn(piece, line)

    def secret(self):
        elements = self.ask("ax_tree", pid=self.fixture.pid, depth=200, max=100000)["result"]["elements"]
        secure = [e for e in elements if e.get("secure")]
        self.assertEqual(len(secure), 1)
        self.assertNotIn("value", secure[0])
        return elements, secure[0]

    def reads(self, elements, secret):
        """Every operation that returns data, over every element and limit."""
        pid = self.fixture.pid
        for depth, limit in TREE_LIMITS:
            self.ask("ax_tree", pid=pid, depth=depth, max=limit)
        for e in elements:
            self.ask("ax_info", pid=pid, path=e["id"])
        for path in (secret["id"], secret["id"] + ".0", secret["id"] + ".0.0"):
            self.ask("ax_info", pid=pid, path=path)
        f = secret["frame"]
        centre = {"x": f["x"] + f["w"] / 2, "y": f["y"] + f["h"] / 2}
        for op, args in (("focus_info", {}), ("focus_info", {"pid": pid}), ("at", centre), ("windows", {}),
                         ("apps", {}), ("frontmost", {}), ("display", {}), ("permissions", {})):
            self.ask(op, **args)
        # Acting on the field reads it too (the role of what was pressed).
        self.assertEqual(set(self.ask("ax_press_at", pid=pid, **centre)["result"]) - {"ok", "role"}, set())

    def test_no_read_carries_the_password(self):
        elements, secret = self.secret()
        self.reads(elements, secret)
        self.assertNoTrace()

    def test_no_read_carries_the_password_while_its_field_has_focus(self):
        elements, secret = self.secret()
        self.assertEqual(self.ask("ax_focus", pid=self.fixture.pid, path=secret["id"])["result"], {"ok": True})
        focused = wait_for(lambda: self.ask("focus_info", pid=self.fixture.pid)["result"].get("secure"), EVENT_WAIT)
        self.assertTrue(focused, "focus did not reach the password field")
        self.assertEqual(self.ask("focus_info", pid=self.fixture.pid)["result"],
                         {"role": "AXTextField", "subrole": "AXSecureTextField", "secure": True, "secureInput": False})
        self.assertEqual(self.ask("ax_info", pid=self.fixture.pid, path=secret["id"])["result"],
                         {"role": "AXTextField", "secure": True, "secureInput": False})
        self.reads(elements, secret)
        # Typing while it has focus, to it or to the whole desktop, is refused
        # before anything is sent; so is setting its value.
        refused = {"error": "A password field has focus", "code": "secure_field"}
        for args in ({"pid": self.fixture.pid}, {}):
            answer = self.ask("type", text=PASSWORD[::-1], **args)
            self.assertEqual({k: answer.get(k) for k in refused}, refused)
        answer = self.ask("ax_set", pid=self.fixture.pid, path=secret["id"], value="x")
        self.assertEqual((answer.get("error"), answer.get("code")), ("That is a password field", "secure_field"))
        self.assertEqual(self.ask("ax_press", pid=self.fixture.pid, path=secret["id"]).keys(), {"id", "result"})
        self.assertEqual(self.ask("ax_focus", pid=self.fixture.pid, path=secret["id"])["result"], {"ok": True})
        self.reads(*self.secret())
        self.assertNoTrace()


if __name__ == "__main__":
    main()
