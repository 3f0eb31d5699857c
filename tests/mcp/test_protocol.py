"""agent-mcp's JSON-RPC over real pipes: the handshake and its versions,
ping, notifications, ids, every JSON-RPC error and serving on after it, the
line guards, end of input and a closed standard output.

Usage: test_protocol.py AGENT_MCP [unittest arguments]
"""
import json
import os
import subprocess
import time
import unittest

import mcp_pipes
from mcp_pipes import Server, lines, message, run

PARSE, INVALID, NO_METHOD, BAD_PARAMS = -32700, -32600, -32601, -32602


def ping(id):
    return message("ping", id=id)


def pong(id):
    return {"jsonrpc": "2.0", "id": id, "result": {}}


def init(version, id=1):
    return message("initialize", {"protocolVersion": version, "capabilities": {},
                                  "clientInfo": {"name": "t", "version": "0"}}, id)


class Handshake(unittest.TestCase):
    def test_versions_are_negotiated(self):
        asked = ["2025-06-18", "2025-03-26", "2024-11-05", "2099-01-01", "1.0"]
        answered = ["2025-06-18", "2025-03-26", "2024-11-05", "2025-06-18", "2025-06-18"]
        answers, _, _ = run(lines(*(init(v, i) for i, v in enumerate(asked))))
        self.assertEqual([a["id"] for a in answers], list(range(len(asked))))
        self.assertEqual([a["result"]["protocolVersion"] for a in answers], answered)

    def test_server_info_and_capabilities(self):
        with Server() as server:
            result = server.initialize()["result"]
            self.assertEqual(result["capabilities"], {"tools": {}})
            self.assertEqual(result["serverInfo"]["name"], "agent-mcp")
            self.assertRegex(result["serverInfo"]["version"], r"^\d+\.\d+\.\d+$")
            self.assertEqual(server.close(), (b"", 0))

    def test_initialize_without_a_version_string_is_bad_params(self):
        answers, _, _ = run(lines(message("initialize", {"capabilities": {}}, 1),
                                  message("initialize", {"protocolVersion": 20250618}, 2),
                                  message("initialize", id=3), ping(4)))
        self.assertEqual([a.get("error", {}).get("code") for a in answers], [BAD_PARAMS] * 3 + [None])
        self.assertEqual(answers[3], pong(4))

    def test_ping_answers_an_empty_result_before_and_after_initialize(self):
        answers, err, rc = run(lines(ping(1), init("2025-06-18", 2), message("notifications/initialized"), ping(3)))
        self.assertEqual([answers[0], answers[2]], [pong(1), pong(3)])
        self.assertEqual((err, rc), (b"", 0))


class Notifications(unittest.TestCase):
    def test_notifications_and_responses_get_no_answer(self):
        silent = [message("notifications/initialized"),
                  message("notifications/cancelled", {"requestId": 1, "reason": "x"}),
                  message("notifications/roots/list_changed"),
                  message("no/such/notification"),
                  message("tools/call", {"name": "display"}),       # a notification, even of a request's method
                  message("tools/call", {"name": "no_such_tool"}),
                  message("initialize", {}),
                  {"jsonrpc": "2.0", "id": 5, "result": {}},           # a client's response
                  {"jsonrpc": "2.0", "id": 6, "error": {"code": 1, "message": "m"}}]
        data = b"".join(lines(m) + lines(ping(i)) for i, m in enumerate(silent))
        answers, err, rc = run(data)
        self.assertEqual(answers, [pong(i) for i in range(len(silent))])
        self.assertEqual((err, rc), (b"", 0))


class Ids(unittest.TestCase):
    def test_string_and_integer_ids_come_back_exactly(self):
        ids = [0, -1, 7, 9007199254740993, 18446744073709551615, "", "a", "é 😀", "1", 'q"\\']
        answers, _, _ = run(lines(*(ping(i) for i in ids)))
        self.assertEqual(answers, [pong(i) for i in ids])

    def test_unusable_ids_are_invalid_requests_answered_with_null(self):
        for id in [None, 1.5, True, [1], {"a": 1}]:
            with self.subTest(id=id):
                m = ping(0)
                m["id"] = id
                answers, _, _ = run(lines(m, ping(2)))
                self.assertEqual(answers[0]["id"], None)
                self.assertEqual(answers[0]["error"]["code"], INVALID)
                self.assertEqual(answers[1], pong(2))


