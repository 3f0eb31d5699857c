"""agent-mcp on a private desktop (tools/desktop-session), over real pipes:
real answers in structuredContent, and the screenshot as an image item that
holds exactly the PNG the agent's own protocol answers for the same request,
with the rest of that answer as structuredContent.

Usage: test_desktop_tools.py AGENT_MCP [unittest arguments]
(the agent is taken from the same folder)
"""
import base64
import json
import os
import struct
import subprocess
import unittest
import zlib

import mcp_pipes
from mcp_pipes import Server

SESSION = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "desktop-session")


def png_size(data: bytes):
    """Width and height of a PNG, after checking its signature and that its
    image data inflates to one filter byte and three bytes a pixel per row."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", data[:8]
    width, height, depth, colour = struct.unpack(">IIBB", data[16:26])
    assert (depth, colour) == (8, 2), (depth, colour)
    idat, at = b"", 8
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    assert len(zlib.decompress(idat)) == height * (1 + 3 * width)
    return width, height


class DesktopCalls(unittest.TestCase):
    def setUp(self):
        self.server = Server(command=(SESSION,), env=dict(os.environ))
        self.agent_path = os.path.join(os.path.dirname(mcp_pipes.SERVER), "agent")

    def tearDown(self):
        self.server.__exit__()

    def agent_answer(self, request):
        """The agent's own answer to `request`, inside a session of its own
        (an empty screen of the same size: the same pixels)."""
        done = subprocess.run([SESSION, self.agent_path], input=(json.dumps(request) + "\n").encode(),
                              capture_output=True, timeout=mcp_pipes.WAIT)
        self.assertEqual(done.returncode, 0, done.stderr)
        return json.loads(done.stdout)

    def test_display_and_screenshots(self):
        server = self.server
        server.initialize()
        display = server.call("display")["result"]
        # The session's screen (tools/desktop-session).
        self.assertEqual(display["structuredContent"], {"x": 0, "y": 0, "w": 1280, "h": 1024})

        for arguments in ({}, {"maxWidth": 320}, {"x": 10, "y": 20, "w": 64, "h": 48}):
            with self.subTest(arguments=arguments):
                result = server.call("screenshot", arguments)["result"]
                self.assertIsNot(result.get("isError"), True, result)
                images = [c for c in result["content"] if c["type"] == "image"]
                self.assertEqual(len(images), 1)
                self.assertEqual(images[0]["mimeType"], "image/png")
                structured = result["structuredContent"]
                self.assertNotIn("png", structured)
                texts = [json.loads(c["text"]) for c in result["content"] if c["type"] == "text"]
                self.assertEqual(texts, [structured])
                self.assertEqual(png_size(base64.b64decode(images[0]["data"])),
                                 (structured["width"], structured["height"]))
                # The agent's protocol, same request, same (empty, still) screen.
                expected = self.agent_answer(dict(arguments, id=1, op="screenshot"))["result"]
                self.assertEqual(images[0]["data"], expected.pop("png"))
                self.assertEqual(structured, expected)

        failed = server.call("screenshot", {"windowId": 1})["result"]
        self.assertEqual(failed, {"content": [{"type": "text", "text": "No such window (bad_args)"}], "isError": True})
        self.assertEqual(server.close(), (b"", 0))


if __name__ == "__main__":
    mcp_pipes.take_argument()
    unittest.main(verbosity=2)
