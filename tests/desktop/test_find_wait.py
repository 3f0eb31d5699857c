"""Firefox ESR and Chromium on a local page whose script changes it, driven
through the agent's "ax_find" and "ax_wait" and the "expect" guard of the
element operations:

- a button found by its title is pressed through the path ax_find gave, with
  its role and title expected; once the page inserted another button before
  it, the same path with the same expectation is refused as stale and
  nothing is pressed (the page logs each press in its title, which the
  window manager shows: read with xprop, not through the agent);
- ax_wait sees a button the page adds after a delay, and one the page
  removes after a delay go; it gives up on one that never comes after its
  timeout;
- ax_find lists what ax_tree lists, in the same order and as the same
  records, leaves out the keys "fields" names, and never matches a password
  field by its text, which no answer carries.

One browser per class, started on the page once; each test drives its own
part of the page, and starts that part's timers itself."""
import json
import re
import time

from browser import open_page
from harness import ANSWER_WAIT, EVENT_WAIT, LARGE_WAIT, START_WAIT, DesktopTest, main, pieces, wait_for

# The password field's text, set by the page's script when it loads. Every
# piece of three characters or more holds a capital, so none can turn up by
# chance in the page's temporary (lower case) file name; lower-cased it reads
# "hunter2xyz", which a case-blind search for "hunter2" would match.
SECRET = "HuNTeR2XyZ"
SEARCHED = "hunter2"

DELAY_MS = 2000  # how long after a press the page adds or removes an element

PAGE = """\
<h1>Find and wait</h1>
<div role="group" aria-label="File actions"><button onclick="logged('cancel')">Cancel</button><button id="delete"
 onclick="deleted()">Delete file</button></div>
<p><button onclick="logged('probe')">Probe</button></p>
<p><button onclick="addLater()">Start loading</button></p>
<div id="results"></div>
<div id="notices"><button id="notice">Temporary notice</button></div>
<p><button onclick="removeLater()">Start dismissal</button></p>
<p><a href="#end">Delete nothing here</a></p>
<p><label for="pin">PIN</label> <input type="password" id="pin"></p>
<p id="end"><button>End of page</button></p>
<script>
var log = [];
function logged(what) { log.push(what); document.title = "Log: " + log.join(" "); }
var inserted = false;
function deleted() {
  logged("delete");
  if (inserted) return;
  inserted = true;
  var undo = document.createElement("button");
  undo.textContent = "Undo delete";
  undo.onclick = function () { logged("undo"); };
  var button = document.getElementById("delete");
  button.parentNode.insertBefore(undo, button);
}
function addLater() {
  setTimeout(function () {
    var ready = document.createElement("button");
    ready.textContent = "Results ready";
    document.getElementById("results").appendChild(ready);
  }, %d);
}
function removeLater() {
  setTimeout(function () { document.getElementById("notice").remove(); }, %d);
}
document.getElementById("pin").value = "%s";
</script>
""" % (DELAY_MS, DELAY_MS, SECRET)
PAGE_TITLE = "Find page"

STALE = {"error": "That element is gone. Read ui_tree again.", "code": "stale_element"}
WHOLE = {"depth": 200, "max": 20000}  # bounds that hold the whole browser
PATH = re.compile(r"^[0-9]+(\.[0-9]+)*$")
LOG = re.compile(r"Log: ((?:[a-z]+ ?)+)")


def request(agent, op, wait, args):
    """Agent.request for a request of its own "timeout" key: ARGS as a
    dictionary, WAIT the seconds its answer may take."""
    agent.next_id += 1
    line = json.dumps(dict(args, id=agent.next_id, op=op))
    agent.proc.stdin.write((line + "\n").encode())
    agent.proc.stdin.flush()
    deadline = time.monotonic() + wait
    while True:
        answer = json.loads(agent._line(deadline, "%s within %g s" % (line, wait)))
        if answer.get("id") == agent.next_id:
            return answer


