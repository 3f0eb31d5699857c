"""The built agent over real pipes: framing, ordering, id echo, malformed and
oversized lines, end of input and exit status, silence on standard error.

Usage: test_channel.py AGENT
"""
import ctypes
import json
import mmap
import os
import subprocess
import sys
import threading
import time
import unittest

AGENT = None


def run(data: bytes, timeout=120):
    """Feeds `data` to a fresh agent, closes its input, returns (lines, stderr, status)."""
    p = subprocess.run([AGENT], input=data, capture_output=True, timeout=timeout)
    lines = p.stdout.split(b"\n")
    assert lines[-1] == b"", "output must end with LF"
    return lines[:-1], p.stderr, p.returncode


def unknown(id_text: str) -> bytes:
    return b'{"id":' + id_text.encode() + b',"error":"Unknown request","code":"bad_args"}'


class Framing(unittest.TestCase):
    def test_end_of_input_at_once_exits_zero_silently(self):
        lines, err, rc = run(b"")
        self.assertEqual((lines, err, rc), ([], b"", 0))

    def test_requests_answered_in_order_then_exit_zero(self):
        lines, err, rc = run(b'{"id":1,"op":"x"}\n{"id":2,"op":"y"}\n{"id":3,"op":"z"}\n')
        self.assertEqual(lines, [unknown("1"), unknown("2"), unknown("3")])
        self.assertEqual((err, rc), (b"", 0))

    def test_queued_requests_are_all_drained_at_end_of_input(self):
        n = 20000
        data = b"".join(b'{"id":%d,"op":"nope"}\n' % i for i in range(n))
        lines, err, rc = run(data)
        self.assertEqual(len(lines), n)
        self.assertEqual([json.loads(l)["id"] for l in lines], list(range(n)))
        self.assertEqual((err, rc), (b"", 0))

    def test_crlf_and_last_line_without_lf(self):
        lines, _, rc = run(b'{"id":1,"op":"a"}\r\n{"id":2,"op":"b"}')
        self.assertEqual(lines, [unknown("1"), unknown("2")])
        self.assertEqual(rc, 0)

    def test_malformed_lines_get_no_answer_and_do_not_disturb_the_next(self):
        bad = [b"plain words", b"[1,2]", b"42", b'"text"', b"null", b"", b"   ", b"{", b'{"id":1,}',
               b'{"a":"\xff\xfe"}', b'{"a":"x\x00y"}', b"\x00", b'{"id":1} trailing',
               b"[" * 129 + b"]" * 129, b'{"a":' + b"[" * 128 + b"]" * 128 + b"}",
               b"[" * 1000000]
        data = b"".join(line + b'\n{"id":%d,"op":"n"}\n' % i for i, line in enumerate(bad))
        lines, err, rc = run(data)
        self.assertEqual(lines, [unknown(str(i)) for i in range(len(bad))])
        self.assertEqual((err, rc), (b"", 0))

    def test_nesting_up_to_the_limit_is_accepted(self):
        lines, _, _ = run(b'{"id":1,"a":' + b"[" * 127 + b"]" * 127 + b"}\n")
        self.assertEqual(lines, [unknown("1")])


class IdEcho(unittest.TestCase):
    def test_every_json_value_comes_back_unchanged(self):
        ids = ["7", '"seven"', "null", "true", "false", '{"a":[1,{"b":null}]}', "[]", "{}",
               "-0", "-0.0", "123456789012345678901234567890", "0.1000000000000000000000000001",
               "1e400", "-1E-400", '"\\u00e9\\n\\"q\\""', '"é 😀"']
        data = b"".join(b'{"op":"n","id":' + i.encode() + b"}\n" for i in ids)
        lines, _, _ = run(data)
        self.assertEqual(lines, [unknown(i) for i in ids])

    def test_absent_id_is_null_and_blanks_inside_an_id_are_dropped(self):
        lines, _, _ = run(b'{"op":"n"}\n{}\n{"id" : [ 1 , "a b" ] ,"op":"n"}\n')
        self.assertEqual(lines, [unknown("null"), unknown("null"), unknown('[1,"a b"]')])

    def test_same_id_twice_gives_two_answers(self):
        lines, _, _ = run(b'{"id":5}\n{"id":5}\n')
        self.assertEqual(lines, [unknown("5"), unknown("5")])


