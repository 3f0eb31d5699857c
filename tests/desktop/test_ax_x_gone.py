"""The X server going away while the agent runs: every answer keeps its shape
and its time bound, what needs the display is empty or false, and the agent
exits with status 0 at the end of its input."""
import os
import signal
import time

from harness import STALL_WAIT, DesktopTest, alive, main, wait_for

REQUESTS = [
    ("windows", {}), ("display", {}), ("permissions", {}), ("apps", {}), ("frontmost", {}),
    ("at", {"x": 100, "y": 100}), ("focus_info", {}),
    ("mouse", {"x": 100, "y": 100, "kind": "move"}), ("mouse", {"x": 100, "y": 100}),
    ("drag", {"from": {"x": 10, "y": 10}, "to": {"x": 50, "y": 50}}),
    ("scroll", {"x": 100, "y": 100, "dy": 2}), ("key", {"code": 0, "mods": ["shift"]}),
    ("type", {"text": "abc\n"}), ("request_permission", {"kind": "screen"}),
]


class XGoneTest(DesktopTest):
    def sweep(self, extra=()):
        return self.bounded_sweep(REQUESTS + list(extra))

    def test_server_killed(self):
        # Everything that may use the display does so once first.
        before = self.sweep([("ax_tree", {"pid": self.fixture.pid})])
        self.assertGreater(len(before["ax_tree"][0]["result"]["elements"]), 10)
        if before["display"][0]["result"]["w"] > 0:
            # A backend that reads the display has its connection open and in use.
            mine = [w for w in before["windows"][0]["result"]["windows"] if w["pid"] == self.fixture.pid]
            self.assertEqual(len(mine), 1, before["windows"])
            b = mine[0]["bounds"]
            at = self.agent.result("at", x=b["x"] + b["w"] / 2, y=b["y"] + b["h"] / 2)
            self.assertEqual(at.get("pid"), self.fixture.pid)
            self.assertTrue(before["permissions"][0]["result"]["screen"])
        xserver = self.desktop.pid("XVFB")
        os.kill(xserver, signal.SIGKILL)
        self.assertTrue(wait_for(lambda: not alive(xserver), STALL_WAIT), "Xvfb outlived SIGKILL")
        # The toolkit ends with its display.
        try:
            self.fixture.proc.wait(timeout=STALL_WAIT)
        except Exception:
            self.fixture.proc.kill()
            self.fixture.proc.wait()
        for _ in range(3):
            after = self.sweep([("ax_tree", {"pid": self.fixture.pid}),
                                ("activate", {"pid": self.fixture.pid})])
            self.assertEqual(after["windows"][0]["result"], {"windows": []})
            self.assertEqual(after["at"][0]["result"], {})
            self.assertEqual(after["apps"][0]["result"], {"apps": []})
            self.assertEqual(after["frontmost"][0]["result"], {})
            display = after["display"][0]["result"]
            self.assertEqual(display.keys(), {"x", "y", "w", "h"})
            self.assertEqual((display["w"], display["h"]), (0, 0))
            self.assertFalse(after["permissions"][0]["result"]["screen"])
            self.assertIsInstance(after["permissions"][0]["result"]["accessibility"], bool)
            for op in ("mouse", "drag", "scroll", "key", "type"):
                for a in after[op]:
                    self.assertEqual(a["result"], {"ok": True}, op)
            self.assertEqual(after["ax_tree"][0]["result"], {"elements": [], "truncated": False})
            self.assertEqual(after["activate"][0].get("code"), "not_running")
        # A burst of requests is not slowed by the dead connection.
        start = time.monotonic()
        for _ in range(100):
            for op in ("windows", "display", "at"):
                self.agent.request(op, x=1, y=1)
        self.assertLess(time.monotonic() - start, 10)


if __name__ == "__main__":
    main()
