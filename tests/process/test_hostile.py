"""The built agent against hostile input, over real pipes.

One agent lives through the whole storm: huge and endless lines, garbage,
deep nesting, NUL bytes, bad UTF-8, lone surrogates, every argument of every
operation with every wrong type, numbers far outside every range, enormous
paths, and launcher identifiers that would run something if they ever reached
a shell. Every line that is a JSON object gets exactly one well-formed answer
with its id (a result or a documented error), nothing runs, memory stays
bounded, and a last ordinary request is answered correctly. Each test first
reads up to an answer it asked for, so no answer crosses from one test into
the next.

The agent runs without DISPLAY, so input operations go nowhere and queries
answer empty or false; that is enough here.

With AGENT_SANITIZED=1 (the sanitizer build) resident sizes measure the
sanitizer's allocator rather than the agent: the memory bounds are not
checked and the two bulk tests send a tenth of their volume, which an
unoptimised sanitized agent would take minutes to parse.

Usage: test_hostile.py AGENT
"""
import json
import os
import queue
import subprocess
import sys
import tempfile
import threading
import time
import unittest

AGENT = None
SANITIZED = os.environ.get("AGENT_SANITIZED") == "1"
BULK = 10 if SANITIZED else 1  # divides the volume of the bulk tests

CODES = {"bad_args", "secure_field", "not_running", "stale_element", "open_failed", "helper"}

# Each operation with valid values for its arguments (pid 0 names no
# application) and the kind of each argument, in the order they are read.
OPS = {
    "permissions": ({}, {}),
    "request_permission": ({"kind": "x"}, {"kind": "string"}),
    "apps": ({}, {}),
    "frontmost": ({}, {}),
    "windows": ({}, {}),
    "at": ({"x": 1, "y": 2}, {"x": "coord", "y": "coord"}),
    "display": ({}, {}),
    "focus_info": ({"pid": 0}, {"pid": "pid"}),
    "mouse": ({"x": 1, "y": 2, "kind": "click", "button": "left", "count": 1},
              {"x": "coord", "y": "coord", "kind": "string", "button": "string", "count": "int64"}),
    "drag": ({"from": {"x": 1, "y": 2}, "to": {"x": 3, "y": 4}}, {"from": "pointobj", "to": "pointobj"}),
    "type": ({"text": "a", "pid": 0}, {"pid": "pid", "text": "string"}),
    "key": ({"code": 0, "mods": [], "pid": 0}, {"code": "uint16", "mods": "strings", "pid": "pid"}),
    "scroll": ({"x": 1, "y": 2, "dx": 0, "dy": 1, "pid": 0},
               {"x": "coord", "y": "coord", "dx": "amount", "dy": "amount", "pid": "pid"}),
    "activate": ({"pid": 0}, {"pid": "app"}),
    "launch": ({"bundleId": "", "background": True}, {"bundleId": "string", "background": "bool"}),
    "ax_tree": ({"pid": 0, "depth": 8, "max": 300}, {"pid": "app", "depth": "int64", "max": "int64"}),
    "ax_press_at": ({"pid": 0, "x": 1, "y": 2}, {"pid": "app", "x": "coord", "y": "coord"}),
    "ax_press": ({"pid": 0, "path": "0", "expect": {"role": "AXButton"}},
                 {"pid": "element", "path": "path", "expect": "expect"}),
    "ax_focus": ({"pid": 0, "path": "0", "expect": {"title": ""}}, {"pid": "element", "path": "path", "expect": "expect"}),
    "ax_info": ({"pid": 0, "path": "0", "expect": {}}, {"pid": "element", "path": "path", "expect": "expect"}),
    "ax_set": ({"pid": 0, "path": "0", "expect": None, "value": "v"},
               {"pid": "element", "path": "path", "expect": "expect", "value": "string"}),
    "ax_find": ({"pid": 0, "role": "AXButton", "subrole": "", "title": "a", "text": "b", "depth": 50, "max": 50,
                 "fields": ["frame"]},
                {"pid": "app", "role": "string", "subrole": "string", "title": "string", "text": "string",
                 "depth": "int64", "max": "int64", "fields": "strings"}),
    # "gone" with no application is met at once, and a timeout of 0 ends
    # after one search: no case here waits.
    "ax_wait": ({"pid": 0, "title": "a", "depth": 50, "max": 50, "fields": [], "gone": True, "timeout": 0},
                {"pid": "app", "title": "string", "depth": "int64", "max": "int64", "fields": "strings",
                 "gone": "bool", "timeout": "number"}),
}

