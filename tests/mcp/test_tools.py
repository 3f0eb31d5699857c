"""agent-mcp's tools over real pipes, without a display: the list (one tool
per operation, schemas and annotations a client can rely on), results in
structuredContent and as text, failures as tool errors, and required
arguments that agree with what the operations refuse.

Usage: test_tools.py AGENT_MCP [unittest arguments]
"""
import json
import unittest

import mcp_pipes
from mcp_pipes import Server, lines, message, run

# The operations of the agent's protocol (README), each a tool of that name.
OPERATIONS = ["permissions", "request_permission", "apps", "frontmost", "windows", "at", "display",
              "focus_info", "mouse", "drag", "type", "key", "scroll", "activate", "launch", "ax_tree",
              "ax_press_at", "ax_press", "ax_focus", "ax_info", "ax_set", "screenshot", "ax_find", "ax_wait"]
QUERIES = {"permissions", "apps", "frontmost", "windows", "at", "display", "focus_info", "ax_tree", "ax_info",
           "screenshot", "ax_find", "ax_wait"}

# What each operation refuses when called with no arguments at all, without a
# display (README, Errors). The rest answer.
REFUSED_BARE = {"at": "Missing point (bad_args)", "mouse": "Missing point (bad_args)",
                "drag": "Missing point (bad_args)", "scroll": "Missing point (bad_args)",
                "activate": "Missing app (bad_args)", "ax_tree": "Missing app (bad_args)",
                "ax_press_at": "Missing app (bad_args)", "ax_press": "Missing element (bad_args)",
                "ax_focus": "Missing element (bad_args)", "ax_info": "Missing element (bad_args)",
                "ax_set": "Missing element (bad_args)", "screenshot": "Could not capture the screen (capture_failed)",
                "ax_find": "Missing app (bad_args)", "ax_wait": "Missing app (bad_args)"}


def tool_list():
    answers, _, _ = run(lines(message("tools/list", id=1)))
    return answers[0]["result"]["tools"]


def text_of(result):
    return "".join(c["text"] for c in result["content"] if c["type"] == "text")


class Listing(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tools = tool_list()
        cls.by_name = {t["name"]: t for t in cls.tools}

    def test_one_tool_per_operation_in_table_order(self):
        self.assertEqual([t["name"] for t in self.tools], OPERATIONS)

    def test_every_tool_has_a_short_description_and_object_schemas(self):
        for tool in self.tools:
            with self.subTest(tool=tool["name"]):
                self.assertTrue(0 < len(tool["description"]) <= 200, tool["description"])
                for key in ("inputSchema", "outputSchema"):
                    schema = tool[key]
                    self.assertEqual(schema["type"], "object")
                    self.assertIsInstance(schema["properties"], dict)
                    self.assertLessEqual(set(schema.get("required", [])), set(schema["properties"]))
        # The model reads the whole list every turn.
        self.assertLess(sum(len(t["description"]) for t in self.tools), 2500)

    def test_annotations(self):
        for tool in self.tools:
            with self.subTest(tool=tool["name"]):
                a = tool["annotations"]
                self.assertIs(a["readOnlyHint"], tool["name"] in QUERIES)
                self.assertIs(a["destructiveHint"], False)
                self.assertIs(a["openWorldHint"], False)

    def test_required_arguments_are_those_the_operations_refuse_without(self):
        # Every operation that refuses a bare call for a missing argument marks
        # arguments required; the screenshot's refusal is for the missing screen.
        for name, refusal in REFUSED_BARE.items():
            with self.subTest(tool=name):
                required = self.by_name[name]["inputSchema"].get("required", [])
                self.assertEqual(bool(required), "bad_args" in refusal, required)
        # Points, processes and elements are what they say.
        for name in ("at", "mouse", "scroll", "ax_press_at"):
            self.assertLessEqual({"x", "y"}, set(self.by_name[name]["inputSchema"]["required"]), name)
        for name in ("ax_press", "ax_focus", "ax_info", "ax_set"):
            self.assertLessEqual({"pid", "path"}, set(self.by_name[name]["inputSchema"]["required"]), name)
        self.assertEqual(set(self.by_name["drag"]["inputSchema"]["required"]), {"from", "to"})

    def test_list_is_the_same_after_initialize_and_with_a_cursor(self):
        answers, _, _ = run(lines(message("initialize", {"protocolVersion": "2025-06-18"}, 1),
                                  message("tools/list", {"cursor": "x"}, 2)))
        self.assertEqual(answers[1]["result"]["tools"], self.tools)
        self.assertNotIn("nextCursor", answers[1]["result"])


class Calls(unittest.TestCase):
    def test_bare_calls_without_a_display(self):
        with Server() as server:
            server.initialize()
            for name in OPERATIONS:
                if name in ("launch", "request_permission"):
                    continue  # they would start programs or change the session
                with self.subTest(tool=name):
                    result = server.call(name, {})["result"]
                    if name in REFUSED_BARE:
                        self.assertEqual(result, {"content": [{"type": "text", "text": REFUSED_BARE[name]}],
                                                  "isError": True})
                    else:
                        self.assertIsNot(result.get("isError"), True, result)
                        self.assertIsInstance(result["structuredContent"], dict)
                        self.assertEqual(json.loads(text_of(result)), result["structuredContent"])
            self.assertEqual(server.close(), (b"", 0))

    def test_results_are_the_operations_answers(self):
        # Without a display: what the agent's protocol answers there (README).
        with Server() as server:
            self.assertEqual(server.call("display")["result"]["structuredContent"], {"x": 0, "y": 0, "w": 0, "h": 0})
            self.assertEqual(server.call("windows")["result"]["structuredContent"], {"windows": []})
            self.assertEqual(server.call("at", {"x": 1, "y": 2})["result"]["structuredContent"], {})
            self.assertEqual(server.call("mouse", {"x": 1, "y": 2, "kind": "move"})["result"]["structuredContent"],
                             {"ok": True})
            self.assertEqual(text_of(server.call("activate", {"pid": 0})["result"]), "That app is not running (not_running)")
            self.assertEqual(text_of(server.call("scroll", {"x": 0, "y": 0, "dx": -2147483648})["result"]),
                             'Number out of range for "dx" (bad_args)')
            self.assertEqual(server.close(), (b"", 0))

    def test_arguments_name_no_other_operation(self):
        with Server() as server:
            result = server.call("display", {"op": "ax_tree", "id": 5})["result"]
            self.assertEqual(result["structuredContent"], {"x": 0, "y": 0, "w": 0, "h": 0})
            result = server.call("ax_tree", {"op": "display"})["result"]
            self.assertEqual(text_of(result), "Missing app (bad_args)")
            self.assertEqual(server.call("display", None)["result"]["structuredContent"]["w"], 0)
            self.assertEqual(server.request("tools/call", {"name": "display", "arguments": None})["result"]
                             ["structuredContent"]["w"], 0)
            self.assertEqual(server.close(), (b"", 0))


if __name__ == "__main__":
    mcp_pipes.take_argument()
    unittest.main(verbosity=2)
