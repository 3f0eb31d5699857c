"""The accessibility registry or the whole accessibility bus going away while
the agent runs: every answer is well-formed and bounded in time, the
accessibility answers degrade to their empty or false forms, and the agent
exits with status 0 at the end of its input."""
import os
import signal
import sys
import threading
import time

from harness import LARGE_WAIT, STALL_WAIT, DesktopTest, Fixture, main

ELEMENT_OPS = ("ax_press", "ax_focus", "ax_info", "ax_set")


class Sweep:
    def requests(self, pid):
        return [("ax_tree", {"pid": pid}), ("ax_tree", {"pid": pid, "depth": 50, "max": 5000}),
                ("focus_info", {}), ("focus_info", {"pid": pid}),
                ("ax_info", {"pid": pid, "path": "0.0"}), ("ax_press", {"pid": pid, "path": "0.0.0"}),
                ("ax_focus", {"pid": pid, "path": "0.0.3"}), ("ax_set", {"pid": pid, "path": "0.0.3", "value": "x"}),
                ("ax_press_at", {"pid": pid, "x": 100, "y": 60}), ("permissions", {}),
                ("request_permission", {}), ("type", {"pid": pid, "text": "abc"}), ("type", {"text": "abc"}),
                ("key", {"code": 36}), ("windows", {}), ("apps", {}), ("frontmost", {}), ("display", {}),
                ("at", {"x": 100, "y": 60})]

    def sweep(self, pid):
        return self.bounded_sweep(self.requests(pid))

    def large_tree_while(self, delay, kill):
        """A large fixture's full tree, with `kill` run `delay` seconds into
        it: the answer keeps its shape and its bound. The fixture is returned."""
        big = Fixture(self.desktop, rows=100)
        self.assertGreater(len(self.agent.result("ax_tree", pid=big.pid, depth=2)["elements"]), 0)
        killer = threading.Timer(delay, kill)
        start = time.monotonic()
        killer.start()
        answer = self.agent.request("ax_tree", timeout=LARGE_WAIT, pid=big.pid, depth=50, max=100000)
        killer.join()
        self.assertLess(time.monotonic() - start, STALL_WAIT)
        self.assertEqual(set(answer["result"]), {"elements", "truncated"})
        return big

    def assertAccessibilityGone(self, answers):
        for a in answers["ax_tree"]:
            self.assertEqual(a["result"], {"elements": [], "truncated": False})
        for a in answers["focus_info"]:
            self.assertEqual(a["result"], {"secure": False, "secureInput": False})
        for op in ELEMENT_OPS:
            self.assertEqual(answers[op][0].get("code"), "stale_element", answers[op])
        self.assertEqual(answers["ax_press_at"][0]["result"], {"ok": False})
        self.assertFalse(answers["permissions"][0]["result"]["accessibility"])
        for a in answers["type"]:
            self.assertEqual(a["result"], {"ok": True})


class RegistryGoneTest(Sweep, DesktopTest):
    desktop_per_test = True  # each test kills the registry of its own desktop

    def test_registry_killed(self):
        self.assertGreater(len(self.tree()), 10)
        registry = self.desktop.accessibility_pids()["registry"]
        self.assertIsNotNone(registry)
        os.kill(registry, signal.SIGKILL)
        # The bus may start a new registry on demand; either way the answers
        # keep their shapes and their bounds, and nothing is stuck.
        for answers in (self.sweep(self.fixture.pid), self.sweep(self.fixture.pid)):
            for a in answers["ax_tree"]:
                self.assertEqual(set(a["result"]), {"elements", "truncated"})
            for op in ELEMENT_OPS:
                self.assertTrue("result" in answers[op][0] or answers[op][0]["code"] == "stale_element",
                                answers[op])

    def test_registry_killed_during_a_large_tree(self):
        registry = self.desktop.accessibility_pids()["registry"]
        self.assertIsNotNone(registry)
        big = self.large_tree_while(0.05, lambda: os.kill(registry, signal.SIGKILL))
        self.sweep(big.pid)


class BusGoneTest(Sweep, DesktopTest):
    def test_bus_killed_during_a_large_tree_then_everything_degrades(self):
        pids = self.desktop.accessibility_pids()
        self.assertNotIn(None, pids.values())

        def kill():
            for pid in (pids["bus"], pids["registry"]):
                os.kill(pid, signal.SIGKILL)

        big = self.large_tree_while(0.1, kill)
        for pid in (self.fixture.pid, big.pid):
            for _ in range(2):
                self.assertAccessibilityGone(self.sweep(pid))


if __name__ == "__main__":
    main()