# Values of every JSON type; numbers at and past every integer range, signed
# zero, fractions and magnitudes no integer holds. Written as JSON text so that
# integers beyond 64 bits reach the agent exactly as written.
VALUES = ["null", "true", "false", '""', '"7"', '"--help"', "[]", "[1]", '["cmd"]', "{}", '{"x":1,"y":2}',
          "0", "-0", "-0.0", "0.5", "-0.5", "1e-300", "5e-324", "-1", "2.9", "-2.9", "65535.9", "65536",
          "2147483647", "2147483648", "-2147483648", "-2147483649", "9223372036854775807",
          "9223372036854775808", "-9223372036854775808", "-9223372036854775809", "18446744073709551615",
          "18446744073709551616", "1e18", "-1e18", "1e308", "-1e308", "1.7976931348623157e308"]
# Beyond double range: read as an infinity of their sign (Python's json.loads reads them so too).
HUGE = ["1e400", "-1E+400", "17976931348623159e292"]
VALUES += HUGE

RANGES = {  # accepted open intervals before truncation toward zero
    "pid": (-2147483649.0, 2147483648.0), "app": (-2147483649.0, 2147483648.0),
    "element": (-2147483649.0, 2147483648.0), "int64": (None, 9223372036854775808.0),
    "uint16": (-1.0, 65536.0), "amount": (-2147483649.0, 2147483648.0),
}


def number_of(value):
    """The number the agent reads from a value (booleans count), or None."""
    if isinstance(value, bool):
        return 1.0 if value else 0.0
    if isinstance(value, (int, float)):
        return float(value)
    return None


def expectation(op, name, kind, value):
    """(message, code) the answer must be, or None when any well-formed answer will do."""
    n = number_of(value)
    if kind in RANGES:
        if n is None:
            return {"app": ("Missing app", "bad_args"), "element": ("Missing element", "bad_args")}.get(kind)
        lo, hi = RANGES[kind]
        inside = (n >= -9223372036854775808.0 if lo is None else n > lo) and n < hi
        if kind == "amount" and inside and int(n) == -2147483648:
            inside = False
        return None if inside else (f'Number out of range for "{name}"', "bad_args")
    if kind == "coord" and n is None:
        return ("Missing point", "bad_args")
    if kind == "pointobj" and not isinstance(value, dict):
        return ("Missing point", "bad_args")  # no top-level point to fall back on
    if kind == "pointobj" and (number_of(value.get("x")) is None or number_of(value.get("y")) is None):
        return ("Missing point", "bad_args")
    if kind == "path" and not isinstance(value, str):
        return ("Missing element", "bad_args")
    if kind == "expect" and value is not None and (
            not isinstance(value, dict) or any(not isinstance(value.get(k, ""), (str, type(None)))
                                               for k in ("role", "title"))):
        return ('"expect" must be an object of strings', "bad_args")
    return None


