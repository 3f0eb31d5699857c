"""The agent's own streams failing while real work is queued: standard output
closed by the reader, standard input ending in the middle of a line. The
queued requests still run, and the agent exits with status 0 at the end of
its input."""
import json
import subprocess

import harness
from harness import EVENT_WAIT, LARGE_WAIT, DesktopTest, main, wait_for


class StreamsTest(DesktopTest):
    def spawn_agent(self):
        p = subprocess.Popen([harness.AGENT], env=self.desktop.env, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.addCleanup(self.reap, p)
        return p

    @staticmethod
    def reap(p):
        """Stops an agent a failed test left running, and closes its pipes."""
        if p.poll() is None:
            p.kill()
        p.wait()
        for stream in (p.stdin, p.stdout, p.stderr):
            try:
                stream.close()
            except OSError:  # the agent is gone: what was buffered for it is dropped
                pass

    def line(self, id, op, **args):
        return (json.dumps(dict(args, id=id, op=op)) + "\n").encode()

    def press_count(self):
        status = self.status()
        return 0 if status.startswith("Not") else int(status.split()[1])

    def button(self):
        return self.find(self.tree(), "AXButton", "Press me")["id"]

    def test_output_closed_while_trees_are_queued(self):
        path, before = self.button(), self.press_count()
        p = self.spawn_agent()
        # Far more answer bytes than a pipe holds: the agent blocks writing
        # with most of the requests still waiting behind it.
        queued = b"".join(self.line(i, "ax_tree", pid=self.fixture.pid, max=5000) for i in range(150))
        p.stdin.write(queued)
        p.stdin.flush()
        first = json.loads(p.stdout.readline())
        self.assertEqual((first["id"], first["result"]["truncated"]), (0, False))
        p.stdout.close()
        # Requests after the failed writes still run: the press shows on screen.
        p.stdin.write(self.line(1000, "ax_press", pid=self.fixture.pid, path=path))
        p.stdin.write(self.line(1001, "ax_tree", pid=self.fixture.pid))
        p.stdin.flush()
        self.assertIsNone(p.poll(), "the agent must keep running")
        p.stdin.close()
        self.assertEqual(p.wait(timeout=LARGE_WAIT), 0)
        self.assertEqual(p.stderr.read(), b"")
        p.stderr.close()
        self.assertTrue(wait_for(lambda: self.press_count() == before + 1, EVENT_WAIT), self.status())
        # And this agent, which shares the application, is still answered.
        self.assertGreater(len(self.tree()), 10)

    def test_input_ends_mid_line_behind_queued_work(self):
        path, before = self.button(), self.press_count()
        p = self.spawn_agent()
        data = b"".join(self.line(i, "ax_tree", pid=self.fixture.pid) for i in range(40))
        data += self.line(40, "ax_press", pid=self.fixture.pid, path=path)
        data += b'{"id":41,"op":"ax_tr'  # cut off: no answer
        out, err = p.communicate(data, timeout=LARGE_WAIT)
        self.assertEqual((p.returncode, err), (0, b""))
        answers = [json.loads(l) for l in out.decode().splitlines()]
        self.assertEqual([a["id"] for a in answers], list(range(41)))
        for a in answers[:40]:
            self.assertGreater(len(a["result"]["elements"]), 10)
        self.assertEqual(answers[40]["result"], {"ok": True})
        self.assertTrue(wait_for(lambda: self.press_count() == before + 1, EVENT_WAIT), self.status())


if __name__ == "__main__":
    main()