class Errors(unittest.TestCase):
    def check(self, raw: bytes, code, id=None):
        """The answer to `raw` is the error `code` with `id`, and a ping after it is answered."""
        answers, err, rc = run(raw + b"\n" + lines(ping("after")))
        self.assertEqual(len(answers), 2, answers)
        self.assertEqual(answers[0]["jsonrpc"], "2.0")
        self.assertEqual(answers[0]["id"], id)
        self.assertEqual(answers[0]["error"]["code"], code, answers[0])
        self.assertIsInstance(answers[0]["error"]["message"], str)
        self.assertEqual(answers[1], pong("after"))
        self.assertEqual((err, rc), (b"", 0))

    def test_parse_errors(self):
        for raw in [b"plain words", b"{", b'{"jsonrpc":"2.0",}', b'{"a":"\xff\xfe"}', b'{"a":"x\x00y"}',
                    b'{"jsonrpc":"2.0","id":1,"method":"ping"} trailing', b"[" * 129 + b"]" * 129]:
            with self.subTest(raw=raw[:40]):
                self.check(raw, PARSE)

    def test_invalid_requests(self):
        for raw, id in [(b"[]", None), (b'[{"jsonrpc":"2.0","id":1,"method":"ping"}]', None), (b"42", None),
                        (b'"ping"', None), (b"null", None), (b"{}", None),
                        (b'{"id":1,"method":"ping"}', 1),
                        (b'{"jsonrpc":"1.0","id":1,"method":"ping"}', 1),
                        (b'{"jsonrpc":2.0,"id":"x","method":"ping"}', "x"),
                        (b'{"jsonrpc":"2.0","id":2}', 2),
                        (b'{"jsonrpc":"2.0","id":3,"method":7}', 3),
                        (b'{"jsonrpc":"2.0","method":null}', None)]:
            with self.subTest(raw=raw):
                self.check(raw, INVALID, id)

    def test_unknown_methods(self):
        for method in ["nope", "Ping", "tools/List", "resources/list", "prompts/list", "logging/setLevel", ""]:
            with self.subTest(method=method):
                self.check(json.dumps(message(method, id=9)).encode(), NO_METHOD, 9)

    def test_bad_params(self):
        for params in [[1], "x", 5, {"arguments": {}}, {"name": 5}, {"name": "no_such_tool"},
                       {"name": "Display"}, {"name": "display", "arguments": [1]},
                       {"name": "display", "arguments": "x=1"}]:
            with self.subTest(params=params):
                self.check(json.dumps(message("tools/call", params, 4)).encode(), BAD_PARAMS, 4)

    def test_unknown_tool_names_the_tool(self):
        answers, _, _ = run(lines(message("tools/call", {"name": "no_such_tool"}, 1)))
        self.assertIn("no_such_tool", answers[0]["error"]["message"])


class Framing(unittest.TestCase):
    def test_end_of_input_at_once_exits_zero_silently(self):
        self.assertEqual(run(b""), ([], b"", 0))

    def test_pipelined_requests_are_all_answered_in_order_before_exit(self):
        n = 5000
        answers, err, rc = run(lines(*(message("tools/call", {"name": "display"}, i) for i in range(n))))
        self.assertEqual([a["id"] for a in answers], list(range(n)))
        self.assertEqual((err, rc), (b"", 0))

    def test_crlf_last_line_without_lf_and_blank_lines(self):
        answers, _, rc = run(b'\n  \r\n' + json.dumps(ping(1)).encode() + b'\r\n\t\n' + json.dumps(ping(2)).encode())
        self.assertEqual((answers, rc), ([pong(1), pong(2)], 0))

    def test_nesting_up_to_the_limit_is_read(self):
        deep = b'{"jsonrpc":"2.0","id":1,"method":"ping","params":{"_meta":{"a":' + b"[" * 125 + b"]" * 125 + b"}}}"
        answers, _, _ = run(deep + b"\n")
        self.assertEqual(answers, [pong(1)])

    def test_overlong_line_is_a_parse_error_and_the_next_is_served(self):
        huge = b'{"jsonrpc":"2.0","id":1,"method":"ping","params":{"pad":"' + b"x" * (17 << 20) + b'"}}'
        answers, err, rc = run(huge + b"\n" + lines(ping(2)))
        self.assertEqual([a.get("error", {}).get("code") for a in answers], [PARSE, None])
        self.assertEqual(answers[0]["id"], None)
        self.assertEqual(answers[1], pong(2))
        self.assertEqual((err, rc), (b"", 0))


class ClosedOutput(unittest.TestCase):
    def test_closed_stdout_does_not_stop_the_server(self):
        r, w = os.pipe()
        p = subprocess.Popen([mcp_pipes.SERVER], stdin=subprocess.PIPE, stdout=w, stderr=subprocess.PIPE,
                             env=mcp_pipes.NO_DESKTOP)
        os.close(w)
        os.close(r)  # every write now fails with EPIPE
        for i in range(1000):
            p.stdin.write(lines(ping(i), message("tools/call", {"name": "display"}, -i)))
        p.stdin.flush()
        time.sleep(0.2)
        self.assertIsNone(p.poll(), "the server must keep running")
        p.stdin.close()
        self.assertEqual(p.wait(timeout=mcp_pipes.WAIT), 0)
        self.assertEqual(p.stderr.read(), b"")
        p.stderr.close()


if __name__ == "__main__":
    mcp_pipes.take_argument()
    unittest.main(verbosity=2)
