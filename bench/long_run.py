"""A long run of the agent on a private headless desktop with the GTK3
accessibility fixture: many mixed requests (queries, small trees, element
reads, hit tests, unknown operations, bad arguments, malformed lines), kept
a few dozen deep in the agent's input. Prints the agent's resident memory
after a warm-up, at checkpoints and at the end, and the ratio end/start.

Usage: /usr/bin/python3 long_run.py AGENT [--requests N] [--apps N] [--valgrind LOG]

With --apps N, N more applications then come and go one after the other
(each read a few times, then killed), and the growth of resident memory per
application is printed.

With --valgrind the agent runs under valgrind's leak checker (its report
goes to LOG) and the leak summary is printed at the end; resident memory is
then valgrind's own and says little."""
import argparse
import json
import os
import random
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
from harness import Desktop, Fixture, fixture_near  # noqa: E402

IN_FLIGHT = 32  # requests written and not yet answered, at most
MALFORMED = [b"not json", b"{", b"[1,2]", b'{"id":1,}', b"\"text\"", b"{\"a\":\"\xff\"}", b"   "]


def mix(pid, rng):
    """(weight, request maker): one line of JSON object, or a malformed line (None)."""
    return [
        (8, lambda: {"op": "windows"}),
        (8, lambda: {"op": "apps"}),
        (8, lambda: {"op": "display"}),
        (6, lambda: {"op": "permissions"}),
        (6, lambda: {"op": "frontmost"}),
        (10, lambda: {"op": "ax_tree", "pid": pid, "depth": rng.choice((1, 2, 3)), "max": 50}),
        (8, lambda: {"op": "focus_info", "pid": pid}),
        (4, lambda: {"op": "focus_info"}),
        (8, lambda: {"op": "ax_info", "pid": pid, "path": rng.choice(("0", "0.0", "0.0.1", "0.0.4", "0.9.9"))}),
        (6, lambda: {"op": "at", "x": rng.randrange(0, 1280), "y": rng.randrange(0, 800)}),
        (4, lambda: {"op": "ax_press_at", "pid": pid, "x": rng.randrange(60, 700), "y": 120}),
        (6, lambda: {"op": rng.choice(("nope", "AX_TREE", "", "windows "))}),
        (4, lambda: {"op": "ax_tree"}),  # no pid: bad arguments
        (4, lambda: {"op": "ax_tree", "pid": pid, "depth": 1e300}),  # out of range
        (5, lambda: None),
    ]


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Run:
    def __init__(self, agent, pid, total, seed):
        self.proc = agent
        self.total = total
        self.rng = random.Random(seed)
        self.choices = mix(pid, self.rng)
        self.weights = [w for w, _ in self.choices]
        self.slots = threading.Semaphore(IN_FLIGHT)
        self.expected = []  # ids in the order their answers must come
        self.lock = threading.Lock()
        self.answered = 0
        self.errors = 0
        self.failure = None
        self.written = False  # every line is written
        self.finished = False  # every answer is read: the watch ends

    def write(self):
        try:
            for i in range(self.total):
                make = self.rng.choices(self.choices, weights=self.weights)[0][1]
                request = make()
                if request is None:
                    line = self.rng.choice(MALFORMED)
                else:
                    self.slots.acquire()
                    request["id"] = i
                    with self.lock:
                        self.expected.append(i)
                    line = json.dumps(request).encode()
                self.proc.stdin.write(line + b"\n")
                if request is not None:
                    self.proc.stdin.flush()
            self.proc.stdin.flush()
        except Exception as e:  # the reader reports the agent's end
            self.failure = self.failure or "writer: %r" % e
        with self.lock:
            self.written = True

    def read_rest(self):
        """Reads answers until every request written has its answer."""
        while True:
            with self.lock:
                done = self.written and self.answered >= len(self.expected)
            if done:
                return True
            if not self.read_until(self.answered + 1):
                return False

    def read_until(self, count):
        """Reads answers until `count` have come; False when the agent ended."""
        while self.answered < count:
            raw = self.proc.stdout.readline()
            if not raw:
                self.failure = self.failure or "agent ended after %d answers" % self.answered
                return False
            answer = json.loads(raw)
            with self.lock:
                want = self.expected[self.answered]
            if answer.get("id") != want or ("result" in answer) == ("error" in answer):
                self.failure = "answer %d out of order or malformed: %s" % (self.answered, raw[:200])
                return False
            self.errors += "error" in answer
            self.answered += 1
            self.slots.release()
        return True


