"""The harness's agent client against a scripted stand-in: it takes an answer
only when its id is the request's, passes over a late answer to a request it
gave up on, and fails on any other id. No desktop is needed."""
import os
import tempfile
import unittest

import harness
from harness import Agent

# Answers as told by the request's "op": "late" first answers the request
# before it, "silent" gets no answer, "stranger" an answer with another id,
# anything else its own.
STAND_IN = r'''
import json, sys
for line in sys.stdin:
    r = json.loads(line)
    if r["op"] == "late":
        print(json.dumps({"id": r["id"] - 1, "result": "late"}))
    if r["op"] == "stranger":
        print(json.dumps({"id": "someone else", "result": "stranger"}))
    elif r["op"] != "silent":
        print(json.dumps({"id": r["id"], "result": r["op"]}))
    sys.stdout.flush()
'''


class AgentClientTest(unittest.TestCase):
    def setUp(self):
        fd, self.script = tempfile.mkstemp(suffix=".py")
        with os.fdopen(fd, "w") as f:
            f.write("#!" + harness.PYTHON + "\n" + STAND_IN)
        os.chmod(self.script, 0o700)
        self.addCleanup(os.unlink, self.script)
        self.agent = Agent(self.script)
        self.addCleanup(self.agent.close)

    def test_each_answer_is_the_requests_own(self):
        self.assertEqual(self.agent.result("first"), "first")
        self.assertEqual(self.agent.request("second"), {"id": 2, "result": "second"})

    def test_a_late_answer_to_an_abandoned_request_is_passed_over(self):
        with self.assertRaisesRegex(AssertionError, "no answer to"):
            self.agent.request("silent", timeout=0.2)
        # The stand-in now answers the abandoned request first, then this one.
        self.assertEqual(self.agent.request("late"), {"id": 2, "result": "late"})
        self.assertEqual(self.agent.last_line, b'{"id": 2, "result": "late"}')

    def test_an_answer_with_another_id_is_an_error(self):
        with self.assertRaisesRegex(AssertionError, "someone else"):
            self.agent.request("stranger")


if __name__ == "__main__":
    harness.main()
