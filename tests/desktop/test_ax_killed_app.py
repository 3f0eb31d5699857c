"""An application killed while the agent reads its tree costs a bounded wait
and gives a well-formed answer (all, part or none of the tree, marked
"timedOut" when it was cut short); the agent then answers as before."""
import os
import signal
import sys
import threading
import time

from harness import LARGE_WAIT, STALL_WAIT, DesktopTest, Fixture, main

# After the kill, the moments at which the read is cut short spread over
# the whole read of a large tree (about half a second here).
DELAYS = (0.0, 0.002, 0.01, 0.03, 0.06, 0.1, 0.15, 0.2, 0.3, 0.45)


class KilledAppTest(DesktopTest):
    def assertWellFormedTree(self, answer):
        self.assertIn("result", answer)
        result = answer["result"]
        # Cut short by the kill, the answer says the application stopped answering.
        self.assertIn(set(result), ({"elements", "truncated"}, {"elements", "truncated", "timedOut"}), answer)
        if "timedOut" in result:
            self.assertIs(result["timedOut"], True, answer)
        self.assertIsInstance(result["truncated"], bool)
        for e in result["elements"]:
            self.assertIsInstance(e.get("id"), str, e)
            self.assertIsInstance(e.get("role"), str, e)
        return result["elements"]

    def test_killed_during_a_large_tree(self):
        whole = Fixture(self.desktop, rows=100)
        full = len(self.agent.result("ax_tree", pid=whole.pid, depth=50, max=100000)["elements"])
        self.assertGreater(full, 1000)
        whole.proc.kill()
        whole.proc.wait()
        for delay in DELAYS:
            with self.subTest(delay=delay):
                victim = Fixture(self.desktop, rows=100)
                killer = threading.Timer(delay, victim.proc.kill)
                start = time.monotonic()
                killer.start()
                answer = self.agent.request("ax_tree", timeout=LARGE_WAIT, pid=victim.pid, depth=50, max=100000)
                elapsed = time.monotonic() - start
                killer.join()
                victim.proc.wait()
                self.assertLess(elapsed, STALL_WAIT)
                self.assertLessEqual(len(self.assertWellFormedTree(answer)), full)
                # Gone for good: nothing left to read, quickly.
                start = time.monotonic()
                gone = self.agent.request("ax_tree", timeout=LARGE_WAIT, pid=victim.pid)
                self.assertLess(time.monotonic() - start, STALL_WAIT)
                self.assertEqual(gone["result"], {"elements": [], "truncated": False})
                answer = self.agent.request("ax_info", pid=victim.pid, path="0.0")
                self.assertEqual(answer.get("code"), "stale_element", answer)
                # The other application is read in full.
                self.assertGreater(len(self.tree()), 10)
                self.assertIn("secure", self.agent.result("focus_info"))

    def test_killed_between_requests(self):
        victim = Fixture(self.desktop)
        elements = self.agent.result("ax_tree", pid=victim.pid)["elements"]
        button = self.find(elements, "AXButton", "Press me")
        os.kill(victim.pid, signal.SIGKILL)
        victim.proc.wait()
        for op, args in (("ax_tree", {"pid": victim.pid}),
                         ("ax_press", {"pid": victim.pid, "path": button["id"]}),
                         ("ax_focus", {"pid": victim.pid, "path": button["id"]}),
                         ("ax_set", {"pid": victim.pid, "path": button["id"], "value": "x"}),
                         ("ax_info", {"pid": victim.pid, "path": button["id"]}),
                         ("ax_press_at", {"pid": victim.pid, "x": 100, "y": 60}),
                         ("focus_info", {"pid": victim.pid}),
                         ("type", {"pid": victim.pid, "text": "abc"}),
                         ("key", {"pid": victim.pid, "code": 36}),
                         ("activate", {"pid": victim.pid})):
            with self.subTest(op=op):
                start = time.monotonic()
                answer = self.agent.request(op, timeout=LARGE_WAIT, **args)
                self.assertLess(time.monotonic() - start, STALL_WAIT)
                if op == "ax_tree":
                    self.assertEqual(answer["result"], {"elements": [], "truncated": False})
                elif op in ("ax_press", "ax_focus", "ax_set", "ax_info"):
                    self.assertEqual(answer.get("code"), "stale_element", answer)
                elif op == "ax_press_at":
                    self.assertEqual(answer["result"], {"ok": False})
                elif op == "focus_info":
                    self.assertEqual(answer["result"], {"secure": False, "secureInput": False})
                elif op == "activate":
                    self.assertEqual(answer.get("code"), "not_running", answer)
                else:
                    self.assertEqual(answer["result"], {"ok": True})
        self.assertGreater(len(self.tree()), 10)


if __name__ == "__main__":
    main()
