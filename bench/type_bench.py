"""Times "type" of 100 characters outside any keyboard layout's plain keys
(Greek, Cyrillic, CJK, Arabic, accented Latin, symbols) into the entry of the
GTK3 test fixture, on a private headless desktop, and checks each round that
the entry holds exactly the text.

With several agents (two builds to compare), all of them run on the same
desktop and fixture and take turns, one round each, so that whatever else the
machine does at the time weighs on each of them alike.

Usage: /usr/bin/python3 type_bench.py PATH/TO/agent [PATH/TO/other-agent...] [ROUNDS]"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
from harness import Agent, Desktop, Fixture, fixture_near  # noqa: E402

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


def report(label, times, wrong, rounds):
    if label:
        print(label)
    print("type: 100 non-ASCII characters (%d UTF-16 units), %d rounds" % (UNITS, rounds))
    print("  ms per request: min %.1f  median %.1f  max %.1f" %
          (min(times), statistics.median(times), max(times)))
    print("  of which fixed pauses: %d ms; per character beyond them: %.2f ms" %
          (PAUSE_FLOOR_MS, (statistics.median(times) - PAUSE_FLOOR_MS) / len(TEXT)))
    print("  rounds with a wrong entry text: %d" % wrong)


def main():
    assert len(TEXT) == 100, len(TEXT)
    args = sys.argv[1:]
    rounds = int(args.pop()) if len(args) > 1 and args[-1].isdigit() else 10
    if not args:
        sys.exit(__doc__)
    desktop = Desktop()
    agents = []
    try:
        fixture = Fixture(desktop, path=fixture_near(args[0]))
        for path in args:
            agents.append(Agent(path, desktop.env))
        field = entry(agents[0], fixture.pid)
        frame = field["frame"]
        agents[0].result("mouse", x=frame["x"] + frame["w"] / 2, y=frame["y"] + frame["h"] / 2)
        time.sleep(0.3)
        times = [[] for _ in agents]
        wrong = [0 for _ in agents]
        for r in range(rounds):
            # Who goes first changes every round (A B, B A, ...).
            turns = range(len(agents)) if r % 2 == 0 else reversed(range(len(agents)))
            for i in turns:
                agent = agents[i]
                agent.result("ax_set", pid=fixture.pid, path=field["id"], value="")
                start = time.monotonic()
                agent.result("type", text=TEXT)
                times[i].append((time.monotonic() - start) * 1000)
                if entry(agent, fixture.pid).get("value") != TEXT:
                    wrong[i] += 1
        for i, path in enumerate(args):
            report("agent %s" % path if len(args) > 1 else None, times[i], wrong[i], rounds)
        return 1 if any(wrong) else 0
    finally:
        for agent in agents:
            agent.close()
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
