#include "platform/x11/xserver/window_tree.h"

#include <algorithm>

#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {

Ancestry ancestry(Display* d, Window window) {
    Ancestry found;
    Window root = DefaultRootWindow(d);
    ErrorTrap trap;
    for (Window w = window; w != None && w != root;) {
        found.windows.push_back(w);
        Window r = None, parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, w, &r, &parent, &children, &count)) break;
        if (children) XFree(children);
        found.complete = parent == root;
        w = parent;
    }
    return found;
}

Window topLevel(Display* d, Window window) {
    Ancestry up = ancestry(d, window);
    return up.complete ? up.windows.back() : None;
}

bool within(Display* d, Window window, Window outer) {
    if (outer == None) return false;
    Ancestry up = ancestry(d, window);
    return std::find(up.windows.begin(), up.windows.end(), outer) != up.windows.end();
}

std::int32_t pidAt(Display* d, int x, int y) {
    Window root = DefaultRootWindow(d);
    Window child = None;
    int rx = 0, ry = 0;
    {
        ErrorTrap trap;
        if (!XTranslateCoordinates(d, root, root, x, y, &rx, &ry, &child) || child == None) return 0;
    }
    for (const auto& w : managedWindows())
        if (w.id == child || topLevel(d, w.id) == child) return w.pid;
    return windowPid(child);
}

}  // namespace platform::x11
