#!/usr/bin/env python3
"""Element lint for the macOS backend: every element gets the timeout.

A messaging timeout set on one accessibility element applies to that element
only, so every element the backend hands out must get it when it is made.
The backend's rule is that an accessibility reference becomes an Element
through one helper, platform::mac::adoptElement, which sets the timeout.
This reads clang's AST dump of one backend file (-Xclang -ast-dump) on
standard input and rejects
  - any construction of platform::Element from a raw reference (its
    adopting constructor, Handle<HandleKind::element>(void *)) outside that
    helper, in the file's own code or in a template it instantiates
    (emplace_back, make_unique and the like);
  - a definition of the helper that does not call
    AXUIElementSetMessagingTimeout;
  - a call of AXUIElementCreateApplication or AXUIElementCreateSystemWide
    that is not within the argument of a call of that helper: a root element
    used before (or without) becoming an Element would be called with the
    system's default timeout, as a request made on a fresh application
    element would.

usage: clang++ -fsyntax-only ... -Xclang -ast-dump FILE.mm | macos-elements.py FILE.mm
"""
import re
import sys

HELPER = "platform::mac::adoptElement"
TIMEOUT_CALL = "'AXUIElementSetMessagingTimeout'"
ADOPTING = "platform::Handle<platform::HandleKind::element>' 'void (void *)"
CONSTRUCTS = {"CXXConstructExpr", "CXXTemporaryObjectExpr"}
HELPER_REF = "'adoptElement'"
ROOT_CALLS = ("'AXUIElementCreateApplication'", "'AXUIElementCreateSystemWide'")
FUNCTIONS = {"FunctionDecl", "CXXMethodDecl", "CXXConstructorDecl", "CXXDestructorDecl",
             "CXXConversionDecl"}
# Namespaces, classes and the classes instantiated from class templates.
SCOPE = re.compile(r"NamespaceDecl|CXXRecordDecl|ClassTemplate\w+Decl")
FLAGS = {"implicit", "used", "referenced", "invalid", "constexpr", "consteval", "inline", "nested",
         "hidden", "imported", "struct", "class", "union", "definition"}

# "Kind 0xADDR [parent 0x..] [prev 0x..] <range> [location] rest"
NODE = re.compile(r"(\w+) 0x[0-9a-f]+ (?:(?:parent|prev) 0x[0-9a-f]+ )*"
                  r"(<(?:[^<>]|<[^<>]*>)*>)(?: (<invalid sloc>|\S+:\d+(?::\d+)?))?(.*)$")
LOCATION = re.compile(r"([^\s<>,:]+):(\d+)(?::(\d+))?")


class Dump:
    """Walks the dump's tree, keeping the enclosing declarations and the
    dumper's own notion of the current file and line."""

    def __init__(self):
        self.stack = []  # (depth, kind, name, facts)
        self.file, self.line, self.column = "?", 0, 0

    def locate(self, text):
        """Follows the locations printed in `text`; returns the first one."""
        first = None
        for m in LOCATION.finditer(text):
            if m.group(1) == "col":
                self.column = int(m.group(2))
            else:
                if m.group(1) != "line":
                    self.file = m.group(1)
                self.line, self.column = int(m.group(2)), int(m.group(3) or 0)
            first = first or f"{self.file}:{self.line}:{self.column}"
        return first or f"{self.file}:{self.line}:{self.column}"

    def qualified(self):
        """The qualified name of the innermost enclosing declaration."""
        return "::".join(name or "(anonymous)" for _, _, name, _ in self.stack)


def declared_name(rest):
    """The name in what follows a declaration's location."""
    words = rest.split("'")[0].split()
    while words and words[0] in FLAGS:
        words.pop(0)
    return " ".join(w for w in words if w not in FLAGS)


def adopted(calls):
    """Whether one of the enclosing calls, within the innermost declaration,
    is a call of the helper."""
    for _, adopting in reversed(calls):
        if adopting is None:
            return False
        if adopting:
            return True
    return False


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1])
        return 2
    dump = Dump()
    nodes = 0
    problems = []
    reported = set()
    helpers = []  # {"at": location, "body": defined here, "timeout": calls it}
    # The calls that enclose the current node: [depth, calls the helper], or
    # [depth, None] for a declaration met inside an expression (a lambda's
    # class), whose code runs where it is called, not where it is written.
    calls = []
    for raw in sys.stdin:
        line = raw.rstrip("\n")
        body = line.lstrip("|`- ")
        depth = (len(line) - len(body)) // 2
        while dump.stack and dump.stack[-1][0] >= depth:
            dump.stack.pop()
        m = NODE.match(body)
        if not m:
            continue
        kind, where, location, rest = m.groups()
        while calls and calls[-1][0] >= depth:
            calls.pop()
        nodes += 1
        begin = dump.locate(where)
        dump.locate(location or "")
        if SCOPE.fullmatch(kind) or kind in FUNCTIONS:
            calls.append([depth, None])
            facts = {}
            dump.stack.append((depth, kind, declared_name(rest), facts))
            if kind in FUNCTIONS and dump.qualified() == HELPER:
                facts["helper"] = {"at": begin, "body": False, "timeout": False}
                helpers.append(facts["helper"])
            continue
        inside = [facts["helper"] for _, _, _, facts in dump.stack if "helper" in facts]
        if kind == "CompoundStmt" and dump.stack and "helper" in dump.stack[-1][3] \
                and dump.stack[-1][0] == depth - 1:
            dump.stack[-1][3]["helper"]["body"] = True
        if kind == "DeclRefExpr" and TIMEOUT_CALL in rest:
            for helper in inside:
                helper["timeout"] = True
        if kind in {"CallExpr", "CXXMemberCallExpr"}:
            calls.append([depth, False])
        # The callee comes first among a call's children, before its arguments.
        if kind == "DeclRefExpr" and HELPER_REF in rest and calls and calls[-1][1] is not None:
            calls[-1][1] = True
        if kind == "DeclRefExpr" and any(name in rest for name in ROOT_CALLS) and not inside \
                and not adopted(calls):
            if begin not in reported:
                reported.add(begin)
                function = dump.qualified() or "namespace scope"
                problems.append(f"{begin}: error: root accessibility element created in {function} outside "
                                f"a call of {HELPER}: it lacks the messaging timeout")
        if kind in CONSTRUCTS and ADOPTING in rest and not inside:
            # A lambda's body is dumped twice (its class and its expression): once is enough.
            if begin not in reported:
                reported.add(begin)
                function = dump.qualified() or "namespace scope"
                problems.append(f"{begin}: error: platform::Element made from an accessibility reference in "
                                f"{function}, not through {HELPER}: it lacks the messaging timeout")
    for helper in helpers:
        if helper["body"] and not helper["timeout"]:
            problems.append(f"{helper['at']}: error: {HELPER} does not call AXUIElementSetMessagingTimeout: "
                            f"the elements it makes lack the messaging timeout")
    if nodes == 0:
        problems.append(f"{sys.argv[1]}: error: no syntax tree to check (did it compile?)")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