class HugeNumbers(unittest.TestCase):
    def test_numbers_beyond_double_range_are_read_as_infinities(self):
        lines, err, rc = run(b'{"id":4,"op":"display","junk":1e400}\n'
                             b'{"id":5,"op":"scroll","x":1,"y":1,"dx":1e400}\n'
                             b'{"id":6,"op":"ax_tree","pid":0,"depth":[1e400],"max":-1E+999}\n'
                             b'{"id":-1e400,"op":"scroll","x":1,"y":1,"dy":1e999}\n'
                             b'{"id":7,"op":"nope","a":{"b":[1e400,-1e400]}}\n')
        self.assertEqual(len(lines), 5, lines)
        self.assertEqual(set(json.loads(lines[0])), {"id", "result"})
        self.assertEqual(lines[1], b'{"id":5,"error":"Number out of range for \\"dx\\"","code":"bad_args"}')
        self.assertEqual(lines[2], b'{"id":6,"error":"Number out of range for \\"max\\"","code":"bad_args"}')
        self.assertEqual(lines[3], b'{"id":-1e400,"error":"Number out of range for \\"dy\\"","code":"bad_args"}')
        self.assertEqual(lines[4], unknown("7"))
        self.assertEqual((err, rc), (b"", 0))


class Limits(unittest.TestCase):
    def test_overlong_line_is_dropped_with_bounded_memory(self):
        p = subprocess.Popen([AGENT], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        chunk = b"x" * (1 << 20)
        p.stdin.write(b'{"id":0,"pad":"')
        for _ in range(64):  # 64 MiB in one line
            p.stdin.write(chunk)
        p.stdin.write(b'"}\n{"id":1,"op":"n"}\n')
        p.stdin.flush()
        self.assertEqual(p.stdout.readline(), unknown("1") + b"\n")
        with open(f"/proc/{p.pid}/status") as f:
            peak_kib = next(int(l.split()[1]) for l in f if l.startswith("VmHWM"))
        out, err = p.communicate(b"", timeout=120)
        self.assertEqual((out, err, p.returncode), (b"", b"", 0))
        if os.environ.get("AGENT_SANITIZED") != "1":  # ASan's quarantine and shadow would dominate
            self.assertLess(peak_kib, 64 * 1024, "resident memory must stay bounded")

    def test_line_of_exactly_the_cap_is_read(self):
        cap = 16 << 20
        head = b'{"id":1,"op":"n","pad":"'
        line = head + b"y" * (cap - len(head) - 2) + b'"}'
        self.assertEqual(len(line), cap)
        lines, _, _ = run(line + b"\n" + line + b"z\n{\"id\":2}\n")
        self.assertEqual(lines, [unknown("1"), unknown("2")])


def cpu_seconds(pid):
    """User and system time the process has used so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class InputErrors(unittest.TestCase):
    def test_non_blocking_input_is_waited_on_until_it_ends(self):
        r, w = os.pipe()
        os.set_blocking(r, False)  # the agent's reads find the pipe empty between requests
        p = subprocess.Popen([AGENT], stdin=r, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        os.close(r)
        try:
            for i in range(5):
                time.sleep(0.05)
                os.write(w, b'{"id":%d,' % i)
                time.sleep(0.05)  # a request split across reads
                os.write(w, b'"op":"n"}\n')
                self.assertEqual(p.stdout.readline(), unknown(str(i)) + b"\n")
            # Idle on an empty non-blocking pipe: the agent waits without spinning.
            before = cpu_seconds(p.pid)
            time.sleep(1)
            self.assertIsNone(p.poll(), "agent must keep running while its input is open")
            self.assertLess(cpu_seconds(p.pid) - before, 0.3)
            os.write(w, b'{"id":5,"op":"n"}')
        finally:
            os.close(w)
        self.assertEqual(p.stdout.read(), unknown("5") + b"\n")
        self.assertEqual(p.wait(timeout=120), 0)
        self.assertEqual(p.stderr.read(), b"")
        p.stdout.close()
        p.stderr.close()

    def test_input_that_cannot_be_read_ends_the_agent_with_status_1(self):
        fd = os.open(os.path.dirname(os.path.abspath(__file__)), os.O_RDONLY)  # reading gives EISDIR
        try:
            p = subprocess.run([AGENT], stdin=fd, capture_output=True, timeout=120)
        finally:
            os.close(fd)
        self.assertEqual((p.stdout, p.stderr, p.returncode), (b"", b"", 1))

    def test_lasting_read_error_answers_what_came_before_then_status_1(self):
        # The input is this process's own memory, read through /proc: the
        # requests end a page of a file mapping two pages, so reading on past
        # them fails with EIO, and keeps failing.
        libc = ctypes.CDLL(None, use_errno=True)
        libc.mmap.restype = ctypes.c_void_p
        libc.mmap.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                              ctypes.c_long]
        libc.munmap.argtypes = [ctypes.c_void_p, ctypes.c_size_t]
        page = mmap.PAGESIZE
        data = b'{"id":1,"op":"n"}\n{"id":2,"op":"n"}\n{"id":3,"op":"n"}'  # the last without LF
        f = os.memfd_create("agent-input")
        os.ftruncate(f, page)
        os.pwrite(f, data, page - len(data))
        at = libc.mmap(None, 2 * page, mmap.PROT_READ, mmap.MAP_SHARED, f, 0)
        self.assertNotIn(at, (None, ctypes.c_void_p(-1).value), os.strerror(ctypes.get_errno()))
        mem = os.open("/proc/self/mem", os.O_RDONLY)
        try:
            os.lseek(mem, at + page - len(data), os.SEEK_SET)
            p = subprocess.run([AGENT], stdin=mem, capture_output=True, timeout=120)
        finally:
            os.close(mem)
            libc.munmap(at, 2 * page)
            os.close(f)
        self.assertEqual(p.stdout, b"".join(unknown(str(i)) + b"\n" for i in (1, 2, 3)))
        self.assertEqual((p.stderr, p.returncode), (b"", 1))


class ClosedOutput(unittest.TestCase):
    def test_closed_stdout_does_not_kill_the_agent(self):
        r, w = os.pipe()
        p = subprocess.Popen([AGENT], stdin=subprocess.PIPE, stdout=w, stderr=subprocess.PIPE)
        os.close(w)
        os.close(r)  # every write now fails with EPIPE
        for i in range(1000):
            p.stdin.write(b'{"id":%d,"op":"n"}\n' % i)
        p.stdin.flush()
        time.sleep(0.2)
        self.assertIsNone(p.poll(), "agent must keep running")
        p.stdin.close()
        self.assertEqual(p.wait(timeout=120), 0)
        self.assertEqual(p.stderr.read(), b"")

    def test_output_closed_by_the_reader_while_answers_are_queued(self):
        p = subprocess.Popen([AGENT], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
        n = 50000  # about 3 MB of answers: the agent blocks writing, the rest wait
        p.stdin.write(b"".join(b'{"id":%d,"op":"n"}\n' % i for i in range(n)))
        p.stdin.flush()
        self.assertEqual(p.stdout.readline(), unknown("0") + b"\n")
        p.stdout.close()  # the blocked write and every later one fail with EPIPE
        time.sleep(0.2)
        self.assertIsNone(p.poll(), "agent must keep running")
        p.stdin.write(b'{"id":%d,"op":"n"}\n' % n)
        p.stdin.close()
        self.assertEqual(p.wait(timeout=120), 0)
        self.assertEqual(p.stderr.read(), b"")
        p.stderr.close()

    def test_input_closed_mid_line_answers_the_partial_line_if_it_parses(self):
        lines, _, rc = run(b'{"id":1}\n{"id":2,"op"')
        self.assertEqual((lines, rc), ([unknown("1")], 0))


if __name__ == "__main__":
    AGENT = sys.argv.pop(1)
    unittest.main(verbosity=2)
