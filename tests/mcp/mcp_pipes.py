"""agent-mcp over real pipes: a fresh server per test, its answer lines read
by a thread, each answer taken by its id.

The first argument of every test file is the agent-mcp executable.
"""
import json
import os
import queue
import subprocess
import sys
import threading

SERVER = None

# Ten times and more what anything here takes on a quiet machine.
WAIT = 120

# The environment of a desktop without a display or any bus.
NO_DESKTOP = {k: v for k, v in os.environ.items()
              if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS")}


def take_argument():
    """Takes the server's path from the command line, leaving unittest's arguments."""
    global SERVER
    SERVER = sys.argv.pop(1)
    return SERVER


def run(data: bytes, env=NO_DESKTOP, timeout=WAIT):
    """Feeds `data` to a fresh server, closes its input; returns (answers, stderr, status).
    Every line of output must be a JSON object."""
    p = subprocess.run([SERVER], input=data, capture_output=True, env=env, timeout=timeout)
    assert p.stdout == b"" or p.stdout.endswith(b"\n"), "output must end with LF"
    return [json.loads(line) for line in p.stdout.splitlines()], p.stderr, p.returncode


def message(method, params=None, id=None):
    m = {"jsonrpc": "2.0", "method": method}
    if params is not None:
        m["params"] = params
    if id is not None:
        m["id"] = id
    return m


def lines(*messages) -> bytes:
    """Messages (objects, or raw bytes taken as they are) as input lines."""
    return b"".join((m if isinstance(m, bytes) else json.dumps(m).encode()) + b"\n" for m in messages)


class Server:
    """One running server; `command` wraps it (tools/desktop-session, say)."""

    def __init__(self, command=(), env=NO_DESKTOP):
        self.proc = subprocess.Popen([*command, SERVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env=env)
        self.answers = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        self.next_id = 1

    def _read(self):
        for line in self.proc.stdout:
            self.answers.put(line)
        self.answers.put(None)

    def send(self, *messages):
        self.proc.stdin.write(lines(*messages))
        self.proc.stdin.flush()

    def next_answer(self):
        """The next line the server writes, as JSON; None at its end."""
        line = self.answers.get(timeout=WAIT)
        return None if line is None else json.loads(line)

    def request(self, method, params=None):
        """Sends a request and returns its answer, which must be the next line."""
        id = self.next_id
        self.next_id += 1
        self.send(message(method, params, id))
        answer = self.next_answer()
        assert answer is not None and answer.get("id") == id, answer
        return answer

    def call(self, name, arguments=None):
        params = {"name": name}
        if arguments is not None:
            params["arguments"] = arguments
        return self.request("tools/call", params)

    def initialize(self, version="2025-06-18"):
        answer = self.request("initialize", {"protocolVersion": version, "capabilities": {},
                                             "clientInfo": {"name": "test", "version": "1"}})
        self.send(message("notifications/initialized"))
        return answer

    def close(self):
        """Ends the input; returns (stderr, status)."""
        self.proc.stdin.close()
        status = self.proc.wait(timeout=WAIT)
        rest = self.answers.get(timeout=WAIT)
        assert rest is None, "unexpected answer %r" % rest
        err = self.proc.stderr.read()
        self.proc.stdout.close()
        self.proc.stderr.close()
        return err, status

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for f in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            try:
                f.close()
            except OSError:
                pass
