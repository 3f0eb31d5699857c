"""Screenshots against a real X11 desktop: the agent's PNG is decoded
(GdkPixbuf) and its pixels are compared with an independent capture, the
root window as `xwd -root -screen` (x11-apps) dumps it, parsed here. Around each
screenshot the test takes one xwd before and one after; every sampled pixel
that is the same in both must be the same in the screenshot (a blinking text
cursor may change in between).

Covered: the whole display, the window of a real program (xterm) by its
window number, regions (fractional, partly and
wholly off the screen), "maxWidth", the errors, and X servers of other
kinds: without MIT-SHM (the XGetImage path), with 10-bit colours (depth 30)
and with 16-bit pixels."""
import base64
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf  # noqa: E402

import harness  # noqa: E402
from harness import ANSWER_WAIT, START_WAIT, Agent, DesktopTest, wait_for  # noqa: E402

# A real program with a window the window list shows (it sets _NET_WM_PID):
# xterm showing a line of text, in colours of its own.
XTERM = ["xterm", "-geometry", "50x12+640+120", "-bg", "#203040", "-fg", "#e0d090", "-e", "sh", "-c",
         "echo 'A real program: 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ'; exec sleep 100000"]


# ---- the two pictures ----

class Png:
    """The agent's PNG, decoded by GdkPixbuf."""

    def __init__(self, data):
        self.data = data
        loader = GdkPixbuf.PixbufLoader.new_with_type("png")
        loader.write(data)
        loader.close()
        pixbuf = loader.get_pixbuf()
        self.width, self.height = pixbuf.get_width(), pixbuf.get_height()
        self.channels, self.stride = pixbuf.get_n_channels(), pixbuf.get_rowstride()
        self.pixels = pixbuf.get_pixels()

    def rgb(self, x, y):
        at = y * self.stride + x * self.channels
        return tuple(self.pixels[at:at + 3])


