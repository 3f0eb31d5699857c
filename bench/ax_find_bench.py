"""Finding one button in a large web page in Firefox ESR: the agent's
"ax_find" against reading the whole tree with "ax_tree" and searching it in
the client, and "ax_tree" with and without "fields", side by side on one
private headless desktop.

Run (after building the default preset):
  cmake --build --preset default --target run_ax_find_bench
or directly:
  /usr/bin/python3 bench/ax_find_bench.py build/default/agent [ROUNDS] [SIZE]

It writes the generated page of ax_tree_page_bench.py (about SIZE, 5,000
unless given, accessible elements) with one uniquely titled button placed
late in it, opens it in a fresh Firefox, waits until pyatspi sees the page's
last element and its count of elements settles, reads everything once (not
counted), then times ROUNDS (5) rounds, each of, in turn:
  (a) "ax_find" of role AXButton and the button's title;
  (b) "ax_tree" of the whole browser (depth 1000, max 1000000), then a search
      of its elements in the client for the same button;
  (c) "ax_tree" as in (b) with "fields": ["frame", "actions"].
Each from the request line written to the answer line read and parsed.
Prints the median milliseconds of each, their ratios, and the bytes of each
answer line. Measures and prints only; nothing here passes or fails."""
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "desktop"))
sys.path.insert(0, HERE)
from ax_tree_page_bench import DEPTH, MAX, open_page, page_body  # noqa: E402
from harness import Agent, Desktop  # noqa: E402

NEEDLE = "Needle 4471"  # the title of the button looked for; nothing else holds it
LEAN = ["frame", "actions"]


def page_with_needle(size):
    """The generated page of about SIZE elements with the needle's button in
    a paragraph of its own between two sections, nine tenths of the way
    down."""
    parts = page_body(size).split("\n")
    ends = [i for i, part in enumerate(parts) if part.endswith("</section>")]
    at = ends[min(len(ends) - 1, len(ends) * 9 // 10)] + 1
    return "\n".join(parts[:at] + ["<p><button>%s</button></p>" % NEEDLE] + parts[at:])


def timed(agent, op, **args):
    """Milliseconds of one request, its result and the bytes of its answer line."""
    start = time.perf_counter()
    answer = agent.request(op, timeout=3600, **args)
    ms = (time.perf_counter() - start) * 1000
    if "result" not in answer:
        raise RuntimeError("%s answered %s" % (op, str(answer)[:2000]))
    return ms, answer["result"], len(agent.last_line)


def median(values):
    return statistics.median(values) if values else float("nan")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    agent_path = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    size = int(sys.argv[3]) if len(sys.argv) > 3 else 5000
    desktop = Desktop()
    try:
        _, browser, observed = open_page(desktop, page_with_needle(size), size)
        pid = browser.pid
        agent = Agent(agent_path, desktop.env)
        # First contact, and one of each read, not counted: Firefox fills in
        # what a page shows as clients first ask for it.
        agent.request("ax_tree", timeout=3600, pid=pid, depth=8, max=300)
        for _ in range(2):
            agent.request("ax_tree", timeout=3600, pid=pid, depth=DEPTH, max=MAX)
        agent.request("ax_find", timeout=3600, pid=pid, role="AXButton", title=NEEDLE, depth=DEPTH)

        find_ms, tree_ms, search_ms, lean_ms = [], [], [], []
        sizes, found = {}, {}
        for _ in range(rounds):
            ms, result, size_a = timed(agent, "ax_find", pid=pid, role="AXButton", title=NEEDLE, depth=DEPTH)
            find_ms.append(ms)
            found["find"] = ([e["id"] for e in result["elements"]], result.get("truncated"))
            sizes["find"] = size_a

            ms, result, size_b = timed(agent, "ax_tree", pid=pid, depth=DEPTH, max=MAX)
            start = time.perf_counter()
            hits = [e for e in result["elements"]
                    if e["role"] == "AXButton" and NEEDLE.lower() in e.get("title", "").lower()]
            search = (time.perf_counter() - start) * 1000
            tree_ms.append(ms)
            search_ms.append(search)
            found["tree"] = ([e["id"] for e in hits], result.get("truncated"))
            sizes["tree"] = size_b
            sizes["elements"] = len(result["elements"])

            ms, result, size_c = timed(agent, "ax_tree", pid=pid, depth=DEPTH, max=MAX, fields=LEAN)
            lean_ms.append(ms)
            sizes["lean"] = size_c
            sizes["lean elements"] = len(result["elements"])
        agent.close()
    finally:
        desktop.close()

    whole = [t + s for t, s in zip(tree_ms, search_ms)]
    print("One button in Firefox ESR on a generated page of ~%d elements (%d in the whole browser by "
          "ax_tree, %s by pyatspi); median of %d rounds" % (size, sizes["elements"], observed, rounds))
    print("  found: ax_find %s, ax_tree + search %s (ids, truncated)" % (found["find"], found["tree"]))
    print("  rounds ms: (a) %s | (b) %s (search %s) | (c) %s"
          % (" ".join("%.0f" % v for v in find_ms), " ".join("%.0f" % v for v in whole),
             " ".join("%.1f" % v for v in search_ms), " ".join("%.0f" % v for v in lean_ms)))
    print()
    print("%-44s  %10s  %10s  %12s" % ("", "median ms", "fastest ms", "answer bytes"))
    rows = [("(a) ax_find role + title", find_ms, sizes["find"]),
            ("(b) ax_tree whole + search in the client", whole, sizes["tree"]),
            ("(c) ax_tree whole, fields frame, actions", lean_ms, sizes["lean"]),
            ("    ax_tree whole (the request of (b))", tree_ms, sizes["tree"])]
    for name, values, size_bytes in rows:
        print("%-44s  %10.1f  %10.1f  %12d" % (name, median(values), min(values), size_bytes))
    print()
    print("(b) / (a): %.2fx the time, %.0fx the bytes" % (median(whole) / median(find_ms),
                                                         sizes["tree"] / sizes["find"]))
    print("ax_tree without / with fields: %.2fx the time, %.2fx the bytes (%d and %d elements)"
          % (median(tree_ms) / median(lean_ms), sizes["tree"] / sizes["lean"], sizes["elements"],
             sizes["lean elements"]))


if __name__ == "__main__":
    main()
