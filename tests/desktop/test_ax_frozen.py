"""A fixture stopped with SIGSTOP costs the agent a bounded wait, never a hang."""
import os
import signal
import sys
import time

from ax_harness import DesktopTest, main


class FrozenTest(DesktopTest):
    def test_frozen_application_answers_within_five_seconds(self):
        self.assertGreater(len(self.tree()), 10)
        os.kill(self.fixture.pid, signal.SIGSTOP)
        try:
            for op, args in (("ax_tree", {"pid": self.fixture.pid}),
                             ("ax_press", {"pid": self.fixture.pid, "path": "0.0.0"}),
                             ("focus_info", {}),
                             ("ax_press_at", {"pid": self.fixture.pid, "x": 100, "y": 100})):
                start = time.monotonic()
                answer = self.agent.request(op, timeout=30, **args)
                self.assertLess(time.monotonic() - start, 5, op)
                self.assertTrue("result" in answer or answer.get("code") == "stale_element", answer)
        finally:
            os.kill(self.fixture.pid, signal.SIGCONT)
        # Once it runs again it is read in full again.
        self.assertGreater(len(self.tree()), 10)


if __name__ == "__main__":
    main(sys.modules[__name__])
