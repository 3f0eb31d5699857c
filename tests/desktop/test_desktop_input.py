"""Synthetic input on a real X11 desktop: the pointer, clicks, drags, the
wheel, keys with modifiers and Unicode typing. The fixture reports what
reached it, so every check is on the receiving side."""
import time

import harness
from harness import DesktopTest, centre, wait_for

# Typed texts: characters from many scripts, most of them outside any
# keyboard map, astral emoji (two UTF-16 units each) included.
SHORT = "héllo ✓ 😀 Ωµ"
PIECES = ["Hello, world! ", "Καλημέρα κόσμε ", "Привет, мир! ", "你好世界", "こんにちは", "مرحبا بالعالم ",
          "😀🎉👍🏽 ", "«quoted» — “curly” … ¿¡ ", "§©®™ ", "12345 ", "äöüß ", "Ωµπ≈≠ ", "한국어 "]
MIXED = "".join(PIECES * 3)[:200]

# macOS virtual key codes and the X keysyms they stand for.
NAMED_KEYS = [(36, "Return"), (49, "space"), (51, "BackSpace"), (117, "Delete"), (53, "Escape"),
              (123, "Left"), (124, "Right"), (125, "Down"), (126, "Up"), (48, "Tab")]
MODIFIERS = [(["ctrl"], {"control"}), (["shift"], {"shift"}), (["cmd"], {"control"}), (["alt"], {"mod1"}),
             (["ctrl", "shift"], {"control", "shift"})]
WATCHED_STATE = {"shift", "control", "mod1", "mod4"}
# How long an event may take to reach the fixture, and a typed text to be complete.
EVENT_WAIT = harness.EVENT_WAIT
TEXT_WAIT = harness.EVENT_WAIT
# How long the view must stay still to count as no longer scrolling.
QUIET = 1.0


