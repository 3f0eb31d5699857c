"""Starts a private headless desktop with the GTK3 test fixture and two X
programs (xlogo and xclock, from x11-apps) and runs screenshot_bench on it
twice: on the desktop as it is, then with a photo-like root background.

Usage: /usr/bin/python3 screenshot_bench.py PATH/TO/screenshot_bench [AGENT] [ROUNDS]"""
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
from harness import START_WAIT, Desktop, Fixture, fixture_near, wait_for  # noqa: E402


def main():
    bench = sys.argv[1]
    agent = sys.argv[2] if len(sys.argv) > 2 else None
    rounds = sys.argv[3] if len(sys.argv) > 3 else "25"
    desktop = Desktop()
    try:
        Fixture(desktop, path=fixture_near(bench))
        programs = [["xlogo", "-geometry", "320x320+820+60"], ["xclock", "-geometry", "240x240+860+460"]]
        for argv in programs:
            if shutil.which(argv[0]):
                desktop.spawn(argv)
                name = argv[0]
                if not wait_for(lambda: re.search(r'"%s"' % name, desktop.run(["xwininfo", "-root", "-tree"]).stdout),
                                START_WAIT):
                    print("%s never showed a window" % name)
        status = 0
        for extra in ([], ["--photo"]):
            status |= subprocess.run([bench, *extra, rounds] + ([agent] if agent else []), env=desktop.env).returncode
        return status
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
