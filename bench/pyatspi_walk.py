"""A straightforward pyatspi walk of one application, reading what a snapshot
records: role, name, description, states, value (text or number), extents,
action names and children, to depth 8 and at most 300 elements (or DEPTH and
MAX).

Usage: /usr/bin/python3 pyatspi_walk.py PID ROUNDS [DEPTH MAX]
Prints one line per round: milliseconds and elements recorded."""
import sys
import time

import pyatspi


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def walk(app, depth=8, cap=300):
    records = []

    def visit(element, level):
        if len(records) >= cap:
            return
        record = {"role": element.getRole(), "name": element.name,
                  "description": element.description}
        states = element.getState()
        if element.getRole() != pyatspi.ROLE_PASSWORD_TEXT:
            try:
                record["value"] = element.queryValue().currentValue
            except NotImplementedError:
                try:
                    record["value"] = element.queryText().getText(0, -1)
                except NotImplementedError:
                    pass
        try:
            record["frame"] = element.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        except NotImplementedError:
            pass
        try:
            action = element.queryAction()
            record["actions"] = [action.getName(i) for i in range(action.nActions)]
        except NotImplementedError:
            pass
        record["checked"] = states.contains(pyatspi.STATE_CHECKED)
        records.append(record)
        if level < depth:
            for child in element:
                if child is not None:
                    visit(child, level + 1)

    for window in app:
        if window is not None:
            visit(window, 1)
    return records


def main():
    pid, rounds = int(sys.argv[1]), int(sys.argv[2])
    depth, cap = (int(sys.argv[3]), int(sys.argv[4])) if len(sys.argv) > 4 else (8, 300)
    sys.setrecursionlimit(max(1000, depth * 4 + 100))
    app = application(pid)
    if app is None:
        print("no application")
        return 1
    for _ in range(rounds):
        start = time.perf_counter()
        records = walk(app, depth, cap)
        print("%.3f %d" % ((time.perf_counter() - start) * 1000, len(records)), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