class Xwd:
    """An X window dump (`xwd -root -screen -silent`): the header and colour map are
    big-endian, the pixels are in the server's byte order, split by the
    colour masks. With windows of several visuals on the screen xwd writes a
    DirectColor image of packed 24-bit pixels, whose colours go through its
    colour map."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, version, _, self.depth, self.width, self.height = fields[:6]
        if version != 7:
            raise AssertionError("not an xwd file of version 7")
        self.byte_order = "big" if fields[7] else "little"
        bits_per_pixel, self.stride, visual_class = fields[11], fields[12], fields[13]
        if visual_class not in (4, 5):  # TrueColor, DirectColor
            raise AssertionError("xwd: visual class %d" % visual_class)
        self.masks = fields[14:17]
        colours = fields[19]
        self.colour_map = None
        if visual_class == 5:
            entries = [struct.unpack(">IHHH", data[header_size + 12 * i:header_size + 12 * i + 10])
                       for i in range(colours)]
            self.colour_map = [e[1:] for e in entries]
        start = header_size + 12 * colours
        self.pixels = data[start:start + self.stride * self.height]
        self.bytes = bits_per_pixel // 8
        self.exact = all(bin(m).count("1") == 8 for m in self.masks)

    def rgb(self, x, y):
        at = y * self.stride + x * self.bytes
        pixel = int.from_bytes(self.pixels[at:at + self.bytes], self.byte_order)
        out = []
        for i, mask in enumerate(self.masks):
            shift = (mask & -mask).bit_length() - 1
            value = (pixel & mask) >> shift
            if self.colour_map is not None:
                out.append(self.colour_map[value][i] >> 8)
            else:
                out.append(round(value * 255 / (mask >> shift)))
        return tuple(out)


def xwd(env):
    done = subprocess.run(["xwd", "-root", "-screen", "-silent"], env=env, capture_output=True, timeout=ANSWER_WAIT)
    if done.returncode != 0:
        raise AssertionError("xwd failed: %s" % done.stderr.decode(errors="replace"))
    return Xwd(done.stdout)


def samples(area, step):
    """Points of AREA (x, y, w, h in pixels) on a grid STEP apart, its last
    row and column included."""
    x0, y0, w, h = area
    xs = sorted(set(list(range(x0, x0 + w, step)) + [x0 + w - 1]))
    ys = sorted(set(list(range(y0, y0 + h, step)) + [y0 + h - 1]))
    return [(x, y) for y in ys for x in xs]


class ScreenshotChecks:
    """What every screenshot test checks of an answer; `env` is the
    display's environment, `agent` the agent."""

    def shot(self, **args):
        """A screenshot between two xwd dumps: (result, png, before, after)."""
        before = xwd(self.env)
        result = self.agent.result("screenshot", **args)
        after = xwd(self.env)
        self.assertEqual(set(result), {"png", "width", "height", "x", "y", "w", "h", "scale"}, sorted(result))
        self.assertNotIn(b"\n", self.agent.last_line)
        png = Png(base64.b64decode(result["png"], validate=True))
        self.assertEqual((png.width, png.height), (result["width"], result["height"]))
        return result, png, before, after

    def assert_same_pixels(self, result, png, before, after, step):
        """The screenshot (at scale 1) shows the root's pixels of its area."""
        self.assertEqual(result["scale"], 1)
        area = tuple(int(result[k]) for k in ("x", "y", "w", "h"))
        self.assertEqual((result["width"], result["height"]), area[2:])
        tolerance = 0 if before.exact else 1
        stable = differ = 0
        for x, y in samples(area, step):
            expected = before.rgb(x, y)
            if expected != after.rgb(x, y):
                continue
            stable += 1
            got = png.rgb(x - area[0], y - area[1])
            if max(abs(a - b) for a, b in zip(got, expected)) > tolerance:
                differ += 1
                if differ <= 5:
                    print("pixel %d,%d: screenshot %s, xwd %s" % (x, y, got, expected))
        self.assertGreater(stable, 0.98 * len(samples(area, step)), "the screen kept changing")
        self.assertEqual(differ, 0, "%d of %d sampled pixels differ from xwd's" % (differ, stable))

    def assert_varied(self, png, area):
        """The area holds more than one colour (a wrong offset or a blank
        image would not show otherwise)."""
        colours = {png.rgb(x, y) for x, y in samples((0, 0, area[2], area[3]), 7)}
        self.assertGreater(len(colours), 1)


# ---- a desktop with a window manager ----

