"""Without a display (and without any bus) the agent still answers every
desktop request: queries in their empty or false form, input operations
with {"ok": true} (their events go nowhere), activation with not_running,
a screenshot with capture_failed.
Nothing reaches standard error and the exit status is 0."""
import json
import os
import subprocess
import sys
import unittest

AGENT = None

# request, expected answer ("result" or the error code)
CASES = [
    ({"op": "permissions"}, {"result": {"screen": False, "accessibility": False}}),
    ({"op": "apps"}, {"result": {"apps": []}}),
    ({"op": "frontmost"}, {"result": {}}),
    ({"op": "windows"}, {"result": {"windows": []}}),
    ({"op": "at", "x": 10, "y": 10}, {"result": {}}),
    ({"op": "display"}, {"result": {"x": 0, "y": 0, "w": 0, "h": 0}}),
    ({"op": "focus_info"}, {"result": {"secure": False, "secureInput": False}}),
    ({"op": "mouse", "x": 10, "y": 10, "kind": "move"}, {"result": {"ok": True}}),
    ({"op": "mouse", "x": 10, "y": 10, "count": 2, "button": "right"}, {"result": {"ok": True}}),
    ({"op": "drag", "from": {"x": 1, "y": 1}, "to": {"x": 50, "y": 60}}, {"result": {"ok": True}}),
    ({"op": "type", "text": "héllo ✓ 😀\nΩ"}, {"result": {"ok": True}}),
    ({"op": "type", "text": "x", "pid": 1}, {"result": {"ok": True}}),
    ({"op": "key", "code": 0, "mods": ["cmd", "shift", "alt", "ctrl", "fn"]}, {"result": {"ok": True}}),
    ({"op": "key", "code": 36, "pid": 1}, {"result": {"ok": True}}),
    ({"op": "scroll", "x": 5, "y": 5, "dx": 2, "dy": -3}, {"result": {"ok": True}}),
    ({"op": "scroll", "x": 5, "y": 5, "dy": 1, "pid": 1}, {"result": {"ok": True}}),
    ({"op": "activate", "pid": 1}, {"code": "not_running"}),
    ({"op": "screenshot"}, {"code": "capture_failed"}),
    ({"op": "screenshot", "x": 0, "y": 0, "w": 10, "h": 10}, {"code": "capture_failed"}),
]


class NoDisplayTest(unittest.TestCase):
    def test_every_desktop_request_answers_without_a_display(self):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS")}
        text = "".join(json.dumps(dict(request, id=i)) + "\n" for i, (request, _) in enumerate(CASES))
        done = subprocess.run([AGENT], input=text.encode(), env=env, capture_output=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stderr, b"")
        answers = [json.loads(line) for line in done.stdout.decode().splitlines()]
        self.assertEqual([a.get("id") for a in answers], list(range(len(CASES))))
        for (request, expected), answer in zip(CASES, answers):
            with self.subTest(request=request):
                if "code" in expected:
                    self.assertEqual(answer.get("code"), expected["code"], answer)
                else:
                    self.assertEqual(answer.get("result"), expected["result"], answer)


if __name__ == "__main__":
    AGENT = sys.argv[1]
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:], verbosity=2)
