"""Chromium on a local page of controls, driven through the agent: its
tree, presses by path and by point, setting text, and the password guard,
each effect seen in the window title or through pyatspi."""
from browser import BrowserPageTest
from harness import DesktopTest, main


class ChromiumTest(BrowserPageTest, DesktopTest):
    BROWSER = "chromium"


if __name__ == "__main__":
    main()