class ScreenshotTest(ScreenshotChecks, DesktopTest):
    @staticmethod
    def start_applications(holder):
        holder.fixture = harness.Fixture(holder.desktop)
        holder.xterm = None
        if shutil.which("xterm"):
            holder.xterm = holder.desktop.spawn(XTERM)
            # Mapped and focused before any test, so that no title bar
            # changes colour during one.
            desktop = holder.desktop
            if not wait_for(lambda: any(desktop.window_pid(w) == holder.xterm.pid for w in desktop.stacking())
                            and desktop.active_pid() == holder.xterm.pid, START_WAIT):
                raise RuntimeError("xterm never showed an active window")

    def setUp(self):
        super().setUp()
        self.env = self.desktop.env

    def test_the_whole_display_is_the_root_window(self):
        width, height = self.desktop.root_size()
        result, png, before, after = self.shot()
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [0, 0, width, height])
        self.assertEqual((before.width, before.height), (width, height))
        self.assert_same_pixels(result, png, before, after, step=11)
        self.assert_varied(png, (0, 0, width, height))

    def test_a_real_programs_window_by_its_number(self):
        if self.xterm is None:
            self.skipTest("xterm is not installed (Debian package xterm)")
        listed = [w for w in self.agent.result("windows")["windows"] if w["pid"] == self.xterm.pid]
        self.assertEqual(len(listed), 1, "xterm should have one window: %s" % listed)
        window = listed[0]
        result, png, before, after = self.shot(windowId=window["id"])
        bounds = window["bounds"]
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [bounds[k] for k in ("x", "y", "w", "h")])
        self.assert_same_pixels(result, png, before, after, step=3)
        self.assert_varied(png, (0, 0, png.width, png.height))
        # The window manager's frame is part of it, and it is where xwininfo
        # says the program's window is.
        client = self.desktop.client_geometry(window["id"])
        left, right, top, bottom = self.desktop.frame_extents(window["id"])
        self.assertEqual((result["x"], result["y"]), (client["x"] - left, client["y"] - top))
        self.assertEqual((result["w"], result["h"]), (client["w"] + left + right, client["h"] + top + bottom))

    def test_a_fractional_region_is_rounded_outward(self):
        result, png, before, after = self.shot(x=100.5, y=50.25, w=200.2, h=100.0)
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [100, 50, 201, 101])
        self.assert_same_pixels(result, png, before, after, step=2)

    def test_a_region_over_the_fixture(self):
        frame = self.fixture.geometry()["frame"]
        region = {"x": frame["x"] + 10, "y": frame["y"] + 5, "w": 150, "h": 90}
        result, png, before, after = self.shot(**region)
        self.assertEqual({k: result[k] for k in region}, region)
        self.assert_same_pixels(result, png, before, after, step=1)
        self.assert_varied(png, (0, 0, 150, 90))

    def test_a_region_partly_off_the_screen_is_clipped(self):
        width, height = self.desktop.root_size()
        result, png, before, after = self.shot(x=width - 50, y=height - 40, w=200, h=300)
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [width - 50, height - 40, 50, 40])
        self.assert_same_pixels(result, png, before, after, step=1)
        result, png, before, after = self.shot(x=-30.5, y=-20, w=100, h=60)
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [0, 0, 70, 40])
        self.assert_same_pixels(result, png, before, after, step=1)

    def test_max_width_scales_down_keeping_the_aspect_ratio(self):
        width, height = self.desktop.root_size()
        result, png, _, _ = self.shot(maxWidth=width // 2)
        self.assertEqual((result["width"], result["height"]), (width // 2, height // 2))
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [0, 0, width, height])
        self.assertAlmostEqual(result["scale"], 0.5, places=6)
        # A region: its width becomes maxWidth, its height follows.
        result, png, _, _ = self.shot(x=10, y=20, w=300, h=200, maxWidth=100)
        self.assertEqual(result["width"], 100)
        self.assertLessEqual(abs(result["height"] - 200 / 3), 1)
        self.assertAlmostEqual(result["scale"], 100 / 300, places=6)
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [10, 20, 300, 200])

    def test_max_width_never_scales_up(self):
        result, png, before, after = self.shot(x=40, y=30, w=120, h=80, maxWidth=5000)
        self.assertEqual((result["width"], result["height"], result["scale"]), (120, 80, 1))
        self.assert_same_pixels(result, png, before, after, step=2)

    def test_a_scaled_pixel_shows_the_point_the_scale_names(self):
        # In the middle of a flat area (the same colour 8 pixels around, in
        # xwd's dump), a pixel of a half-size screenshot has that colour.
        width, height = self.desktop.root_size()
        before = xwd(self.env)
        result = self.agent.result("screenshot", maxWidth=width // 2)
        after = xwd(self.env)
        png = Png(base64.b64decode(result["png"]))
        scale = result["scale"]
        checked = 0
        for px, py in samples((4, 4, result["width"] - 8, result["height"] - 8), 9):
            x, y = int(result["x"] + px / scale), int(result["y"] + py / scale)
            around = {before.rgb(x + dx, y + dy) for dx in range(-8, 9, 4) for dy in range(-8, 9, 4)}
            around |= {after.rgb(x + dx, y + dy) for dx in range(-8, 9, 4) for dy in range(-8, 9, 4)}
            if len(around) != 1:
                continue
            checked += 1
            expected = around.pop()
            got = png.rgb(px, py)
            self.assertLessEqual(max(abs(a - b) for a, b in zip(got, expected)), 2,
                                 "pixel %d,%d (point %d,%d): %s, xwd %s" % (px, py, x, y, got, expected))
        self.assertGreater(checked, 100)

    def test_errors(self):
        width, height = self.desktop.root_size()
        for args, message in [({"windowId": 1}, "No such window"),
                              ({"windowId": 2 ** 31 - 1}, "No such window"),
                              ({"x": 10, "y": 10, "w": 0, "h": 50}, "Empty region"),
                              ({"x": 10, "y": 10, "w": 50, "h": -5}, "Empty region"),
                              ({"x": width + 10, "y": 10, "w": 50, "h": 50}, "Empty region"),
                              ({"x": -500, "y": -500, "w": 100, "h": 100}, "Empty region"),
                              ({"x": 10, "y": height, "w": 50, "h": 50}, "Empty region")]:
            with self.subTest(args=args):
                answer = self.agent.request("screenshot", **args)
                self.assertEqual((answer.get("code"), answer.get("error")), ("bad_args", message), answer)


# ---- bare X servers of other kinds ----

class BareServer:
    """Xvfb with ARGS and an X program (xlogo in chosen colours) on it; no
    window manager."""

    def __init__(self, args):
        self.dir = tempfile.mkdtemp(prefix="screenshot-test-")
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", *args],
                                     pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.procs = []
        with os.fdopen(read) as f:
            number = f.readline().strip()
        if not number:
            self.close()
            raise RuntimeError("Xvfb %s did not start" % " ".join(args))
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.dir, "DISPLAY": ":" + number}
        self.procs.append(subprocess.Popen(["xlogo", "-geometry", "240x200+300+150", "-fg", "#1f6ea3",
                                            "-bg", "#e4a15c"], env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL))
        tree = lambda: subprocess.run(["xwininfo", "-root", "-tree"], env=self.env, capture_output=True,  # noqa: E731
                                      text=True, timeout=ANSWER_WAIT).stdout
        if not wait_for(lambda: '"xlogo"' in tree(), START_WAIT):
            self.close()
            raise RuntimeError("xlogo never showed its window")

    def extensions(self):
        return subprocess.run(["xdpyinfo"], env=self.env, capture_output=True, text=True,
                              timeout=ANSWER_WAIT).stdout

    def close(self):
        for p in self.procs + [self.xvfb]:
            if p.poll() is None:
                p.kill()
            p.wait()
        subprocess.run(["rm", "-rf", self.dir])


class OtherServersTest(ScreenshotChecks, unittest.TestCase):
    """The same comparison on servers whose pixels take the other paths."""

    def on(self, args):
        server = BareServer(args)
        self.addCleanup(server.close)
        self.env = server.env
        self.agent = Agent(harness.AGENT, server.env)
        self.addCleanup(self.stop_agent)
        return server

    def stop_agent(self):
        status, err = self.agent.close()
        self.assertEqual(status, 0, "agent exit status")
        self.assertEqual(err, b"", "the agent wrote to standard error")

    def check_whole_screen_and_region(self, depth):
        result, png, before, after = self.shot()
        self.assertEqual(before.depth, depth)
        self.assertEqual([result[k] for k in ("x", "y", "w", "h")], [0, 0, 640, 480])
        self.assert_same_pixels(result, png, before, after, step=3)
        self.assert_varied(png, (0, 0, 640, 480))
        # Over xlogo's window: its two colours, at their exact values.
        result, png, before, after = self.shot(x=290, y=140, w=260, h=220)
        self.assert_same_pixels(result, png, before, after, step=1)
        colours = {png.rgb(x, y) for x, y in samples((0, 0, 260, 220), 1)}
        if before.exact:
            self.assertTrue({(0x1f, 0x6e, 0xa3), (0xe4, 0xa1, 0x5c)} <= colours, colours)

    def test_without_shared_memory(self):
        server = self.on(["-screen", "0", "640x480x24", "-extension", "MIT-SHM"])
        self.assertNotIn("MIT-SHM", server.extensions())
        self.check_whole_screen_and_region(24)

    def test_ten_bit_colours(self):
        server = self.on(["-screen", "0", "640x480x30"])
        self.assertIn("MIT-SHM", server.extensions())
        self.check_whole_screen_and_region(30)

    def test_sixteen_bit_pixels(self):
        self.on(["-screen", "0", "640x480x16"])
        self.check_whole_screen_and_region(16)


if __name__ == "__main__":
    harness.main()
