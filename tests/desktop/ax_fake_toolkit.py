"""A toolkit of our own on the accessibility bus, for what GTK never shows:
the older cache layout, a cache that misses elements or answers slowly,
off-screen extents, raw action names, a Value interface, and loops in the tree.

Usage: ax_fake_toolkit.py STATE_DIR MODE     (MODE: plain, slowcache, loop, sparse)
Writes STATE_DIR/ready when registered, appends every performed action's
index to STATE_DIR/actions, and the name of every call for an element's
frame, actions or value to STATE_DIR/details. In slowcache mode the cache answers only once
STATE_DIR/release exists. In sparse mode it behaves as the bridges of Qt 5 and
Chromium do: an empty cache, no Properties.GetAll (a call to it is written to
STATE_DIR/getall and fails), no direct connection, action names only by index,
a deeper tree (rows of labelled cells) that must be read live, and no
Collection: its focused password field is found only by a search."""
import os
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

state, mode = sys.argv[1], sys.argv[2]
dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
session = dbus.SessionBus()
address = session.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(dbus_interface="org.a11y.Bus")
bus = dbus.bus.BusConnection(address)
NAME = bus.get_unique_name()
BASE = "/org/a11y/atspi/accessible"
INT_MIN = -2147483648
SHOWN = (1 << 8) | (1 << 24) | (1 << 25) | (1 << 30)  # enabled, sensitive, showing, visible

FRAME, LABEL, PASSWORD_TEXT, PANEL, PUSH_BUTTON, SLIDER, APPLICATION = 23, 29, 40, 39, 43, 51, 75
A, C, T, V, ACT = ("org.a11y.atspi.Accessible", "org.a11y.atspi.Component", "org.a11y.atspi.Text",
                   "org.a11y.atspi.Value", "org.a11y.atspi.Action")

# name: (role, title, parent, children, interfaces, extents, extra)
NODES = {
    "root": (APPLICATION, "fake", None, ["win"], [A], None, {}),
    "win": (FRAME, "Fake Window", "root", ["ok", "hidden", "live", "slider", "loop"], [A, C],
            (10, 10, 300, 200), {}),
    "ok": (PUSH_BUTTON, "OK", "win", [], [A, C, ACT], (20, 40, 80, 30), {"actions": ["press", "click"]}),
    "hidden": (LABEL, "Hidden", "win", [], [A, C, T], (INT_MIN, INT_MIN, 10, 10), {"text": "Hidden"}),
    "live": (PANEL, "", "win", ["livechild"], [A, C], (20, 80, 200, 20), {}),
    "livechild": (LABEL, "Live child", "live", [], [A, C, T], (20, 80, 60, 20), {"text": "Live child"}),
    "slider": (SLIDER, "Volume", "win", [], [A, C, V], (20, 110, 100, 20), {"value": 42.5}),
    "loop": (PANEL, "Loop", "win", ["loop", "win"] if mode == "loop" else [], [A], None, {}),
}
if mode == "sparse":
    NODES["win"][3].append("table")
    NODES["table"] = (PANEL, "Table", "win", ["row%d" % i for i in range(40)], [A, C], (20, 140, 200, 60), {})
    for i in range(40):
        NODES["row%d" % i] = (PANEL, "", "table", ["cell%d" % i], [A], None, {})
        NODES["cell%d" % i] = (PUSH_BUTTON, "Cell %d" % i, "row%d" % i, [], [A, ACT], None, {"actions": ["click"]})
    # The last row holds a password field with the focus; as Qt does, its
    # container is marked focused too. No Collection answers for them.
    NODES["row39"][3].append("secret")
    NODES["secret"] = (PASSWORD_TEXT, "Secret", "row39", [], [A, T], None, {"text": "hunter2"})
FOCUSED = {"row39", "secret"} if mode == "sparse" else set()
# The cache leaves out the panel's child: it must be asked for live.
CACHED = [n for n in NODES if n not in ("root", "livechild")] if mode != "sparse" else []


def ref(name):
    return dbus.Struct((NAME, dbus.ObjectPath(BASE + "/" + name)), signature="so")


def node(rel):
    return NODES.get(rel.rsplit("/", 1)[-1])


def detail(call):
    with open(os.path.join(state, "details"), "a") as f:
        f.write(call + "\n")


