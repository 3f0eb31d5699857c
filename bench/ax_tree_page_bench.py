"""Large web pages in Firefox ESR: the agent's "ax_tree" of the whole browser
against a pyatspi walk of the same application, side by side on one private
headless desktop.

Run (after building the default preset):
  cmake --build --preset default --target run_ax_tree_page_bench
or directly:
  /usr/bin/python3 bench/ax_tree_page_bench.py build/default/agent [ROUNDS] [SIZES...]

For each size (about 1,000, 5,000 and 20,000 accessible elements unless
SIZES are given) it writes a local page of nested sections, lists and
table rows of buttons, links and text, opens it in a fresh Firefox, waits
until pyatspi sees the page's last element, then times ROUNDS (5) of each:
  - "ax_tree" with depth and max large enough for everything, from the
    request line written to the answer line read (elements returned counted);
  - pyatspi_walk.py over the same application with the same bounds (a first
    round is a warm-up and not counted).
Prints a table: elements (agent / pyatspi), median milliseconds of each,
their ratio, the agent's milliseconds per element, and the fastest round of
each (on a busy machine the medians wander). Measures and prints
only; nothing here passes or fails."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "desktop"))
from browser import Browser, Observer, write_page  # noqa: E402
from harness import PYTHON, START_WAIT, Agent, Desktop, wait_for  # noqa: E402

WALK = os.path.join(HERE, "pyatspi_walk.py")
DEPTH = 1000
MAX = 1000000
PER_ROW = 4  # accessible elements of one table row: the row, two cells, a button


def page_body(elements):
    """About ELEMENTS accessible elements: sections of a heading, a list of
    items (a button and a link each) and a table whose rows hold a text
    cell and a button."""
    parts, count, section = [], 0, 0
    while count < elements:
        section += 1
        parts.append("<section><h2>Section %d</h2><ul>" % section)
        count += 3  # the section, its heading, the list
        for i in range(10):
            parts.append('<li><button>Item %d.%d</button> <a href="#s%d">link %d.%d</a></li>'
                         % (section, i, section, section, i))
        count += 10 * 3
        parts.append('</ul><table id="s%d">' % section)
        count += 1
        for r in range(8):
            parts.append("<tr><td>cell %d.%d</td><td><button>Row %d.%d</button></td></tr>"
                         % (section, r, section, r))
        count += 8 * PER_ROW
        parts.append("</table></section>")
    parts.append("<p><button>Last element</button></p>")
    return "\n".join(parts)


def walk(desktop, pid, rounds):
    """pyatspi's milliseconds per round (the warm-up dropped) and elements."""
    out = subprocess.run([PYTHON, WALK, str(pid), str(rounds + 1), str(DEPTH), str(MAX)], env=desktop.env,
                         capture_output=True, text=True, timeout=3600).stdout.split("\n")
    rows = [line.split() for line in out if len(line.split()) == 2]
    if not rows:
        return [], 0
    return [float(ms) for ms, _ in rows[1:]], int(rows[-1][1])


def open_page(desktop, body, size):
    """A fresh Firefox on a page of BODY, once pyatspi sees its last element
    and counts the same number of elements twice in a row: (observer, browser,
    that number)."""
    directory = tempfile.mkdtemp(prefix="page-", dir=desktop.dir)
    url = write_page(directory, "large.html", body, "Large page %d" % size)
    observer = Observer(desktop)
    browser = Browser(desktop, "firefox", url, directory)
    browser.wait_for_page(observer, "push button", "Last element", timeout=START_WAIT * 3)
    counts = []
    wait_for(lambda: counts.append(observer.ask("count", timeout=3600, pid=browser.pid)) or
             (len(counts) > 1 and counts[-1] == counts[-2]), START_WAIT, 1)
    return observer, browser, counts[-1]


def measure(agent_path, size, rounds):
    desktop = Desktop()
    try:
        observer, browser, observed = open_page(desktop, page_body(size), size)
        agent = Agent(agent_path, desktop.env)
        agent.request("ax_tree", timeout=3600, pid=browser.pid, depth=8, max=300)  # first contact
        agent_ms, agent_elements, truncated = [], 0, None
        for _ in range(rounds):
            start = time.perf_counter()
            answer = agent.request("ax_tree", timeout=3600, pid=browser.pid, depth=DEPTH, max=MAX)
            agent_ms.append((time.perf_counter() - start) * 1000)
            result = answer.get("result", {})
            agent_elements = len(result.get("elements", []))
            truncated = result.get("truncated"), result.get("timedOut", False)
        agent.close()
        py_ms, py_elements = walk(desktop, browser.pid, rounds)
        return {"size": size, "agent": agent_elements, "pyatspi": py_elements, "observer": observed,
                "agent_ms": statistics.median(agent_ms), "agent_all": agent_ms,
                "py_ms": statistics.median(py_ms) if py_ms else float("nan"), "py_all": py_ms,
                "truncated": truncated}
    finally:
        desktop.close()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    agent_path = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    sizes = [int(s) for s in sys.argv[3:]] or [1000, 5000, 20000]
    print("ax_tree of Firefox ESR on a generated page, against a pyatspi walk; "
          "median of %d rounds (depth %d, max %d)" % (rounds, DEPTH, MAX), flush=True)
    rows = []
    for size in sizes:
        row = measure(agent_path, size, rounds)
        rows.append(row)
        print("  page of ~%d: agent rounds %s ms; pyatspi rounds %s ms; (truncated, timedOut) %s"
              % (size, " ".join("%.0f" % v for v in row["agent_all"]),
                 " ".join("%.0f" % v for v in row["py_all"]), row["truncated"]), flush=True)
    print()
    print("%8s  %18s  %10s  %11s  %15s  %12s  %15s" % ("page", "elements agent/py", "agent ms", "pyatspi ms",
                                                         "ratio py/agent", "agent ms/el", "fastest a / py"))
    for r in rows:
        ratio = r["py_ms"] / r["agent_ms"] if r["agent_ms"] else float("nan")
        per = r["agent_ms"] / r["agent"] if r["agent"] else float("nan")
        fastest = "%.0f / %.0f" % (min(r["agent_all"]), min(r["py_all"]) if r["py_all"] else float("nan"))
        print("%8d  %18s  %10.1f  %11.1f  %14.2fx  %12.4f  %15s"
              % (r["size"], "%d / %d" % (r["agent"], r["pyatspi"]), r["agent_ms"], r["py_ms"], ratio, per, fastest))
    print("(the whole application: browser window, toolbars and page; pyatspi's own count of it: %s)"
          % ", ".join(str(r["observer"]) for r in rows))


if __name__ == "__main__":
    main()
