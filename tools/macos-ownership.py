#!/usr/bin/env python3
"""Ownership lint for the macOS backend, covering the analyzer's blind spot.

clang's analyzer does not track +1 references handed back through an
out-parameter (the Copy functions of the accessibility interface). The
backend's rule is that such a slot is always a CFOwner's `out()`, so the
value is owned from the moment it is written. This finds every call of a
declared Copy/Create function with an out-parameter and rejects it unless
that argument is `<owner>.out()`.

usage: macos-ownership.py DECLS_DIR FILE.mm...
"""
import pathlib
import re
import sys


def out_parameter_functions(decls):
    """Copy/Create functions whose last parameter is an out-slot: name -> index."""
    found = {}
    for header in pathlib.Path(decls).rglob("*.h"):
        text = header.read_text()
        for m in re.finditer(r"\b(\w*(?:Copy|Create)\w*)\s*\(([^;{]*)\)\s*[;A]", text):
            params = [p.strip() for p in m.group(2).split(",")]
            for i, p in enumerate(params):
                if re.search(r"_Nullable\s*\*\s*_Nonnull", p):
                    found[m.group(1)] = i
    return found


def call_arguments(text, start):
    """The argument texts of the call whose '(' is at `start`, and its end."""
    depth, args, current = 0, [], []
    i = start
    while i < len(text):
        c = text[i]
        if c in "([{":
            depth += 1
            if depth > 1:
                current.append(c)
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                args.append("".join(current).strip())
                return args, i
            current.append(c)
        elif c == "," and depth == 1:
            args.append("".join(current).strip())
            current = []
        else:
            current.append(c)
        i += 1
    return args, i


def main():
    decls, files = sys.argv[1], sys.argv[2:]
    functions = out_parameter_functions(decls)
    if not functions:
        print("macos-ownership: no out-parameter functions found in the declarations")
        return 2
    problems = 0
    for name in files:
        text = pathlib.Path(name).read_text()
        for m in re.finditer(r"\b(" + "|".join(map(re.escape, functions)) + r")\s*\(", text):
            args, _ = call_arguments(text, m.end() - 1)
            index = functions[m.group(1)]
            slot = args[index] if index < len(args) else ""
            if not re.fullmatch(r"[\w.\->]+\.out\(\)", slot):
                line = text.count("\n", 0, m.start()) + 1
                print(f"{name}:{line}: error: out-parameter of {m.group(1)} is '{slot}', "
                      f"not a CFOwner's out(): the +1 value it receives is not owned")
                problems += 1
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
