"""GTK3 window for the accessibility desktop tests.

Usage: ax_fixture.py STATE_DIR [ROWS]
ROWS (16) is the number of rows of twelve labels at the bottom, for trees of
any size. Writes the password field's text to STATE_DIR/password whenever it changes
(the accessibility bus only ever shows bullets), the plain entry's text to
STATE_DIR/entry, and STATE_DIR/ready once the window is on screen."""
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

PASSWORD = "hunter2-Zq9"
state = sys.argv[1]
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 16


def write(name, text):
    path = os.path.join(state, name)
    with open(path + ".tmp", "w") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


window = Gtk.Window(title="AX Fixture")
window.set_default_size(640, 560)
window.move(60, 40)
column = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=2)
window.add(column)

status = Gtk.Label(label="Not pressed")
presses = [0]


def pressed(_button):
    presses[0] += 1
    status.set_text("Pressed %d" % presses[0])


button = Gtk.Button(label="Press me")
button.connect("clicked", pressed)
column.add(button)
column.add(status)
column.add(Gtk.Label(label="Name"))

entry = Gtk.Entry()
entry.connect("changed", lambda e: write("entry", e.get_text()))
column.add(entry)

password = Gtk.Entry()
password.set_visibility(False)
password.set_text(PASSWORD)
password.connect("changed", lambda e: write("password", e.get_text()))
column.add(password)

check = Gtk.CheckButton(label="Remember me")
column.add(check)

# A row whose contents go away when "Remove" is pressed.
removable = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL)
removable.add(Gtk.Label(label="Temporary"))
removable.add(Gtk.Label(label="Also temporary"))
remove = Gtk.Button(label="Remove")
remove.connect("clicked", lambda b: [c.destroy() for c in removable.get_children()])
column.add(remove)
column.add(removable)

# A deep nest, deeper than a snapshot's default depth.
outer = column
for level in range(12):
    inner = Gtk.Box(orientation=Gtk.Orientation.HORIZONTAL)
    inner.add(Gtk.Label(label="Level %d" % level))
    outer.add(inner)
    outer = inner

# Enough cells for a tree of a few hundred elements (by default).
grid = Gtk.Grid()
for row in range(rows):
    for col in range(12):
        grid.attach(Gtk.Label(label="r%dc%d" % (row, col)), col, row, 1, 1)
column.add(grid)

window.connect("destroy", Gtk.main_quit)
window.show_all()
write("password", PASSWORD)
write("entry", "")
GLib.timeout_add(300, lambda: write("ready", str(os.getpid())) and False)
Gtk.main()