class Tree(dbus.service.FallbackObject):
    def __init__(self):
        super().__init__(bus, BASE)

    @dbus.service.method(A, out_signature="a(so)", rel_path_keyword="rel")
    def GetChildren(self, rel):
        return dbus.Array([ref(c) for c in node(rel)[3]], signature="(so)")

    @dbus.service.method(A, out_signature="u", rel_path_keyword="rel")
    def GetRole(self, rel):
        return dbus.UInt32(node(rel)[0])

    @dbus.service.method(A, out_signature="au", rel_path_keyword="rel")
    def GetState(self, rel):
        focused = (1 << 12) if rel.rsplit("/", 1)[-1] in FOCUSED else 0
        return dbus.Array([dbus.UInt32(SHOWN | focused), dbus.UInt32(0)], signature="u")

    @dbus.service.method(A, out_signature="as", rel_path_keyword="rel")
    def GetInterfaces(self, rel):
        return dbus.Array(node(rel)[4], signature="s")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}", rel_path_keyword="rel")
    def GetAll(self, iface, rel):
        if mode == "sparse":
            with open(os.path.join(state, "getall"), "a") as f:
                f.write(rel + "\n")
            raise dbus.exceptions.DBusException("no GetAll here", name="org.freedesktop.DBus.Error.UnknownInterface")
        return self.properties(rel)

    def properties(self, rel):
        n = node(rel)
        parent = ref(n[2]) if n[2] else dbus.Struct(("", dbus.ObjectPath("/org/a11y/atspi/null")), signature="so")
        return {"Name": n[1], "Description": "", "ChildCount": dbus.Int32(len(n[3])), "Parent": parent}

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v", rel_path_keyword="rel")
    def Get(self, iface, prop, rel):
        n = node(rel)
        if prop in ("CurrentValue", "NActions"):
            detail(prop)
        if prop == "CurrentValue":
            return dbus.Double(n[6]["value"])
        if prop == "ToolkitName":
            return "Qt" if mode == "sparse" else "fake"
        return self.properties(rel)[prop]

    @dbus.service.method(C, in_signature="u", out_signature="(iiii)", rel_path_keyword="rel")
    def GetExtents(self, coords, rel):
        detail("GetExtents")
        return dbus.Struct(node(rel)[5], signature="iiii")

    @dbus.service.method(C, in_signature="iiu", out_signature="(so)", rel_path_keyword="rel")
    def GetAccessibleAtPoint(self, x, y, coords, rel):
        for child in node(rel)[3]:
            e = NODES[child][5]
            if e and e[0] <= x < e[0] + e[2] and e[1] <= y < e[1] + e[3]:
                return ref(child)
        return dbus.Struct(("", dbus.ObjectPath("/org/a11y/atspi/null")), signature="so")

    @dbus.service.method(T, in_signature="ii", out_signature="s", rel_path_keyword="rel")
    def GetText(self, start, end, rel):
        detail("GetText")
        return node(rel)[6]["text"]

    @dbus.service.method(ACT, out_signature="a(sss)", rel_path_keyword="rel")
    def GetActions(self, rel):
        detail("GetActions")
        names = node(rel)[6]["actions"]
        return dbus.Array([("" if mode == "sparse" else a, "", "") for a in names], signature="(sss)")

    @dbus.service.method(ACT, in_signature="i", out_signature="s", rel_path_keyword="rel")
    def GetName(self, index, rel):
        return node(rel)[6]["actions"][index]

    @dbus.service.method(ACT, in_signature="i", out_signature="b", rel_path_keyword="rel")
    def DoAction(self, index, rel):
        with open(os.path.join(state, "actions"), "a") as f:
            f.write("%s:%d\n" % (rel.rsplit("/", 1)[-1], index))
        return True

    @dbus.service.method("org.a11y.atspi.Application", out_signature="s", rel_path_keyword="rel")
    def GetApplicationBusAddress(self, rel):
        if mode == "sparse":
            raise dbus.exceptions.DBusException("no such object", name="org.freedesktop.DBus.Error.UnknownObject")
        return ""


class Cache(dbus.service.Object):
    """The older layout: each element with the list of its children."""

    def __init__(self):
        super().__init__(bus, "/org/a11y/atspi/cache")

    @dbus.service.method("org.a11y.atspi.Cache", out_signature="a((so)(so)(so)a(so)assusau)")
    def GetItems(self):
        if mode == "slowcache":
            # Busy until the test lets it go (STATE/release), however long a
            # caller waits: only a caller's own timeout ends its wait.
            for _ in range(60000):
                if os.path.exists(os.path.join(state, "release")):
                    break
                time.sleep(0.01)
        items = []
        for name in CACHED:
            role, title, parent, children, ifaces, _, _ = NODES[name]
            items.append((ref(name), ref("root"), ref(parent), [ref(c) for c in children], ifaces, title,
                          dbus.UInt32(role), "", [dbus.UInt32(SHOWN), dbus.UInt32(0)]))
        return items


tree, cache = Tree(), Cache()
registry = bus.get_object("org.a11y.atspi.Registry", BASE + "/root")
registry.Embed(ref("root"), dbus_interface="org.a11y.atspi.Socket")
with open(os.path.join(state, "ready"), "w") as f:
    f.write(str(os.getpid()))
GLib.MainLoop().run()
