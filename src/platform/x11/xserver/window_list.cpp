// Linux backend: the window list, read from the X server and the window
// manager's EWMH properties: managed windows in stacking order and the
// override-redirect popups above them, each with its layer (window_layers.h).
#include <X11/Xlib.h>

#include <algorithm>
#include <map>
#include <unordered_set>

#include "platform/platform.h"
#include "platform/x11/desktop/app_identity.h"
#include "platform/x11/xserver/ewmh.h"
#include "platform/x11/xserver/window_tree.h"
#include "platform/x11/xserver/x_display.h"

namespace platform {
namespace {

using x11::WindowType;

struct Listed {
    Window id = None;
    std::int32_t pid = 0;
    std::int64_t layer = 0;
    bool onScreen = false;
    bool desktop = false;
};

// The window's outer rectangle in root coordinates: its border box, plus the
// frame the window manager drew around it. None when the window is gone.
std::optional<Rect> outerBounds(Display* d, Window w, const XWindowAttributes& a) {
    Window root = DefaultRootWindow(d), child = None;
    int x = 0, y = 0;
    x11::ErrorTrap trap;
    if (!XTranslateCoordinates(d, w, root, 0, 0, &x, &y, &child)) return std::nullopt;
    x11::FrameExtents frame = x11::frameExtents(w);
    double border = a.border_width;
    return Rect{{x - border - frame.left, y - border - frame.top},
                {a.width + 2 * border + frame.left + frame.right, a.height + 2 * border + frame.top + frame.bottom}};
}

// Mapped override-redirect windows (menus, tooltips, drag icons) that are
// neither a client, nor a frame around one, nor the window manager's own
// check window (openbox maps it, 1x1 off screen), front to back.
std::vector<Window> popups(Display* d, const std::vector<x11::ManagedWindow>& clients) {
    std::vector<Window> found;
    std::unordered_set<Window> managed;
    for (Window check : x11::managerCheckWindows()) managed.insert(check);
    for (const auto& c : clients) {
        managed.insert(c.id);
        managed.insert(x11::topLevel(d, c.id));
    }
    Window root = DefaultRootWindow(d), r = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    x11::ErrorTrap trap;
    if (!XQueryTree(d, root, &r, &parent, &children, &count)) return found;
    for (unsigned int i = count; i-- > 0;) {
        Window w = children[i];
        if (managed.count(w)) continue;
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, w, &a)) continue;
        if (a.override_redirect && a.map_state == IsViewable && a.c_class == InputOutput) found.push_back(w);
    }
    if (children) XFree(children);
    return found;
}

Value describe(Display* d, const Listed& w, const XWindowAttributes& a, const std::string& owner) {
    Dictionary info;
    info.emplace_back(std::string(kCGWindowNumber), static_cast<std::int64_t>(w.id));
    info.emplace_back(std::string(kCGWindowLayer), w.layer);
    if (auto r = outerBounds(d, w.id, a))
        info.emplace_back(std::string(kCGWindowBounds), Dictionary{{"X", r->origin.x},
                                                                    {"Y", r->origin.y},
                                                                    {"Width", r->size.width},
                                                                    {"Height", r->size.height}});
    info.emplace_back(std::string(kCGWindowAlpha), x11::windowOpacity(w.id));
    if (w.pid > 0) {
        info.emplace_back(std::string(kCGWindowOwnerPID), static_cast<std::int64_t>(w.pid));
        info.emplace_back(std::string(kCGWindowOwnerName), owner);
    }
    info.emplace_back(std::string(kCGWindowName), x11::windowTitle(w.id));
    return Value(std::move(info));
}

}  // namespace

Value cgWindowListCopyWindowInfo(std::uint32_t option, std::uint32_t) {
    Display* d = x11::display();
    if (!d) return {};
    const bool onScreenOnly = option & kCGWindowListOptionOnScreenOnly;
    const bool noDesktop = option & kCGWindowListExcludeDesktopElements;

    std::vector<x11::ManagedWindow> clients = x11::managedWindows();
    // An owner is named from its front managed window, as the application
    // list does, so both give it the same name.
    std::map<std::int32_t, Window> frontOf;
    for (const auto& c : clients)
        if (c.pid > 0) frontOf.emplace(c.pid, c.id);

    std::vector<Listed> listed;
    for (Window w : popups(d, clients)) {
        Listed l{w, x11::windowPid(w), 0, true, false};
        l.layer = x11::windowLayer(x11::windowType(w), false, true);
        listed.push_back(l);
    }
    for (const auto& c : clients) {
        WindowType type = x11::windowType(c.id);
        Listed l{c.id, c.pid, 0, !c.minimised, type == WindowType::desktop};
        l.layer = x11::windowLayer(type, x11::hasState(x11::windowStates(c.id), "_NET_WM_STATE_ABOVE"), false);
        listed.push_back(l);
    }
    // Front to back by layer, then by stacking order within a layer.
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.layer > b.layer; });

    std::map<std::int32_t, std::string> owners;
    Array windows;
    for (Listed& w : listed) {
        if (noDesktop && w.desktop) continue;
        XWindowAttributes a;
        {
            x11::ErrorTrap trap;
            if (!XGetWindowAttributes(d, w.id, &a)) continue;  // gone meanwhile
        }
        w.onScreen = w.onScreen && a.map_state == IsViewable;
        if (onScreenOnly && !w.onScreen) continue;
        std::string owner;
        if (w.pid > 0) {
            auto known = owners.find(w.pid);
            if (known == owners.end()) {
                auto front = frontOf.find(w.pid);
                Window namer = front != frontOf.end() ? front->second : w.id;
                known = owners.emplace(w.pid, x11::identifyApplication(w.pid, namer).name).first;
            }
            owner = known->second;
        }
        windows.push_back(describe(d, w, a, owner));
    }
    return Value(std::move(windows));
}

}  // namespace platform