def vm(pid, key):
    with open(f"/proc/{pid}/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(key))


class Agent:
    """One agent; answers are collected by a thread so that writing never blocks on them."""

    def __init__(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.p = subprocess.Popen([AGENT], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, env=env)
        self.answers = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.syncs = 0  # markers sent
        self.synced = 0  # markers whose answer was read

    def _read(self):
        for line in self.p.stdout:
            self.answers.put(line)
        self.answers.put(None)

    def send(self, data: bytes):
        self.p.stdin.write(data)
        self.p.stdin.flush()

    def _until(self, marker, deadline):
        """The raw answer lines up to the answer of MARKER (not included)."""
        got = []
        while True:
            try:
                line = self.answers.get(timeout=max(0.1, deadline - time.monotonic()))
            except queue.Empty:
                raise AssertionError(f"no answer to {marker} in time") from None
            if line is None:
                raise AssertionError(f"agent ended (status {self.p.poll()}) before {marker}")
            if json.loads(line).get("id") == marker:
                self.synced = self.syncs
                return got
            got.append(line)

    def answers_until_sync(self, timeout=120):
        """Sends a marker request and returns the raw answer lines before its
        answer and after the previous marker's. When an earlier wait gave up
        before its marker, what was answered up to that marker is read and
        dropped first: it belongs to the earlier test."""
        deadline = time.monotonic() + timeout
        if self.synced < self.syncs:
            self._until(f"sync-{self.syncs}", deadline)
        self.syncs += 1
        marker = f"sync-{self.syncs}"
        self.send(b'{"id":"%s","op":"display"}\n' % marker.encode())
        return self._until(marker, deadline)

    def peak_kib(self):
        return vm(self.p.pid, "VmHWM")

    def reset_peak(self):
        """Starts the high-water mark afresh at the current resident size."""
        with open(f"/proc/{self.p.pid}/clear_refs", "w") as f:
            f.write("5")
        return vm(self.p.pid, "VmRSS")

    def close(self):
        """Ends the input; the exit status and everything written to standard error."""
        self.p.stdin.close()
        err = self.p.stderr.read()
        return self.p.wait(timeout=120), err


class Storm(unittest.TestCase):
    agent = None

    @classmethod
    def setUpClass(cls):
        cls.agent = Agent()
        cls.agent.answers_until_sync()
        cls.baseline_kib = vm(cls.agent.p.pid, "VmRSS")

    @classmethod
    def tearDownClass(cls):
        agent = cls.agent
        # The last word: an ordinary request, answered correctly, then a clean exit.
        agent.send(b'{"id":"final","op":"display"}\n{"id":"final-2","op":"nope"}\n')
        rc, err = agent.close()
        lines = []
        while True:
            line = agent.answers.get(timeout=120)
            if line is None:
                break
            lines.append(json.loads(line))
        assert [l.get("id") for l in lines] == ["final", "final-2"], lines
        assert set(lines[0]["result"]) == {"x", "y", "w", "h"}, lines[0]
        assert lines[1] == {"id": "final-2", "error": "Unknown request", "code": "bad_args"}, lines[1]
        assert rc == 0, f"exit status {rc}"
        print(f"\npeak resident memory over the storm: {cls.final_peak} KiB (at start {cls.baseline_kib} KiB)",
              file=sys.stderr)
        assert err == b"", err[-2000:]

    final_peak = 0

    def setUp(self):
        # Whatever an earlier test left unread is read and dropped here, so
        # that no test sees another's answers.
        self.agent.answers_until_sync()
        self.start_kib = self.agent.reset_peak()

    def tearDown(self):
        if self.agent.p.poll() is None:
            Storm.final_peak = max(Storm.final_peak, self.agent.peak_kib())

    def assertBounded(self, peak_kib, growth_kib):
        """The peak resident size grew by less than `growth_kib` during the test."""
        if not SANITIZED:
            self.assertLess(peak_kib - self.start_kib, growth_kib)

    def well_formed(self, raw, id_text):
        self.assertTrue(raw.endswith(b"\n"), raw)
        self.assertTrue(raw.startswith(b'{"id":' + id_text.encode() + b","), raw[:200])
        answer = json.loads(raw)
        if "result" in answer:
            self.assertEqual(set(answer), {"id", "result"}, raw)
        else:
            self.assertEqual(set(answer), {"id", "error", "code"}, raw)
            self.assertIn(answer["code"], CODES, raw)
            self.assertIsInstance(answer["error"], str)
        return answer

    def test_01_hundred_mebibyte_line_is_dropped_with_bounded_memory(self):
        a = self.agent
        a.send(b'{"id":"big","op":"display","pad":"')
        chunk = b"x" * (1 << 20)
        for _ in range(100):
            a.send(chunk)
        a.send(b'"}\n')
        self.assertEqual(a.answers_until_sync(), [])
        peak = a.peak_kib()
        print(f"\n100 MiB line: peak resident {peak} KiB, {self.start_kib} KiB before", file=sys.stderr)
        # The line cap is 16 MiB: what is kept of a line never exceeds it.
        self.assertBounded(peak, 40 * 1024)

    def test_02_a_million_lines_of_garbage(self):
        a = self.agent
        kinds = [b"garbage %d", b"{%d", b"[%d]", b'{"id":%d', b"%d}", b'"%d"', b"{\x00%d}", b"\xff\xfe%d",
                 b'{"id":%d,"op":"apps",}', b"nul\x00%d", b"{" * 200 + b"%d"]
        start = time.monotonic()
        batch = []
        for i in range(1000000 // BULK):
            batch.append(kinds[i % len(kinds)] % i)
            if len(batch) == 50000:
                a.send(b"\n".join(batch) + b"\n")
                batch = []
        if batch:
            a.send(b"\n".join(batch) + b"\n")
        got = a.answers_until_sync()
        took = time.monotonic() - start
        print(f"\n{1000000 // BULK} garbage lines: {took:.1f} s, peak resident {a.peak_kib()} KiB", file=sys.stderr)
        self.assertEqual(got, [])
        self.assertBounded(a.peak_kib(), 40 * 1024)

    def test_03_pipelined_large_requests_wait_behind_a_slow_one(self):
        a = self.agent
        # Typing 8000 units takes 6 s (500 pieces of 12 ms): long enough for the
        # reader to take in all of what follows if nothing held it back.
        a.send(b'{"id":"slow","op":"type","text":"' + b"x" * 8000 + b'"}\n')
        big = b'{"id":"big","op":"nope","pad":"' + b"y" * (10 << 20) + b'"}\n'
        lines = 30 // BULK  # 300 MiB of requests queued behind it
        for _ in range(lines):
            a.send(big)
        got = a.answers_until_sync(timeout=300)
        self.assertEqual(len(got), lines + 1)
        self.assertEqual(json.loads(got[0]), {"id": "slow", "result": {"ok": True}})
        peak = a.peak_kib()
        print(f"\n{lines} x 10 MiB behind a slow request: peak resident {peak} KiB, {self.start_kib} KiB before",
              file=sys.stderr)
        # The reader stays at most two line caps of text ahead of the answers.
        self.assertBounded(peak, 128 * 1024)

    def test_04_deep_nesting_inside_and_past_the_limit(self):
        a = self.agent
        deep = lambda n: b"[" * n + b"]" * n
        a.send(b'{"id":1,"op":"ax_tree","pid":' + deep(127) + b"}\n")              # depth 128: read
        a.send(b'{"id":2,"op":"type","text":' + deep(128) + b"}\n")                # 129: dropped
        a.send(b'{"id":' + deep(127) + b',"op":"display"}\n')                        # id of depth 127
        a.send(b'{"id":4,"op":"at","x":' + b'{"a":' * 200 + b"1" + b"}" * 201 + b"\n")  # far too deep
        a.send(b"[" * 2000000 + b"\n")
        a.send(b'{"id":5,"op":"key","mods":' + b'{"a":' * 126 + b"1" + b"}" * 126 + b"}\n")
        got = a.answers_until_sync()
        self.assertEqual(len(got), 3, got)
        self.assertEqual(self.well_formed(got[0], "1")["error"], "Missing app")
        self.assertIn("result", self.well_formed(got[1], deep(127).decode()))
        self.assertIn("result", self.well_formed(got[2], "5"))

    def test_05_nul_bytes_bad_utf8_and_lone_surrogates(self):
        a = self.agent
        dropped = [b'{"id":1,"op":"type","text":"a\x00b"}', b'{"id":2\x00,"op":"apps"}', b"\x00" * 1000,
                   b'{"id":3,"op":"type","text":"\xff\xfe"}', b'{"id":"\xc0\xaf","op":"apps"}',
                   b'{"id":4,"op":"type","text":"\xed\xa0\x80"}',   # an encoded surrogate
                   # Two number tokens where the id should be, one of them beyond double range.
                   b'{"id":9 88888888888888888888888888888888e400,"op":"apps"}']
        for line in dropped:
            a.send(line + b"\n")
        self.assertEqual(a.answers_until_sync(), [])
        kept = [(b'"t1"', b'{"id":"t1","op":"type","text":"a\\u0000b"}'),
                (b'"\\u0000"', b'{"id":"\\u0000","op":"apps"}'),
                (b'"t3"', b'{"id":"t3","op":"launch","bundleId":"org.example\\u0000--help"}'),
                (b'"t4"', b'{"id":"t4","op":"type","text":"\\ud83d\\ude00\\r\\n\\uffff\\ufffe"}'),
                (b'"t5"', b'{"id":"t5","op":"ax_set","pid":0,"path":"0\\u0000.1","value":"\\u0000"}'),
                # Lone surrogate escapes read as U+FFFD; an id holding one comes back as sent.
                (b'5', b'{"id":5,"op":"type","text":"\\ud800"}'),
                (b'"\\udc00"', b'{"id":"\\udc00","op":"apps"}'),
                (b'6', b'{"id":6,"op":"type","text":"\\ud800\\ud800"}'),
                (b'7', b'{"id":7,"op":"launch","bundleId":"x\\udfff"}')]
        for _, line in kept:
            a.send(line + b"\n")
        got = a.answers_until_sync()
        self.assertEqual(len(got), len(kept), got)
        for raw, (id_text, _) in zip(got, kept):
            self.well_formed(raw, id_text.decode())
        launched = json.loads(got[2])
        self.assertEqual((launched["error"], launched["code"]), ("Could not open that app", "open_failed"))

    def test_06_every_argument_of_every_operation_with_every_wrong_type(self):
        a = self.agent
        cases = []
        for op, (base, kinds) in OPS.items():
            for name, kind in kinds.items():
                for text in VALUES:
                    args = {k: json.dumps(v) for k, v in base.items()}
                    args[name] = text
                    body = ",".join(f'"{k}":{v}' for k, v in args.items())
                    n = len(cases)
                    cases.append((n, op, name, json.loads(text), f'{{"id":{n},"op":"{op}",{body}}}'))
            # An unknown extra argument of every type changes nothing.
            for text in VALUES[:11] + HUGE:
                body = ",".join(f'"{k}":{json.dumps(v)}' for k, v in base.items())
                n = len(cases)
                line = f'{{"id":{n},"op":"{op}","zz":{text}' + ("," + body if body else "") + "}"
                cases.append((n, op, "zz", None, line))
        # "op" itself of every type.
        for text in VALUES:
            n = len(cases)
            cases.append((n, None, "op", json.loads(text), f'{{"id":{n},"op":{text}}}'))
        a.send("".join(line + "\n" for *_, line in cases).encode())
        got = a.answers_until_sync(timeout=300)
        self.assertEqual(len(got), len(cases))
        failures = []
        for raw, (n, op, name, value, line) in zip(got, cases):
            answer = self.well_formed(raw, str(n))
            if op is None:
                want = ("Unknown request", "bad_args")
            elif name == "zz":
                want = None
            else:
                want = expectation(op, name, OPS[op][1][name], value)
            seen = (answer.get("error"), answer.get("code"))
            if want and seen != want:
                failures.append(f"{line} -> {raw!r}, expected {want}")
            if not want and answer.get("code") == "bad_args" and op is not None:
                failures.append(f"{line} -> {raw!r}, expected no argument error")
        self.assertEqual(failures, [], "\n".join(failures[:20]))
        print(f"\n{len(cases)} argument cases answered", file=sys.stderr)

    def test_07_huge_numbers_paths_and_counts(self):
        a = self.agent
        lines = [
            b'{"id":1,"op":"ax_tree","pid":0,"depth":1e18,"max":1e18}',
            b'{"id":2,"op":"ax_tree","pid":0,"depth":-1e18,"max":-1e18}',
            b'{"id":3,"op":"mouse","x":1,"y":2,"kind":"move","count":1e18}',
            b'{"id":4,"op":"ax_press","pid":0,"path":"' + b"0." * 1000000 + b'0"}',
            b'{"id":5,"op":"ax_info","pid":0,"path":"' + b"." * 3000000 + b'"}',
            b'{"id":6,"op":"ax_focus","pid":0,"path":"' + b"99999999999999999999." * 500000 + b'"}',
            b'{"id":7,"op":"ax_set","pid":0,"path":"' + b"-9223372036854775808." * 400000 + b'","value":"v"}',
            b'{"id":8,"op":"type","text":"' + b"\\ud83d\\ude00" * 160 + b'","pid":0}',
            b'{"id":9,"op":"key","mods":[' + b'"cmd",' * 500000 + b'"fn"]}',
        ]
        for line in lines:
            a.send(line + b"\n")
        got = a.answers_until_sync(timeout=300)
        self.assertEqual(len(got), len(lines), got)
        answers = [self.well_formed(raw, str(i + 1)) for i, raw in enumerate(got)]
        self.assertEqual(answers[0]["result"]["truncated"], False)
        self.assertEqual(answers[1]["result"], {"elements": [], "truncated": False})
        self.assertEqual(answers[2]["result"], {"ok": True})
        for answer in answers[3:7]:
            self.assertEqual(answer.get("code"), "stale_element", answer)
        self.assertBounded(a.peak_kib(), 200 * 1024)

    def test_08_launcher_identifiers_run_nothing(self):
        a = self.agent
        with tempfile.TemporaryDirectory() as tmp:
            canary = os.path.join(tmp, "pwned")
            ids = ["--help", "-e", "-b", "-a", "a;rm -rf " + tmp, f"$(touch {canary})", f"`touch {canary}`",
                   f"; touch {canary}", f"| touch {canary}", f"&& touch {canary} &&", f"x\ntouch {canary}",
                   f"'; touch {canary}; '", f'"; touch {canary}; "', "../../../../bin/sh", "/bin/sh -c id",
                   f"-e touch {canary}", "`id`", "$(id)", "%s%s%n", "a" * 100000]
            lines = [json.dumps({"id": i, "op": "launch", "bundleId": b, "background": bg})
                     for i, b in enumerate(ids) for bg in (True, False)]
            a.send("".join(l + "\n" for l in lines).encode())
            got = a.answers_until_sync()
            self.assertEqual(len(got), len(lines))
            for raw, line in zip(got, lines):
                answer = self.well_formed(raw, str(json.loads(line)["id"]))
                self.assertTrue("result" in answer or answer["code"] in ("open_failed", "helper"), raw)
            time.sleep(0.2)
            self.assertEqual(os.listdir(tmp), [], "a launcher identifier ran a command")


if __name__ == "__main__":
    AGENT = sys.argv.pop(1)
    unittest.main(verbosity=2)
