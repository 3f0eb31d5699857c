"""Accessibility through a toolkit that is not GTK: the older cache layout, a
cache that misses elements or answers slowly, off-screen extents, raw action
names, a Value interface and loops in the tree (see ax_fake_toolkit.py)."""
import os
import time

from harness import LARGE_WAIT, PYTHON, STALL_WAIT, START_WAIT, DesktopTest, main, wait_for

HERE = os.path.dirname(os.path.abspath(__file__))


class OtherToolkitTest(DesktopTest):
    @staticmethod
    def start_applications(holder):
        holder.apps = {}
        for mode in ("plain", "loop", "slowcache", "sparse"):
            state = os.path.join(holder.desktop.dir, mode)
            os.mkdir(state)
            proc = holder.desktop.spawn([PYTHON, os.path.join(HERE, "ax_fake_toolkit.py"), state, mode])
            if not wait_for(lambda: os.path.exists(os.path.join(state, "ready")), START_WAIT):
                raise RuntimeError("fake toolkit did not register")
            holder.apps[mode] = (proc.pid, state)

    def tree(self, mode, timeout=STALL_WAIT, **args):
        answer = self.agent.result("ax_tree", timeout=timeout, pid=self.apps[mode][0], **args)
        return {e["id"]: e for e in answer["elements"]}

    def test_older_cache_layout_with_live_children_and_values(self):
        t = self.tree("plain")
        self.assertEqual(list(t), ["0", "0.0", "0.1", "0.2", "0.2.0", "0.3", "0.4"])
        self.assertEqual(t["0"]["frame"], {"x": 10.0, "y": 10.0, "w": 300.0, "h": 200.0})
        self.assertEqual((t["0.0"]["role"], t["0.0"]["title"]), ("AXButton", "OK"))
        # Off-screen (INT_MIN) extents leave the frame out.
        self.assertNotIn("frame", t["0.1"])
        # The panel's child was not in the cache: it is read live.
        self.assertEqual(t["0.2.0"]["title"], "Live child")
        self.assertEqual((t["0.3"]["role"], t["0.3"]["value"]), ("AXSlider", 42.5))

    def test_what_an_answer_leaves_out_is_not_fetched(self):
        pid, state = self.apps["plain"]
        details = os.path.join(state, "details")

        def calls():
            with open(details) as f:
                calls = set(f.read().split())
            os.remove(details)
            return calls

        open(details, "w").close()
        t = self.tree("plain", fields=["frame", "actions"])
        self.assertEqual(list(t), ["0", "0.0", "0.1", "0.2", "0.2.0", "0.3", "0.4"])
        self.assertFalse([e for e in t.values() if "frame" in e or "actions" in e], t)
        self.assertEqual(t["0.3"]["value"], 42.5)
        self.assertEqual(calls(), {"CurrentValue", "GetText"})
        # A search by role reads no element's details but its match's.
        found = self.agent.result("ax_find", pid=pid, role="AXButton", fields=["value"])
        self.assertEqual(found["elements"], [{"id": "0.0", "role": "AXButton", "title": "OK",
                                              "frame": {"x": 20.0, "y": 40.0, "w": 80.0, "h": 30.0},
                                              "actions": ["press", "AXPress"]}])
        self.assertEqual(calls(), {"GetExtents", "GetActions"})

    def test_press_performs_click_not_the_half_press(self):
        pid, state = self.apps["plain"]
        t = self.tree("plain")
        self.assertEqual(t["0.0"]["actions"], ["press", "AXPress"])
        self.assertEqual(self.agent.result("ax_press", pid=pid, path="0.0"), {"ok": True})
        self.assertEqual(self.agent.result("ax_press_at", pid=pid, x=30, y=50), {"ok": True, "role": "AXButton"})
        with open(os.path.join(state, "actions")) as f:
            self.assertEqual(f.read().split(), ["ok:1", "ok:1"])

    def test_a_bridge_without_cache_getall_or_action_names_is_read_whole(self):
        pid, state = self.apps["sparse"]
        t = self.tree("sparse", depth=10, max=1000)
        # Everything under the window, though the cache is empty.
        self.assertEqual(len(t), 7 + 1 + 40 * 2 + 1, sorted(t))
        self.assertEqual((t["0.5"]["title"], t["0.5.39.0"]["title"]), ("Table", "Cell 39"))
        self.assertEqual(t["0.0"]["title"], "OK")
        # Names come from GetName when GetActions gives none.
        self.assertEqual(t["0.5.7.0"]["actions"], ["AXPress"])
        self.assertEqual(self.agent.result("ax_press", pid=pid, path="0.5.7.0"), {"ok": True})
        self.assertEqual(self.agent.result("ax_info", pid=pid, path="0.5.39.0")["role"], "AXButton")
        with open(os.path.join(state, "actions")) as f:
            self.assertEqual(f.read().split(), ["cell7:0"])
        # Qt 5's bridge answers GetAll with a message that gets it thrown off the bus.
        self.assertFalse(os.path.exists(os.path.join(state, "getall")))

    def test_without_collection_the_focused_password_field_is_still_found(self):
        pid, _ = self.apps["sparse"]
        info = self.agent.result("focus_info", pid=pid)
        self.assertEqual((info.get("subrole"), info.get("secure")), ("AXSecureTextField", True), info)
        t = self.tree("sparse", depth=10, max=1000)
        self.assertEqual((t["0.5.39.1"]["role"], t["0.5.39.1"].get("secure")), ("AXTextField", True))
        self.assertNotIn("value", t["0.5.39.1"])

    def test_a_loop_in_the_tree_stays_within_the_limits(self):
        start = time.monotonic()
        t = self.tree("loop", timeout=LARGE_WAIT * 2, depth=40, max=100000)
        # A few seconds on a quiet machine; the bound only tells a finished walk from an endless one.
        self.assertLess(time.monotonic() - start, LARGE_WAIT)
        # The panel lists itself and the window again: each level repeats, up to the depth.
        self.assertIn("0.4.0.0.0", t)
        self.assertLessEqual(max(len(k.split(".")) for k in t), 40)

    def test_a_slow_cache_costs_a_bounded_wait_and_nothing_after(self):
        pid, state = self.apps["slowcache"]
        start = time.monotonic()
        # The cache does not answer until released: bounded waits (about 10 s
        # on a quiet machine), never the toolkit's own time.
        self.agent.result("ax_tree", timeout=LARGE_WAIT * 2, pid=pid)
        self.assertLess(time.monotonic() - start, LARGE_WAIT)
        with open(os.path.join(state, "release"), "w"):
            pass
        # Once the toolkit is idle again, the tree is read in full.
        self.assertTrue(wait_for(lambda: len(self.tree("slowcache")) == 7, STALL_WAIT))


if __name__ == "__main__":
    main()
