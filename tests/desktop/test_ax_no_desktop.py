"""Without a display or any bus the agent still answers every accessibility
request in its empty or false form, and prints nothing else."""
import json
import os
import subprocess
import unittest

import harness


class NoDesktopTest(unittest.TestCase):
    def test_empty_answers(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS")}
        requests = [
            {"id": 1, "op": "ax_tree", "pid": os.getpid()},
            {"id": 2, "op": "focus_info"},
            {"id": 3, "op": "focus_info", "pid": os.getpid()},
            {"id": 4, "op": "ax_press_at", "pid": os.getpid(), "x": 10, "y": 10},
            {"id": 5, "op": "ax_press", "pid": os.getpid(), "path": "0.0"},
            {"id": 6, "op": "request_permission"},
            {"id": 7, "op": "permissions"},
        ]
        text = "".join(json.dumps(r) + "\n" for r in requests)
        done = subprocess.run([harness.AGENT], input=text.encode(), env=env, capture_output=True, timeout=30)
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stderr, b"")
        answers = [json.loads(line) for line in done.stdout.decode().splitlines()]
        self.assertEqual([a["id"] for a in answers], list(range(1, 8)))
        self.assertEqual(answers[0]["result"], {"elements": [], "truncated": False})
        self.assertEqual(answers[1]["result"], {"secure": False, "secureInput": False})
        self.assertEqual(answers[2]["result"], {"secure": False, "secureInput": False})
        self.assertEqual(answers[3]["result"], {"ok": False})
        self.assertEqual(answers[4]["code"], "stale_element")
        self.assertEqual(answers[5]["result"], {"ok": True})
        self.assertFalse(answers[6]["result"]["accessibility"])


if __name__ == "__main__":
    harness.main()
