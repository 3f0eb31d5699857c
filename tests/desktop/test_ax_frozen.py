"""A fixture stopped with SIGSTOP costs the agent a bounded wait, never a hang."""
import os
import signal
import sys
import time

from harness import STALL_WAIT, DesktopTest, main


class FrozenTest(DesktopTest):
    def test_frozen_application_answers_within_the_bound(self):
        self.assertGreater(len(self.tree()), 10)
        os.kill(self.fixture.pid, signal.SIGSTOP)
        try:
            for op, args in (("ax_tree", {"pid": self.fixture.pid}),
                             ("ax_press", {"pid": self.fixture.pid, "path": "0.0.0"}),
                             ("focus_info", {}),
                             ("ax_press_at", {"pid": self.fixture.pid, "x": 100, "y": 100})):
                start = time.monotonic()
                answer = self.agent.request(op, timeout=STALL_WAIT * 2, **args)
                self.assertLess(time.monotonic() - start, STALL_WAIT, op)
                self.assertTrue("result" in answer or answer.get("code") == "stale_element", answer)
        finally:
            os.kill(self.fixture.pid, signal.SIGCONT)
        # Once it runs again it is read in full again.
        self.assertGreater(len(self.tree()), 10)

    def test_input_to_a_frozen_application_answers_within_the_bound(self):
        # Typing first asks the application what has focus (one bounded wait);
        # events sent to it are not waited for.
        os.kill(self.fixture.pid, signal.SIGSTOP)
        try:
            for op, args in (("type", {"pid": self.fixture.pid, "text": "frozen\nstill"}),
                             ("key", {"pid": self.fixture.pid, "code": 36, "mods": ["shift"]}),
                             ("scroll", {"pid": self.fixture.pid, "x": 100, "y": 100, "dy": 3}),
                             ("type", {"text": "everywhere"}),
                             ("key", {"code": 0})):
                with self.subTest(op=op, args=args):
                    start = time.monotonic()
                    answer = self.agent.request(op, timeout=STALL_WAIT * 2, **args)
                    self.assertLess(time.monotonic() - start, STALL_WAIT, op)
                    self.assertTrue(answer.get("result") == {"ok": True} or answer.get("code") == "secure_field",
                                    answer)
            # Waits do not pile up across requests.
            start = time.monotonic()
            self.assertEqual(self.agent.result("display").keys(), {"x", "y", "w", "h"})
            self.assertLess(time.monotonic() - start, 1)
        finally:
            os.kill(self.fixture.pid, signal.SIGCONT)
        self.assertGreater(len(self.tree()), 10)


if __name__ == "__main__":
    main()
