"""Real web browsers on a private desktop, for the desktop tests and the
ax_tree benchmark: a local page written into a temporary directory, the
browser started on it with a fresh profile, and an independent pyatspi
observer of what it shows.

- Observer: tests/desktop/pyatspi_server.py running on the desktop's buses.
- Browser: Firefox ESR or Chromium on one page; `pid` is the process that
  the accessibility registry lists for it (the one the agent is asked about).
"""
import itertools
import json
import os
import re
import select
import subprocess
import tempfile

from harness import ANSWER_WAIT, EVENT_WAIT, HERE, LARGE_WAIT, PYTHON, START_WAIT, centre, wait_for

OBSERVER = os.path.join(HERE, "pyatspi_server.py")


class Observer:
    """pyatspi in a child process on the desktop's buses, one request at a time."""

    def __init__(self, desktop):
        self.proc = desktop.spawn([PYTHON, OBSERVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def ask(self, op, timeout=ANSWER_WAIT, **args):
        self.proc.stdin.write((json.dumps(dict(args, op=op)) + "\n").encode())
        self.proc.stdin.flush()
        if not select.select([self.proc.stdout], [], [], timeout)[0]:
            raise AssertionError("pyatspi did not answer %s %s within %g s" % (op, args, timeout))
        line = self.proc.stdout.readline()
        if not line:
            raise AssertionError("the pyatspi observer ended (status %s)" % self.proc.wait())
        answer = json.loads(line)["answer"]
        if isinstance(answer, dict) and "error" in answer and len(answer) == 1:
            raise AssertionError("pyatspi %s %s: %s" % (op, args, answer["error"]))
        return answer

    def find(self, pid, role, name=None, timeout=ANSWER_WAIT):
        return self.ask("find", timeout=timeout, pid=pid, role=role, name=name)

    def apps(self):
        return self.ask("apps")


def write_page(directory, name, body, title):
    path = os.path.join(directory, name)
    with open(path, "w", encoding="utf-8") as f:
        f.write('<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8"><title>%s</title></head>\n'
                '<body>\n%s\n</body></html>\n' % (title, body))
    return "file://" + path


FIREFOX_PREFS = """\
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("startup.homepage_welcome_url", "");
user_pref("startup.homepage_welcome_url.additional", "");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("browser.tabs.warnOnClose", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("app.update.enabled", false);
user_pref("app.update.auto", false);
user_pref("extensions.update.enabled", false);
user_pref("browser.search.update", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("browser.newtabpage.enabled", false);
user_pref("browser.translations.automaticallyPopup", false);
user_pref("signon.rememberSignons", false);
user_pref("accessibility.force_disabled", 0);
"""


class Browser:
    """One browser on one page, with a profile of its own in DIRECTORY.
    KIND is "firefox" or "chromium"."""

    NAMES = {"firefox": ("Firefox",), "chromium": ("Chromium",)}

    def __init__(self, desktop, kind, url, directory, width=1100, height=900):
        self.desktop = desktop
        self.kind = kind
        self.url = url
        self.directory = directory
        self.size = (width, height)
        self.pid = None
        self.log = open(os.path.join(directory, kind + ".log"), "w+")
        self.start()

    def start(self):
        """Starts the browser with a fresh profile."""
        profile = tempfile.mkdtemp(prefix="profile-", dir=self.directory)
        env = dict(self.desktop.env)
        width, height = self.size
        if self.kind == "firefox":
            with open(os.path.join(profile, "user.js"), "w") as f:
                f.write(FIREFOX_PREFS)
            # Firefox offers its accessibility tree on the bus with this set.
            env["GNOME_ACCESSIBILITY"] = "1"
            env["MOZ_CRASHREPORTER_DISABLE"] = "1"
            argv = ["firefox-esr", "--no-remote", "--new-instance", "--profile", profile,
                    "--width", str(width), "--height", str(height), self.url]
        elif self.kind == "chromium":
            # Chromium offers its tree on the bus only with this set (or when
            # an assistive technology announced itself).
            env["ACCESSIBILITY_ENABLED"] = "1"
            argv = ["chromium", "--force-renderer-accessibility", "--no-first-run", "--no-default-browser-check",
                    "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--password-store=basic",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--user-data-dir=" + profile, "--window-size=%d,%d" % (width, height),
                    "--window-position=0,0", self.url]
        else:
            raise ValueError(self.kind)
        self.log.write("--- %s\n" % " ".join(argv))
        self.log.flush()
        self.proc = self.desktop.spawn(argv, env=env, stdout=self.log, stderr=self.log)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()

    def log_tail(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()[-2000:]

    def accessible_pid(self, observer):
        """The pid the accessibility registry lists for the browser, or None."""
        for app in observer.apps():
            if app["name"] in self.NAMES[self.kind]:
                return app["pid"]
        return None

    def wait_for_page(self, observer, role, name, timeout=START_WAIT, attempts=2):
        """Waits until pyatspi sees element ROLE NAME of the page in the
        browser; its record. Sets `pid`. A browser that has not shown it
        within TIMEOUT is stopped and started afresh, ATTEMPTS times in all
        (a browser now and then never connects to the accessibility bus)."""
        def seen():
            pid = self.pid or self.accessible_pid(observer)
            if pid is None:
                return None
            found = observer.find(pid, role, name)
            if found:
                self.pid = pid
            return found
        failures = []
        for attempt in range(attempts):
            found = wait_for(seen, timeout, 0.5)
            if found:
                return found
            failures.append("attempt %d: the browser %s; the registry lists %s; windows: %s"
                            % (attempt + 1, "runs" if self.proc.poll() is None else "ended (%s)" % self.proc.poll(),
                               observer.apps(), self.desktop.xprop("-root", "_NET_CLIENT_LIST").strip()))
            self.stop()
            self.pid = None
            if attempt + 1 < attempts:
                self.start()
        raise RuntimeError("%s never showed the page's %s %r through accessibility:\n%s\nbrowser output: %s"
                           % (self.kind, role, name, "\n".join(failures), self.log_tail()))

    def windows(self):
        """The browser's top-level client windows (by _NET_WM_PID)."""
        text = self.desktop.xprop("-root", "_NET_CLIENT_LIST")
        return [x for x in (int(v, 16) for v in re.findall(r"0x[0-9a-f]+", text))
                if self.desktop.window_pid(x) == self.pid]

    def title(self):
        """_NET_WM_NAME of the browser's window(s), joined: what the window
        manager shows."""
        names = []
        for xid in self.windows():
            m = re.search(r'= "(.*)"', self.desktop.xprop("-id", str(xid), "_NET_WM_NAME"))
            if m:
                names.append(m.group(1))
        return " | ".join(names)


def open_page(holder, name, body, title, button):
    """For a test class HOLDER with BROWSER set: the page written into a
    directory of the desktop's, an observer, and the browser on the page once
    the observer sees its push button BUTTON. Sets pages, observer, browser
    and pid on HOLDER."""
    holder.pages = tempfile.mkdtemp(prefix="page-", dir=holder.desktop.dir)
    url = write_page(holder.pages, name, body, title)
    holder.observer = Observer(holder.desktop)
    holder.browser = Browser(holder.desktop, holder.BROWSER, url, holder.pages)
    holder.browser.wait_for_page(holder.observer, "push button", button, START_WAIT // 2)
    holder.pid = holder.browser.pid


# ---- the page the browser tests drive ----

# The password field's text; no piece of it may leave the agent. Each of its
# pieces holds a capital, so none can turn up by chance in the page's file
# name (temporary names are lower case), which the address bar shows.
SECRET = "WQ7vXK3jZ9"
SECRET_PIECES = sorted({SECRET[i:j] for i in range(len(SECRET)) for j in range(i + 3, len(SECRET) + 1)})
INITIAL_TEXT = "Initial words"

# Each press gives the document a new title, so that every press can be seen
# on its own in the window's title, whatever was pressed before it.
CONTROLS_PAGE = """\
<h1>Controls</h1>
<p><button id="press" onclick="document.title = 'Button pressed ' + (++window.presses)">Press me</button></p>
<p><input type="checkbox" id="remember"><label for="remember">Remember me</label></p>
<p><label for="name">Name</label> <input type="text" id="name" value="%s"></p>
<p><label for="secret">Secret</label> <input type="password" id="secret" value="%s"></p>
<p><a href="#anchor" id="jump" onclick="document.title = 'Link followed ' + (++window.follows)">Jump down</a></p>
<p id="anchor">Anchor</p>
<script>window.presses = 0; window.follows = 0;</script>
""" % (INITIAL_TEXT, SECRET)
CONTROLS_TITLE = "Controls page"

OBJECT_REPLACEMENT = "\ufffc"


class BrowserPageTest:
    """The tests of one browser on the controls page (mixed into a
    DesktopTest with BROWSER set): one browser per class, a fresh agent per
    test, and every answer line the agent wrote scanned for the password."""

    BROWSER = None
    TREE = {"depth": 200, "max": 20000}
    texts = itertools.count(1)  # a new text for each setting

    @staticmethod
    def start_applications(holder):
        open_page(holder, "controls.html", CONTROLS_PAGE, CONTROLS_TITLE, "Press me")
        # Laid out, and hit testing finds the button: the browser may show its
        # elements before either is done.
        seen = {}

        def ready():
            seen["button"] = button = holder.observer.find(holder.pid, "push button", "Press me")
            x, y, w, h = (button or {}).get("extents", (0, 0, 0, 0))
            if w <= 0 or h <= 0:
                return None
            seen["hit"] = hit = holder.observer.ask("at", pid=holder.pid, x=x + w // 2, y=y + h // 2)
            # Chromium at times shows the button's label as a text of its
            # own inside it: hitting that is hitting the button.
            return hit and (hit["role"] == "push button" or (hit["role"] in ("static", "label", "text")
                                                             and hit.get("name") == "Press me"))
        if not wait_for(ready, START_WAIT, 0.2):
            raise RuntimeError("%s never laid the page out for hit testing: %s" % (holder.BROWSER, seen))

    def tearDown(self):
        leaked = [(piece, line[:400]) for line in (raw.decode("utf-8", "replace") for raw in self.agent.transcript)
                  for piece in SECRET_PIECES if piece in line]
        self.assertEqual(leaked, [], "answers carrying a piece of the password")

    # through the agent

    def page(self):
        """The elements of the page: the web area holding the button and all
        below it; the whole tree and that list."""
        answer = self.agent.request("ax_tree", pid=self.pid, timeout=LARGE_WAIT, **self.TREE)
        self.assertIn("result", answer, "ax_tree answered %s" % json.dumps(answer)[:2000])
        elements = answer["result"]["elements"]
        areas = [e for e in elements if e["role"] == "AXWebArea"]
        for area in areas:
            below = [e for e in elements if e["id"].startswith(area["id"] + ".")]
            if any(e.get("title") == "Press me" for e in below):
                return elements, [area] + below
        self.fail("no web area holding the button among %s; web areas: %s"
                  % (len(elements), json.dumps(areas, ensure_ascii=False)))

    def control(self, page, role, title):
        found = [e for e in page if e["role"] == role and e.get("title") == title]
        self.assertTrue(found, "no %s %r on the page; the page reads %s"
                        % (role, title, json.dumps(page, ensure_ascii=False)))
        return found[0]

    def text_field(self, page):
        return self.control(page, "AXTextField", "Name")

    def password_field(self, page):
        secure = [e for e in page if e.get("secure")]
        self.assertEqual(len(secure), 1, "secure elements on the page: %s; the page reads %s"
                         % (json.dumps(secure), json.dumps(page, ensure_ascii=False)))
        return secure[0]

    # what the desktop shows

    def seen(self, role, name):
        found = self.observer.find(self.pid, role, name)
        self.assertTrue(found, "pyatspi finds no %s %r" % (role, name))
        return found

    def wait_title(self, prefix, before):
        """Waits until the window's title holds PREFIX and differs from
        BEFORE; the title it came to."""
        title = wait_for(lambda: (lambda t: t if prefix in t and t != before else None)(self.browser.title()),
                         EVENT_WAIT, 0.1)
        return title or self.browser.title()

    # the tests

    def test_tree_shows_the_page_controls(self):
        elements, page = self.page()
        button = self.control(page, "AXButton", "Press me")
        box = self.control(page, "AXCheckBox", "Remember me")
        link = self.control(page, "AXLink", "Jump down")
        field = self.text_field(page)
        secret = self.password_field(page)
        problems = []  # all of them at once, each with the element concerned
        for e in (button, box, link):
            if "AXPress" not in e.get("actions", []):
                problems.append("offers no AXPress: %s" % json.dumps(e, ensure_ascii=False))
        if secret["role"] != "AXTextField" or secret.get("title") != "Secret" or "value" in secret:
            problems.append("password field: %s" % json.dumps(secret, ensure_ascii=False))
        # The field's value is what the browser shows in it.
        shown = self.seen("entry", "Name")["text"]
        if field.get("value") != shown:
            problems.append("text field %s where pyatspi reads %r" % (json.dumps(field, ensure_ascii=False), shown))
        if box.get("value") not in (0, 1):
            problems.append("check box value: %s" % json.dumps(box, ensure_ascii=False))
        # Embedded-object characters stand for children, which are listed on
        # their own: they are text of no element. A negative size is no frame.
        for e in elements:
            if any(OBJECT_REPLACEMENT in str(e.get(k, "")) for k in ("title", "value", "description")):
                problems.append("U+FFFC in %s" % json.dumps(e, ensure_ascii=False))
            if "frame" in e and (e["frame"]["w"] < 0 or e["frame"]["h"] < 0):
                problems.append("negative frame: %s" % json.dumps(e, ensure_ascii=False))
        for e in (button, box, link, field, secret):
            if not ("frame" in e and e["frame"]["w"] > 0 and e["frame"]["h"] > 0):
                problems.append("no frame: %s" % json.dumps(e, ensure_ascii=False))
        self.assertEqual(problems, [], "%d problems in a tree of %d elements:\n%s"
                         % (len(problems), len(elements), "\n".join(problems[:60])))

    def test_press_the_button_retitles_the_window(self):
        button = self.control(self.page()[1], "AXButton", "Press me")
        before = self.browser.title()
        answer = self.agent.request("ax_press", pid=self.pid, path=button["id"])
        title = self.wait_title("Button pressed", before)
        self.assertEqual(answer.get("result"), {"ok": True}, "ax_press answered %s; window title %r"
                         % (answer, title))
        self.assertIn("Button pressed", title, "ax_press answered %s" % answer)

    def test_press_at_the_buttons_centre_retitles_the_window(self):
        button = self.control(self.page()[1], "AXButton", "Press me")
        x, y = centre(button["frame"])
        before = self.browser.title()
        answer = self.agent.request("ax_press_at", pid=self.pid, x=x, y=y)
        title = self.wait_title("Button pressed", before)
        self.assertEqual(answer.get("result"), {"ok": True, "role": "AXButton"},
                         "ax_press_at %s,%s answered %s; window title %r" % (x, y, answer, title))
        self.assertIn("Button pressed", title, "ax_press_at answered %s" % answer)

    def test_press_the_check_box_toggles_it(self):
        box = self.control(self.page()[1], "AXCheckBox", "Remember me")
        was = "checked" in self.seen("check box", "Remember me")["states"]
        answer = self.agent.request("ax_press", pid=self.pid, path=box["id"])
        now = wait_for(lambda: ("checked" in self.seen("check box", "Remember me")["states"]) != was,
                       EVENT_WAIT, 0.1)
        self.assertEqual(answer.get("result"), {"ok": True}, "ax_press answered %s; toggled: %s" % (answer, now))
        self.assertTrue(now, "ax_press answered %s but the box stayed %s"
                        % (answer, "checked" if was else "unchecked"))
        # The agent reads the new state too.
        box = self.control(self.page()[1], "AXCheckBox", "Remember me")
        self.assertEqual(bool(box.get("value")), not was, box)

    def test_press_the_link_follows_it(self):
        link = self.control(self.page()[1], "AXLink", "Jump down")
        before = self.browser.title()
        answer = self.agent.request("ax_press", pid=self.pid, path=link["id"])
        title = self.wait_title("Link followed", before)
        self.assertEqual(answer.get("result"), {"ok": True}, "ax_press answered %s; window title %r"
                         % (answer, title))
        self.assertIn("Link followed", title, "ax_press answered %s" % answer)

    def test_set_replaces_the_text_fields_text(self):
        field = self.text_field(self.page()[1])
        before = self.seen("entry", "Name")["text"]
        wanted = "Grüße, Welt %d" % next(self.texts)
        answer = self.agent.request("ax_set", pid=self.pid, path=field["id"], value=wanted, timeout=LARGE_WAIT)
        if answer.get("result") == {"ok": True}:
            shown = wait_for(lambda: (lambda t: t if t == wanted else None)(self.seen("entry", "Name")["text"]),
                             EVENT_WAIT, 0.1) or self.seen("entry", "Name")["text"]
            self.assertEqual(shown, wanted, "ax_set answered ok but the field shows %r" % shown)
            self.assertEqual(self.text_field(self.page()[1]).get("value"), wanted)
        else:
            shown = self.seen("entry", "Name")["text"]
            self.assertEqual(shown, before, "ax_set answered %s yet the field changed" % answer)
            self.fail("ax_set answered %s; the field still shows %r" % (answer, shown))

    def test_password_field_is_guarded(self):
        secret = self.password_field(self.page()[1])
        length = self.seen("password text", "Secret")["length"]
        self.assertEqual(length, len(SECRET))
        info = self.agent.request("ax_info", pid=self.pid, path=secret["id"])
        self.assertEqual(info.get("result", {}).get("secure"), True, "ax_info answered %s" % info)
        focus = self.agent.request("ax_focus", pid=self.pid, path=secret["id"])
        self.assertEqual(focus.get("result"), {"ok": True}, "ax_focus answered %s" % focus)
        focused = wait_for(lambda: self.agent.result("focus_info", pid=self.pid).get("secure"), EVENT_WAIT, 0.1)
        self.assertTrue(focused, "focus_info while the password field should have focus: %s; pyatspi: %s"
                        % (self.agent.request("focus_info", pid=self.pid), self.seen("password text", "Secret")))
        self.assertIn("focused", self.seen("password text", "Secret")["states"])
        for args in ({"pid": self.pid}, {}):
            answer = self.agent.request("focus_info", **args)
            self.assertEqual(answer.get("result", {}).get("secure"), True, "focus_info %s: %s" % (args, answer))
            answer = self.agent.request("type", text="typed", **args)
            self.assertEqual(answer.get("code"), "secure_field", "type %s answered %s" % (args, answer))
        answer = self.agent.request("ax_set", pid=self.pid, path=secret["id"], value="overwritten")
        self.assertEqual(answer.get("code"), "secure_field", "ax_set answered %s" % answer)
        self.assertEqual(self.seen("password text", "Secret")["length"], len(SECRET),
                         "the password field's text changed")
        # What reads the field while it has focus carries none of it either.
        self.agent.request("ax_tree", pid=self.pid, timeout=LARGE_WAIT, **self.TREE)
        self.agent.request("ax_info", pid=self.pid, path=secret["id"])
        self.agent.request("ax_press_at", pid=self.pid, **dict(zip("xy", centre(secret["frame"]))))
