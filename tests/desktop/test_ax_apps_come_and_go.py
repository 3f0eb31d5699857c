"""Applications that start, are read and exit leave nothing open in the agent:
its descriptors are as many after a series of them as after the first; the
applications that stay are read as before."""
import os

from harness import DesktopTest, Fixture, main

COMING_AND_GOING = 6


class AppsComeAndGoTest(DesktopTest):
    def descriptors(self):
        return len(os.listdir("/proc/%d/fd" % self.agent.proc.pid))

    def come_and_go(self):
        app = Fixture(self.desktop)
        for _ in range(2):
            elements = self.agent.result("ax_tree", pid=app.pid, depth=50, max=1000)["elements"]
            self.find(elements, "AXButton", "Press me")
            self.assertIn("secure", self.agent.result("focus_info", pid=app.pid))
        app.proc.kill()
        app.proc.wait()
        # The next requests find it gone.
        self.assertEqual(self.agent.result("ax_tree", pid=app.pid), {"elements": [], "truncated": False})
        self.assertGreater(len(self.tree()), 10)
        self.assertGreater(len(self.tree()), 10)

    def test_descriptors_after_applications_exit(self):
        self.come_and_go()
        before = self.descriptors()
        for i in range(COMING_AND_GOING):
            with self.subTest(application=i):
                self.come_and_go()
        self.assertLessEqual(self.descriptors(), before)
        # The fixture that stayed is read in full, its elements still known.
        elements = self.tree()
        button = self.find(elements, "AXButton", "Press me")
        info = self.agent.result("ax_info", pid=self.fixture.pid, path=button["id"])
        self.assertEqual(info.get("role"), "AXButton", info)


if __name__ == "__main__":
    main()
