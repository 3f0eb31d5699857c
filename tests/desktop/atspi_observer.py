"""What the accessibility bus says of one application, read through libatspi
(pyatspi) in a process of its own, so that no answer is cached between two
looks and nothing is shared with the agent.

    atspi_observer.py tree PID             every element under the application
    atspi_observer.py element PID PATH     one element (null when there is none)
    atspi_observer.py set_text PID PATH TEXT   EditableText.SetTextContents
    atspi_observer.py action PID PATH NAME     the action of that name, done

Paths count children from the application: "0" is its first window, "0.2"
the third child of that window, as in the agent's element paths. An element
is {"path", "role" (AT-SPI role name), "name", "states" (state names),
"actions", "chars" (length of its text, when it has a Text interface), "text"
(its text, only for an element that is not password text)}. The answer is
one JSON line on standard output.
"""
import json
import sys

import pyatspi


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        try:
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:  # an application that went away meanwhile
            continue
    return None


def describe(acc, path):
    states = acc.getState().getStates()
    e = {"path": path, "role": acc.getRoleName(), "name": acc.name or "",
         "states": sorted(pyatspi.stateToString(s) for s in states)}
    try:
        action = acc.queryAction()
        e["actions"] = [action.getName(i) for i in range(action.nActions)]
    except NotImplementedError:
        e["actions"] = []
    except Exception:
        e["actions"] = []
    try:
        text = acc.queryText()
        e["chars"] = text.characterCount
        if acc.getRole() != pyatspi.ROLE_PASSWORD_TEXT:
            e["text"] = text.getText(0, text.characterCount)
    except NotImplementedError:
        pass
    return e


def walk(acc, path, out):
    """The elements under ACC; what goes away during the walk (a window
    closing, a program ending) is left out."""
    try:
        count = acc.childCount
    except Exception:
        return out
    for i in range(count):
        try:
            child = acc.getChildAtIndex(i)
        except Exception:
            continue
        if child is None:
            continue
        p = str(i) if not path else path + "." + str(i)
        try:
            out.append(describe(child, p))
        except Exception:  # gone meanwhile
            continue
        walk(child, p, out)
    return out


def resolve(app, path):
    acc = app
    for part in path.split("."):
        i = int(part)
        if acc is None or i >= acc.childCount:
            return None
        acc = acc.getChildAtIndex(i)
    return acc


def main():
    op, pid = sys.argv[1], int(sys.argv[2])
    app = application(pid)
    if op == "tree":
        answer = walk(app, "", []) if app is not None else None
    elif op == "element":
        try:
            acc = resolve(app, sys.argv[3]) if app is not None else None
            answer = describe(acc, sys.argv[3]) if acc is not None else None
        except Exception:  # gone meanwhile
            answer = None
    elif op == "set_text":
        acc = resolve(app, sys.argv[3]) if app is not None else None
        answer = bool(acc.queryEditableText().setTextContents(sys.argv[4])) if acc is not None else None
    elif op == "action":
        acc = resolve(app, sys.argv[3]) if app is not None else None
        answer = None
        if acc is not None:
            action = acc.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
            answer = bool(action.doAction(names.index(sys.argv[4]))) if sys.argv[4] in names else None
    else:
        sys.exit("unknown operation " + op)
    print(json.dumps(answer, ensure_ascii=False))


if __name__ == "__main__":
    main()