class FindWaitTests:
    """The tests, mixed into a DesktopTest with BROWSER set."""

    BROWSER = None

    @staticmethod
    def start_applications(holder):
        # The last element of the page: the page is there whole.
        open_page(holder, "find.html", PAGE, PAGE_TITLE, "End of page")
        # The script that fills the password field ran.
        field = wait_for(lambda: (lambda f: f if f and f.get("length") == len(SECRET) else None)(
            holder.observer.find(holder.pid, "password text", "PIN")), START_WAIT, 0.2)
        if not field:
            raise RuntimeError("%s never showed the password field filled: %s"
                               % (holder.BROWSER, holder.observer.find(holder.pid, "password text", "PIN")))

    def tearDown(self):
        lines = [raw.decode("utf-8", "replace") for raw in self.agent.transcript]
        leaked = [(piece, line[:400]) for line in lines for piece in pieces(SECRET) if piece in line]
        leaked += [(SECRET.lower(), line[:400]) for line in lines if SECRET.lower() in line.lower()]
        self.assertEqual(leaked, [], "answers carrying a piece of the password")

    # through the agent

    def find(self, **args):
        """ax_find over the whole browser: its result."""
        for key, value in WHOLE.items():
            args.setdefault(key, value)
        return self.agent.result("ax_find", timeout=LARGE_WAIT, pid=self.pid, **args)

    def find_one(self, role, title):
        found = self.find(role=role, title=title)
        exact = [e for e in found["elements"] if e.get("title") == title]
        self.assertEqual(len(exact), 1, "ax_find %s %r answered %s" % (role, title, json.dumps(found)))
        return exact[0]

    def tree(self, **args):
        for key, value in WHOLE.items():
            args.setdefault(key, value)
        return self.agent.result("ax_tree", timeout=LARGE_WAIT, pid=self.pid, **args)["elements"]

    def steady_tree(self, read):
        """A tree read the same twice in a row around READ (another read of
        the agent's); the tree and what READ gave. The browser's own window
        may change between two reads now and then."""
        before = self.tree()
        for _ in range(5):
            got = read()
            after = self.tree()
            if after == before:
                return after, got
            before = after
        self.fail("the browser's tree changed between every two reads")

    def wait(self, timeout_ms, **args):
        """ax_wait over the whole browser: its result and the seconds between
        writing the request and reading the answer."""
        start = time.monotonic()
        answer = request(self.agent, "ax_wait", ANSWER_WAIT + timeout_ms / 1000,
                         dict(args, pid=self.pid, timeout=timeout_ms))
        seconds = time.monotonic() - start
        self.assertIn("result", answer, "ax_wait %s answered %s" % (json.dumps(args), json.dumps(answer)))
        return answer["result"], seconds

    def press(self, role, title):
        """Presses the one ROLE TITLE through its path, no expectation given:
        the time the request was written."""
        button = self.find_one(role, title)
        start = time.monotonic()
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=button["id"]), {"ok": True})
        return start

    # what the window manager shows

    def log(self):
        """The page's log of presses, as its window's title shows it; None
        before the first."""
        m = LOG.search(self.browser.title())
        return m.group(1).strip() if m else None

    def wait_log(self, wanted):
        """Waits until the log ends with WANTED (or has grown past it); the
        log it came to."""
        return wait_for(lambda: (lambda log: log if log and log.endswith(wanted) else None)(self.log()),
                        EVENT_WAIT, 0.1) or self.log()

    # the tests

    def test_press_through_a_found_path_then_refused_once_stale(self):
        button = self.find_one("AXButton", "Delete file")
        self.assertTrue(PATH.match(button["id"]), button)
        self.assertEqual(button["role"], "AXButton")
        # The record is the one ax_tree writes for that path.
        tree = {e["id"]: e for e in self.tree()}
        self.assertEqual(button, tree.get(button["id"]), "ax_find's record against ax_tree's")
        expect = {"role": "AXButton", "title": "Delete file"}
        self.assertIsNone(self.log(), "the page was pressed before the test")
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=button["id"], expect=expect), {"ok": True})
        self.assertEqual(self.wait_log("delete"), "delete", "the window title after the press")

        # The page put "Undo delete" before the button: the path now leads to it.
        undo = wait_for(lambda: self.find(role="AXButton", title="Undo delete")["elements"], EVENT_WAIT, 0.1)
        self.assertEqual(len(undo), 1, "the button the page inserted: %s" % undo)
        self.assertEqual(undo[0]["id"], button["id"], "the inserted button should sit where the pressed one was")
        moved = self.find_one("AXButton", "Delete file")
        self.assertNotEqual(moved["id"], button["id"])

        # Each element operation is refused at the old path with the old
        # expectation, as is a wrong expectation at the right path.
        refused = [("ax_press", button["id"], expect, {}), ("ax_focus", button["id"], expect, {}),
                   ("ax_info", button["id"], expect, {}), ("ax_set", button["id"], expect, {"value": "x"}),
                   ("ax_press", button["id"], {"title": "Delete file"}, {}),
                   ("ax_press", moved["id"], {"role": "AXCheckBox", "title": "Delete file"}, {}),
                   ("ax_press", moved["id"], {"role": "AXButton", "title": "Delete"}, {}),
                   ("ax_press", moved["id"], {"title": "delete file"}, {})]
        for op, path, expected, more in refused:
            answer = self.agent.request(op, pid=self.pid, path=path, expect=expected, **more)
            self.assertEqual(answer, dict(STALE, id=answer.get("id")),
                             "%s %s expecting %s" % (op, path, json.dumps(expected)))
        # An expectation of the role alone holds for the inserted button.
        info = self.agent.result("ax_info", pid=self.pid, path=button["id"], expect={"role": "AXButton"})
        self.assertEqual(info.get("role"), "AXButton", info)

        # Nothing was pressed: a press of another button shows up in the log
        # after whatever the refused requests would have caused.
        self.press("AXButton", "Probe")
        self.assertEqual(self.wait_log("probe"), "delete probe", "the window title after the probe")

        # The button at its new path, expected as it is, is pressed.
        self.assertEqual(self.agent.result("ax_press", pid=self.pid, path=moved["id"], expect=expect), {"ok": True})
        self.assertEqual(self.wait_log("probe delete"), "delete probe delete", "the window title after the press")

    def test_wait_sees_a_button_the_page_adds_later(self):
        self.assertEqual(self.find(role="AXButton", title="Results ready")["elements"], [])
        pressed = self.press("AXButton", "Start loading")
        sent = time.monotonic()
        result, seconds = self.wait(60000, role="AXButton", title="Results ready")
        answered = time.monotonic()
        self.assertEqual(result["met"], True, result)
        self.assertEqual([e.get("title") for e in result["elements"]], ["Results ready"], result)
        self.assertEqual(result["elements"][0]["role"], "AXButton")
        self.assertTrue(PATH.match(result["elements"][0]["id"]), result)
        # The page added the button DELAY_MS after the press, which came after
        # the press request was written.
        self.assertGreaterEqual(answered - pressed, DELAY_MS / 1000, result)
        # The agent's count lies within the request's time here; it started
        # at most a second after the request was written (the slack covers the
        # agent reading its input late on a busy machine).
        self.assertIsInstance(result["elapsed"], int)
        self.assertLessEqual(result["elapsed"], seconds * 1000 + 5, result)
        self.assertGreaterEqual(result["elapsed"], DELAY_MS - (sent - pressed) * 1000 - 1000, result)
        # What the wait saw, ax_find sees.
        self.assertEqual(self.find(role="AXButton", title="Results ready")["elements"], result["elements"])

    def test_wait_sees_a_button_the_page_removes_later_go(self):
        notice = self.find_one("AXButton", "Temporary notice")
        pressed = self.press("AXButton", "Start dismissal")
        result, _ = self.wait(60000, role="AXButton", title="Temporary notice", gone=True)
        answered = time.monotonic()
        self.assertEqual(result["met"], True, result)
        self.assertEqual(result["elements"], [], result)
        self.assertGreaterEqual(answered - pressed, DELAY_MS / 1000, result)
        self.assertEqual(self.find(role="AXButton", title="Temporary notice")["elements"], [], notice)

    def test_wait_gives_up_on_a_button_that_never_comes(self):
        result, seconds = self.wait(1500, role="AXButton", title="Never shown")
        self.assertEqual(result["met"], False, result)
        self.assertEqual(result["elements"], [], result)
        self.assertGreaterEqual(result["elapsed"], 1500, result)
        self.assertGreaterEqual(seconds, 1.5, result)
        self.assertLessEqual(result["elapsed"], 1500 + 30000, result)

    def test_wait_for_what_is_already_there_or_already_gone(self):
        result, seconds = self.wait(60000, role="AXButton", title="Probe")
        self.assertEqual(result["met"], True, result)
        self.assertEqual([e["title"] for e in result["elements"]], ["Probe"], result)
        self.assertLessEqual(result["elapsed"], seconds * 1000 + 5, result)
        result, seconds = self.wait(60000, role="AXButton", title="Never shown", gone=True)
        self.assertEqual(result, dict(result, met=True, elements=[]), result)
        self.assertLessEqual(result["elapsed"], seconds * 1000 + 5, result)

    def test_find_lists_what_the_tree_lists_in_its_order(self):
        def matching(tree, accept):
            return [e for e in tree if accept(e)]

        def text_of(e):
            return " ".join(str(e[k]) for k in ("title", "description", "value")
                            if isinstance(e.get(k), str)).lower()
        cases = [({"role": "AXButton"}, lambda e: e["role"] == "AXButton"),
                 ({"title": "delete"}, lambda e: "delete" in e.get("title", "").lower()),
                 ({"text": "DELETE"}, lambda e: "delete" in text_of(e)),
                 ({"role": "AXLink", "text": "delete"}, lambda e: e["role"] == "AXLink" and "delete" in text_of(e))]
        for args, accept in cases:
            tree, found = self.steady_tree(lambda: self.find(**args))
            wanted = matching(tree, accept)
            self.assertGreater(len(wanted), 0, args)
            self.assertEqual(found, {"elements": wanted, "truncated": False}, args)
        # "max" keeps the first matches, and says more were there.
        tree, found = self.steady_tree(lambda: self.find(role="AXButton", max=2))
        self.assertEqual(found, {"elements": matching(tree, lambda e: e["role"] == "AXButton")[:2], "truncated": True})
        self.assertEqual(self.find(role="AXButton", title="Nothing is called this"),
                         {"elements": [], "truncated": False})

    def test_fields_leave_out_keys(self):
        full = self.find(role="AXButton")["elements"]
        self.assertTrue(any("frame" in e for e in full) and any("actions" in e for e in full), full)
        lean = self.find(role="AXButton", fields=["frame", "actions"])["elements"]
        self.assertEqual([e["id"] for e in lean], [e["id"] for e in full])
        for short, whole in zip(lean, full):
            self.assertEqual(short, {k: v for k, v in whole.items() if k not in ("frame", "actions")})
        tree = self.tree(fields=["frame", "actions"])
        self.assertGreater(len(tree), 20)
        self.assertEqual([e for e in tree if "frame" in e or "actions" in e], [])
        # The id and the role are always kept.
        for e in self.tree(fields=["id", "role", "title"]):
            self.assertIn("id", e)
            self.assertIn("role", e)
            self.assertNotIn("title", e)

    def test_password_field_is_never_matched_by_its_text(self):
        field = self.find_one("AXTextField", "PIN")
        self.assertEqual(field.get("secure"), True, field)
        self.assertNotIn("value", field)
        self.assertEqual(self.observer.find(self.pid, "password text", "PIN")["length"], len(SECRET))
        # Its title is searched like any element's.
        self.assertIn(field["id"], [e["id"] for e in self.find(text="pin")["elements"]])
        for args in ({"text": SEARCHED}, {"text": SEARCHED, "role": "AXTextField"}, {"text": SECRET[3:8]},
                     {"text": SEARCHED, "fields": ["frame"]}):
            self.assertEqual(self.find(**args), {"elements": [], "truncated": False}, args)
        result, _ = self.wait(300, text=SEARCHED)
        self.assertEqual((result["met"], result["elements"]), (False, []), result)
        result, _ = self.wait(60000, text=SEARCHED, gone=True)
        self.assertEqual((result["met"], result["elements"]), (True, []), result)


class FirefoxFindWaitTest(FindWaitTests, DesktopTest):
    BROWSER = "firefox"


class ChromiumFindWaitTest(FindWaitTests, DesktopTest):
    BROWSER = "chromium"


if __name__ == "__main__":
    main()
