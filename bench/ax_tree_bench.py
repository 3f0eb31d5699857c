"""Starts a private headless desktop with the GTK3 test fixture (the one built
in the same tree as ax_tree_bench) and runs ax_tree_bench against it.

Usage: /usr/bin/python3 ax_tree_bench.py PATH/TO/ax_tree_bench [ROUNDS]"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
from harness import Desktop, Fixture, fixture_near  # noqa: E402


def main():
    desktop = Desktop()
    try:
        fixture = Fixture(desktop, path=fixture_near(sys.argv[1]))
        rounds = sys.argv[2] if len(sys.argv) > 2 else "15"
        return subprocess.run([sys.argv[1], str(fixture.pid), rounds], env=desktop.env).returncode
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
