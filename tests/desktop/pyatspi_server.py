"""What an application shows through accessibility, read with pyatspi and not
through the agent: the tests' independent observer.

Runs as a child of the test on the desktop's buses (Debian's python3 with
python3-pyatspi) and answers one JSON line per request line:
  {"op": "apps"}                      -> [{"pid", "name"}]
  {"op": "find", "pid", "role", "name"} -> the first such element
      (breadth first; role as pyatspi names it, "push button", "entry"...):
      {"role", "name", "states": [...], "text" (for password text only its
       "length"), "extents": [x, y, w, h]}, or null
  {"op": "at", "pid", "x", "y"}        -> the deepest element at the point, as
      the application's hit testing finds it from its showing window there,
      or null
  {"op": "count", "pid"}              -> elements of the application's tree
Every request reads afresh: the application's cached properties are dropped
first."""
import json
import sys

import pyatspi


def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away meanwhile
            pass
    return None


def children(element):
    try:
        return [c for c in element if c is not None]
    except Exception:
        return []


def describe(element):
    role = element.getRoleName()
    record = {"role": role, "name": element.name,
              "states": sorted(pyatspi.stateToString(s) for s in element.getState().getStates())}
    try:
        text = element.queryText()
        if element.getRole() == pyatspi.ROLE_PASSWORD_TEXT:
            record["length"] = text.characterCount  # how much, never what
        else:
            record["text"] = text.getText(0, text.characterCount)
    except NotImplementedError:
        pass
    try:
        e = element.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        record["extents"] = [e.x, e.y, e.width, e.height]
    except NotImplementedError:
        pass
    return record


def find(pid, role, name, limit=20000):
    app = application(pid)
    if app is None:
        return None
    app.clearCache()
    queue, seen = [app], 0
    while queue and seen < limit:
        element = queue.pop(0)
        seen += 1
        try:
            if element.getRoleName() == role and (name is None or element.name == name):
                return describe(element)
        except Exception:
            continue
        queue.extend(children(element))
    return None


def at(pid, x, y):
    app = application(pid)
    if app is None:
        return None
    app.clearCache()
    for window in children(app):
        try:
            e = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            if not (window.getState().contains(pyatspi.STATE_SHOWING) and
                    e.x <= x < e.x + e.width and e.y <= y < e.y + e.height):
                continue
        except NotImplementedError:
            continue
        element = window
        for _ in range(64):
            inner = element.queryComponent().getAccessibleAtPoint(x, y, pyatspi.DESKTOP_COORDS)
            if inner is None or inner == element:
                break
            element = inner
        return describe(element)
    return None


def count(pid):
    app = application(pid)
    if app is None:
        return 0
    app.clearCache()
    n, queue = 0, children(app)
    while queue:
        element = queue.pop()
        n += 1
        queue.extend(children(element))
    return n


def main():
    for line in sys.stdin:
        request = json.loads(line)
        op = request["op"]
        try:
            if op == "apps":
                answer = [{"pid": a.get_process_id(), "name": a.name}
                          for a in pyatspi.Registry.getDesktop(0) if a is not None]
            elif op == "find":
                answer = find(request["pid"], request["role"], request.get("name"))
            elif op == "at":
                answer = at(request["pid"], int(request["x"]), int(request["y"]))
            elif op == "count":
                answer = count(request["pid"])
            else:
                answer = {"error": "unknown op " + op}
        except Exception as e:  # what went wrong goes to the test's failure message
            answer = {"error": "%s: %s" % (type(e).__name__, e)}
        sys.stdout.write(json.dumps({"answer": answer}) + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
