"""The agent over pipes, for the desktop tests and benchmarks: one request at
a time, each answer read back with a timeout and matched to its id. Also the
polling wait the harnesses share."""
import json
import os
import select
import subprocess
import time


def wait_for(predicate, timeout, step=0.05):
    """Polls until `predicate` returns something true, or the timeout passes;
    its last value."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


class Agent:
    def __init__(self, path, env=None):
        self.proc = subprocess.Popen([path], env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        self.next_id = 0
        self.buffer = b""
        self.last_line = b""  # the last answer as it was written

    def request(self, op, timeout=15, **args):
        """Sends one request and returns its parsed answer line."""
        self.next_id += 1
        line = dict(args, id=self.next_id, op=op)
        self.proc.stdin.write((json.dumps(line) + "\n").encode())
        self.proc.stdin.flush()
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.proc.stdout], [], [], left)[0]:
                raise AssertionError("no answer to %s within %g s" % (json.dumps(line), timeout))
            chunk = os.read(self.proc.stdout.fileno(), 1 << 20)
            if not chunk:
                raise AssertionError("the agent ended (status %s) before answering %s"
                                     % (self.proc.wait(), json.dumps(line)))
            self.buffer += chunk
        raw, self.buffer = self.buffer.split(b"\n", 1)
        self.last_line = raw
        answer = json.loads(raw)
        if answer.get("id") != self.next_id:
            raise AssertionError("answer %s to request %s" % (raw, json.dumps(line)))
        return answer

    def result(self, op, timeout=15, **args):
        """The "result" of a request that must succeed."""
        answer = self.request(op, timeout, **args)
        if "result" not in answer:
            raise AssertionError("%s %s answered %s" % (op, json.dumps(args), json.dumps(answer)))
        return answer["result"]

    def close(self):
        """Ends the input; the exit status (or why there is none) and standard error."""
        self.proc.stdin.close()
        try:
            status = self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            status = "killed: it did not exit at the end of its input"
            self.proc.wait()
        err = self.proc.stderr.read()
        self.proc.stdout.close()
        self.proc.stderr.close()
        return status, err