def watch(run):
    """Ends an agent that stopped answering for a minute."""
    last, since = -1, time.monotonic()
    while run.proc.poll() is None and not run.finished:
        time.sleep(1)
        if run.answered != last:
            last, since = run.answered, time.monotonic()
        elif time.monotonic() - since > 60:
            run.failure = run.failure or "no answer for 60 s after %d answers" % run.answered
            run.proc.kill()
            run.slots.release(IN_FLIGHT + run.total)  # the writer meets the closed pipe
            return


def churn(desktop, agent, count, fixture_path):
    """Applications that come, are read, and go; resident memory per application."""
    def ask(line):
        agent.stdin.write(json.dumps(line).encode() + b"\n")
        agent.stdin.flush()
        if not agent.stdout.readline():
            raise RuntimeError("agent ended")

    before = None
    for i in range(count):
        app = Fixture(desktop, path=fixture_path)
        for _ in range(3):
            ask({"op": "ax_tree", "pid": app.pid, "depth": 50, "max": 1000})
            ask({"op": "focus_info", "pid": app.pid})
        app.proc.kill()
        app.proc.wait()
        ask({"op": "ax_tree", "pid": app.pid})
        if i == 1:
            before = rss_kib(agent.pid)  # after the first ones, which set things up
    after = rss_kib(agent.pid)
    if before is not None and count > 2:
        print("applications come and gone: %d; VmRSS %d KiB after the second, %d KiB after the last, "
              "%.1f KiB per application" % (count, before, after, (after - before) / (count - 2)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("agent")
    parser.add_argument("--requests", type=int, default=100000)
    parser.add_argument("--valgrind", metavar="LOG")
    parser.add_argument("--apps", type=int, default=0)
    parser.add_argument("--seed", type=int, default=1)
    options = parser.parse_args()

    desktop = Desktop()
    try:
        fixture = Fixture(desktop, path=fixture_near(options.agent))
        env = dict(desktop.env)
        argv = [options.agent]
        if options.valgrind:
            env.update(G_SLICE="always-malloc", G_DEBUG="gc-friendly")
            argv = ["valgrind", "--leak-check=full", "--num-callers=40", "--log-file=" + options.valgrind] + argv
        agent = subprocess.Popen(argv, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        run = Run(agent, fixture.pid, options.requests, options.seed)
        writer = threading.Thread(target=run.write, daemon=True)
        start = time.monotonic()
        writer.start()

        # The number of answers is not known in advance (malformed lines get
        # none): checkpoints go by answers, at about each tenth of the run.
        warm = max(1, options.requests // 50)
        marks = [warm] + [options.requests * k // 10 for k in range(1, 10)]
        samples = []
        watchdog = threading.Thread(target=watch, args=(run,), daemon=True)
        watchdog.start()
        print(" answers  seconds  VmRSS KiB")
        for mark in marks:
            if not run.read_until(int(mark * 0.95)):  # malformed lines are about 4 % of the mix
                break
            samples.append(rss_kib(agent.pid))
            print("%8d %8.1f %10d" % (run.answered, time.monotonic() - start, samples[-1]))
        if run.failure is None and run.read_rest():
            samples.append(rss_kib(agent.pid))
            print("%8d %8.1f %10d" % (run.answered, time.monotonic() - start, samples[-1]))
        writer.join()
        elapsed = time.monotonic() - start
        # The applications that come and go are read without the watch: under
        # valgrind they take longer than it allows between two answers.
        run.finished = True
        watchdog.join()
        if run.failure is None and options.apps > 0:
            churn(desktop, agent, options.apps, fixture_near(options.agent))
        agent.stdin.close()
        status = agent.wait(timeout=600)
        agent.stdout.close()
        print("answers: %d (%d errors) to %d lines in %.1f s, %.0f requests/s; exit status %d"
              % (run.answered, run.errors, options.requests, elapsed, options.requests / elapsed, status))
        if samples:
            print("VmRSS after warm-up %d KiB, at the end %d KiB, ratio %.3f, peak sample %d KiB"
                  % (samples[0], samples[-1], samples[-1] / samples[0], max(samples)))
        if options.valgrind:
            with open(options.valgrind) as f:
                report = f.read()
            summary = report[report.find("LEAK SUMMARY"):] if "LEAK SUMMARY" in report else "no leak summary"
            print("valgrind (%s):" % options.valgrind)
            for line in summary.splitlines()[:8]:
                print("  " + line.split("== ", 1)[-1])
            for line in report.splitlines():
                if "ERROR SUMMARY" in line:
                    print("  " + line.split("== ", 1)[-1])
        if run.failure:
            print("FAILED: " + run.failure)
            return 1
        return 0 if status == 0 else 1
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
