"""Times "type" of 100 characters outside any keyboard layout's plain keys
(Greek, Cyrillic, CJK, Arabic, accented Latin, symbols) into the entry of the
GTK3 test fixture, on a private headless desktop, and checks each round that
the entry holds exactly the text.

Usage: /usr/bin/python3 type_bench.py PATH/TO/agent [ROUNDS]"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
from ax_harness import Agent, Desktop, Fixture  # noqa: E402

TEXT = ("αβγδεζηθικλμνξοπρστυφχψω"  # 24 Greek
        "абвгдежзийклмнопрстуфхцч"  # 24 Cyrillic
        "日本語中文字符测试汉字한국어"  # 14 CJK and Hangul
        "مرحبابالعالم"  # 12 Arabic
        "ÀÉÎõüçñøåæĀăĄćĈĉ"  # 16 accented Latin
        "✓✗→←€£¥©®™")  # 10 symbols
UNITS = len(TEXT.encode("utf-16-le")) // 2
PAUSE_FLOOR_MS = -(-UNITS // 16) * 2 * 6  # the portable layer's pauses: 6 ms per chunk event


def entry(agent, pid):
    for e in agent.result("ax_tree", pid=pid, max=600)["elements"]:
        if e["role"] == "AXTextField" and not e.get("secure"):
            return e
    raise RuntimeError("the fixture has no entry")


def main():
    assert len(TEXT) == 100, len(TEXT)
    agent_path = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    desktop = Desktop()
    agent = None
    try:
        fixture = Fixture(desktop)
        agent = Agent(agent_path, desktop.env)
        field = entry(agent, fixture.pid)
        frame = field["frame"]
        agent.result("mouse", x=frame["x"] + frame["w"] / 2, y=frame["y"] + frame["h"] / 2)
        time.sleep(0.3)
        times, wrong = [], 0
        for _ in range(rounds):
            agent.result("ax_set", pid=fixture.pid, path=field["id"], value="")
            start = time.monotonic()
            agent.result("type", text=TEXT)
            times.append((time.monotonic() - start) * 1000)
            if entry(agent, fixture.pid).get("value") != TEXT:
                wrong += 1
        print("type: 100 non-ASCII characters (%d UTF-16 units), %d rounds" % (UNITS, rounds))
        print("  ms per request: min %.1f  median %.1f  max %.1f" %
              (min(times), statistics.median(times), max(times)))
        print("  of which fixed pauses: %d ms; per character beyond them: %.2f ms" %
              (PAUSE_FLOOR_MS, (statistics.median(times) - PAUSE_FLOOR_MS) / len(TEXT)))
        print("  rounds with a wrong entry text: %d" % wrong)
        return 1 if wrong else 0
    finally:
        if agent:
            agent.close()
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