class InputTest(DesktopTest):
    def setUp(self):
        super().setUp()
        # System-wide input goes to the active window: make it the fixture's.
        self.make_active(self.fixture)
        self.geometry = self.fixture.geometry()

    def widget(self, name):
        return self.geometry["widgets"][name]

    def ok(self, op, **args):
        self.assertEqual(self.agent.result(op, **args), {"ok": True})

    def clicks(self):
        e = self.fixture.last("clicked")
        return e["count"] if e else 0

    def wait_clicked(self, count, since):
        return self.fixture.wait_event(lambda e: e["event"] == "clicked" and e["count"] == count, EVENT_WAIT,
                                       "clicked event number %d" % count, since)

    def reset_scroll(self):
        self.fixture.command("scroll 0 0")
        self.geometry = self.fixture.geometry()
        self.assertEqual((self.geometry["vadjustment"]["value"], self.geometry["hadjustment"]["value"]), (0, 0))

    def scrolled(self, since, predicate, what):
        return self.fixture.wait_event(lambda e: e["event"] == "scroll" and predicate(e), EVENT_WAIT, what, since)

    # ---- pointer ----

    def test_move_puts_the_pointer_there(self):
        for x, y in [(5, 7), (1000, 900), (641, 513)]:
            with self.subTest(x=x, y=y):
                self.assertNotEqual(self.fixture.pointer(), (x, y))
                self.ok("mouse", x=x, y=y, kind="move")
                # the answer may come before the server has moved the pointer
                wait_for(lambda: self.fixture.pointer() == (x, y), EVENT_WAIT)
                self.assertEqual(self.fixture.pointer(), (x, y))

    def test_click_presses_the_button_where_asked(self):
        x, y = centre(self.widget("button"))
        before = self.clicks()
        since = self.fixture.mark()
        self.ok("mouse", x=x, y=y)
        self.wait_clicked(before + 1, since)
        press = self.fixture.wait_event(lambda e: e["event"] == "button" and e["type"] == "press", EVENT_WAIT,
                                        "a button press on the button", since)
        self.assertEqual((press["button"], round(press["x"]), round(press["y"])), (1, round(x), round(y)))
        self.assertEqual(len(self.fixture.events_since(since, "clicked")), 1, "one click, one clicked event")

    def test_double_and_triple_clicks_are_seen_as_such(self):
        x, y = centre(self.widget("button"))
        for count, kind in [(2, "double"), (3, "triple")]:
            with self.subTest(count=count):
                # past GTK's double-click time (400 ms), so that these
                # presses do not count on from the ones before
                time.sleep(0.6)
                before = self.clicks()
                since = self.fixture.mark()
                self.ok("mouse", x=x, y=y, count=count)
                self.fixture.wait_event(lambda e: e["event"] == "button" and e["type"] == kind, EVENT_WAIT,
                                        "a %s click on the button" % kind, since)
                self.wait_clicked(before + count, since)
                presses = [e for e in self.fixture.events_since(since, "button") if e["type"] == "press"]
                self.assertEqual(len(presses), count, "button presses seen: %s" % presses)

    def test_right_click_is_the_right_button_and_does_not_press(self):
        x, y = centre(self.widget("button"))
        before = self.clicks()
        since = self.fixture.mark()
        self.ok("mouse", x=x, y=y, button="right")
        press = self.fixture.wait_event(lambda e: e["event"] == "button" and e["type"] == "press", EVENT_WAIT,
                                        "a right button press", since)
        self.assertEqual(press["button"], 3)
        # A left click afterwards is the next "clicked": the right one made none.
        self.ok("mouse", x=x, y=y)
        self.wait_clicked(before + 1, since)
        self.assertEqual([e["count"] for e in self.fixture.events_since(since, "clicked")], [before + 1])

    def test_drag_on_the_scroll_bar_slider_scrolls_the_view(self):
        self.reset_scroll()
        bar = self.widget("vscrollbar")
        v = self.geometry["vadjustment"]
        slider = bar["h"] * v["page"] / v["upper"]  # the slider's length at the top of the trough
        x = bar["x"] + bar["w"] / 2
        y = bar["y"] + slider / 2
        distance = 60
        since = self.fixture.mark()
        self.ok("drag", **{"from": {"x": x, "y": y}, "to": {"x": x, "y": y + distance}})
        # Dragging the slider by DISTANCE scrolls the content by that much in proportion.
        expected = distance * (v["upper"] - v["page"]) / (bar["h"] - slider)
        final, sideways = self.settled(since, "the view scrolling by about %d" % expected)
        self.assertGreater(final, expected / 2)
        self.assertLess(final, expected * 1.5)
        self.assertEqual(sideways, 0)

    # ---- the wheel ----

    def settled(self, since, what):
        """The view's position once scrolling that began after SINCE has stopped:
        no scroll event for QUIET seconds (the events of one request come
        milliseconds apart on a quiet machine)."""
        self.scrolled(since, lambda e: True, what)
        while True:
            mark = self.fixture.mark()
            try:
                self.fixture.wait_event(lambda e: e["event"] == "scroll", QUIET, "", mark)
            except AssertionError:
                break
        g = self.fixture.geometry()
        return g["vadjustment"]["value"], g["hadjustment"]["value"]

    def check_wheel(self, **target):
        x, y = centre(self.widget("scroller"))
        self.reset_scroll()
        steps = [(3, 0, "down (dy=3)"), (0, 3, "right (dx=3)"), (-1, 0, "up (dy=-1)"), (0, -1, "left (dx=-1)")]
        v, h = 0, 0
        moved = {}
        for dy, dx, what in steps:
            since = self.fixture.mark()
            self.ok("scroll", x=x, y=y, dy=dy, dx=dx, **target)
            nv, nh = self.settled(since, "scrolling " + what)
            # each moves the view along its own axis only, in its own direction
            self.assertEqual((nv - v > 0, nv - v < 0, nh - h > 0, nh - h < 0),
                             (dy > 0, dy < 0, dx > 0, dx < 0),
                             "scrolling %s moved the view from v=%g h=%g to v=%g h=%g" % (what, v, h, nv, nh))
            moved[(dy, dx)] = abs(nv - v) + abs(nh - h)
            v, h = nv, nh
        # three lines go three times as far as one
        for three, one in [((3, 0), (-1, 0)), ((0, 3), (0, -1))]:
            self.assertAlmostEqual(moved[three] / moved[one], 3, delta=0.5,
                                   msg="a scroll by %s moved %g, by %s %g" % (three, moved[three], one, moved[one]))

    def test_scroll_moves_the_view_down_right_up_and_left(self):
        self.check_wheel()

    def test_scroll_to_the_fixture_pid(self):
        # The pointer starts away from the window: the events reach the view
        # all the same.
        self.fixture.command("warp 1200 1000")
        self.check_wheel(pid=self.fixture.pid)

    def test_scroll_to_a_pid_whose_window_is_not_under_the_point_is_dropped(self):
        self.reset_scroll()
        x, y = centre(self.widget("scroller"))
        # Another fixture over this one, shifted a little: its view is under the point too.
        frame = self.geometry["frame"]
        other = self.start_fixture("--title", "Covering Fixture",
                                   "--position", "%d,%d" % (frame["x"] + 40, frame["y"] + 30))
        self.make_active(other)
        self.assertEqual(self.agent.result("at", x=x, y=y).get("pid"), other.pid)
        since, other_since = self.fixture.mark(), other.mark()
        self.ok("scroll", x=x, y=y, dy=3, pid=self.fixture.pid)
        time.sleep(0.5)
        self.assertEqual(self.fixture.events_since(since, "scroll"), [],
                         "a scroll aimed at the fixture reached it through another window")
        self.assertEqual(other.events_since(other_since, "scroll"), [],
                         "a scroll aimed at the fixture reached the window under the point")
        # the same request for the process whose window is there goes through
        self.ok("scroll", x=x, y=y, dy=3, pid=other.pid)
        other.wait_event(lambda e: e["event"] == "scroll" and e["v"] > 0, EVENT_WAIT,
                         "the covering fixture's view scrolled by its own pid", other_since)

    # ---- keys ----

    def key_presses(self, since, keyval):
        return [e for e in self.fixture.events_since(since, "key") if e["type"] == "press" and e["keyval"] == keyval]

    def wait_key(self, since, keyvals, what):
        return self.fixture.wait_event(
            lambda e: e["event"] == "key" and e["type"] == "press" and e["keyval"] in keyvals, EVENT_WAIT, what, since)

    def keys_arrive(self, since):
        """Whether any key event reached the fixture. When none did, a table of
        keys stops at its first case: the others would only wait and fail alike."""
        try:
            self.fixture.wait_event(lambda e: e["event"] == "key", EVENT_WAIT, "any key event", since)
            return True
        except AssertionError:
            return False

    def test_key_with_modifiers_arrives_with_them_and_leaves_none_pressed(self):
        self.fixture.command("focus entry")
        for mods, state in MODIFIERS:
            arrived = False
            with self.subTest(mods=mods):
                since = self.fixture.mark()
                self.ok("key", code=0, mods=mods)
                arrived = self.keys_arrive(since)
                if not arrived:
                    self.fail("no key event reached the fixture; later cases not tried")
                press = self.wait_key(since, ("a", "A"), "key code 0 with %s" % mods)
                self.assertEqual(set(press["state"]) & WATCHED_STATE, state, press)
                # the modifiers were let go again
                since = self.fixture.mark()
                self.ok("key", code=0)
                press = self.wait_key(since, ("a", "A"), "key code 0 alone after %s" % mods)
                self.assertEqual(set(press["state"]) & WATCHED_STATE, set(), press)
                self.assertEqual(press["keyval"], "a")
            if not arrived:
                break
        self.fixture.clear()

    def test_named_keys(self):
        for code, keyval in NAMED_KEYS:
            arrived = False
            with self.subTest(code=code, keyval=keyval):
                self.fixture.command("focus entry")
                since = self.fixture.mark()
                self.ok("key", code=code)
                arrived = self.keys_arrive(since)
                if not arrived:
                    self.fail("no key event reached the fixture; later cases not tried")
                press = self.wait_key(since, (keyval,), "key code %d as %s" % (code, keyval))
                self.assertEqual(set(press["state"]) & WATCHED_STATE, set(), press)
                self.assertEqual(len(self.key_presses(since, keyval)), 1)
            if not arrived:
                break

    def test_key_to_the_fixture_pid(self):
        self.fixture.command("focus entry")
        since = self.fixture.mark()
        self.ok("key", code=0, mods=["shift"], pid=self.fixture.pid)
        press = self.wait_key(since, ("A",), "shift + key code 0 sent to the fixture's pid")
        self.assertIn("shift", press["state"])
        self.fixture.clear()

    # ---- typing ----

    def type_runs(self, text, runs, **target):
        self.fixture.command("focus entry")
        for run in range(1, runs + 1):
            since = self.fixture.clear()
            self.assertEqual(self.fixture.text(), "")
            self.ok("type", text=text, **target)
            self.fixture.wait_event(lambda e: e["event"] == "text" and e["entry"] == "entry", EVENT_WAIT,
                                    "run %d of %d: any change of the entry after typing" % (run, runs), since)
            try:
                self.fixture.wait_event(lambda e: e["event"] == "text" and e["entry"] == "entry" and e["text"] == text,
                                        TEXT_WAIT, "the typed text in the entry", since)
            except AssertionError:
                got = self.fixture.text()
                self.fail("run %d of %d: typed %r (%d characters), the entry holds %r (%d characters)%s"
                          % (run, runs, text, len(text), got, len(got), first_difference(text, got)))

    def test_type_unicode_ten_times(self):
        self.type_runs(SHORT, 10)

    def test_type_200_characters_of_mixed_scripts_ten_times(self):
        self.assertEqual(len(MIXED), 200)
        self.type_runs(MIXED, 10)

    def test_type_an_emoji_split_between_pieces(self):
        # 15 one-unit characters, then a surrogate pair: the text is sent in
        # pieces of 16 UTF-16 units, so the pair's halves go in two pieces.
        self.type_runs("é" * 15 + "😀z", 2)

    def test_type_to_the_fixture_pid(self):
        self.type_runs(SHORT, 2, pid=self.fixture.pid)

    def test_type_to_the_fixture_pid_while_another_window_is_active(self):
        other = self.start_fixture("--title", "Other Fixture", "--position", "700,100")
        other.command("focus entry")
        self.make_active(other)
        self.fixture.command("focus entry")
        since = self.fixture.clear()
        other_since = other.mark()
        self.ok("type", text=SHORT, pid=self.fixture.pid)
        self.fixture.wait_event(lambda e: e["event"] == "text" and e["text"] == SHORT, TEXT_WAIT,
                                "the text typed to the fixture's pid in its entry", since)
        self.assertEqual(other.events_since(other_since, "text"), [], "the active window got text too")

    def test_line_feeds_press_return(self):
        self.fixture.command("focus entry")
        since = self.fixture.clear()
        self.ok("type", text="one\ntwo")
        self.fixture.wait_event(lambda e: e["event"] == "text" and e["text"] == "onetwo", TEXT_WAIT,
                                "the text around the line feed", since)
        self.assertEqual(len(self.key_presses(since, "Return")), 1)


def first_difference(expected, got):
    for i, (a, b) in enumerate(zip(expected, got)):
        if a != b:
            return "; first difference at %d: %r (U+%04X) became %r (U+%04X)" % (i, a, ord(a), b, ord(b))
    if len(got) < len(expected):
        return "; missing from %d on: %r" % (len(got), expected[len(got):])
    return "; extra from %d on: %r" % (len(expected), got[len(expected):])


if __name__ == "__main__":
    harness.main()
