// Linux backend: the window list, the main display and the screen
// permission, read from the X server and the window manager's EWMH
// properties.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <map>
#include <unordered_set>

#include "platform/platform.h"
#include "platform/x11/x_desktop.h"
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
// frame the window manager drew around it (_NET_FRAME_EXTENTS: left, right,
// top, bottom). None when the window is gone.
std::optional<Rect> outerBounds(Display* d, Window w, const XWindowAttributes& a) {
    Window root = DefaultRootWindow(d), child = None;
    int x = 0, y = 0;
    x11::ErrorTrap trap;
    if (!XTranslateCoordinates(d, w, root, 0, 0, &x, &y, &child)) return std::nullopt;
    double left = 0, right = 0, top = 0, bottom = 0;
    auto extents = x11::property32(w, x11::atom("_NET_FRAME_EXTENTS"), XA_CARDINAL);
    if (extents.size() == 4) {
        left = extents[0];
        right = extents[1];
        top = extents[2];
        bottom = extents[3];
    }
    double border = a.border_width;
    return Rect{{x - border - left, y - border - top},
                {a.width + 2 * border + left + right, a.height + 2 * border + top + bottom}};
}

// The topmost ancestor below the root: the window manager's frame around a
// client, or the client itself when it is not reparented.
Window topLevel(Display* d, Window w) {
    Window root = DefaultRootWindow(d);
    for (int depth = 0; depth < 16; ++depth) {
        Window r = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        x11::ErrorTrap trap;
        if (!XQueryTree(d, w, &r, &parent, &children, &count)) return w;
        if (children) XFree(children);
        if (parent == root || parent == None) return w;
        w = parent;
    }
    return w;
}

// Mapped override-redirect windows (menus, tooltips, drag icons) that are
// neither a client, nor a frame around one, nor the window manager's own
// check window (openbox maps it, 1x1 off screen), front to back.
std::vector<Window> popups(Display* d, const std::vector<x11::ManagedWindow>& clients) {
    std::vector<Window> found;
    std::unordered_set<Window> managed;
    for (std::uint32_t check : x11::property32(DefaultRootWindow(d), x11::atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW))
        managed.insert(check);
    for (const auto& c : clients) {
        managed.insert(c.id);
        managed.insert(topLevel(d, c.id));
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
    double alpha = 1.0;
    auto opacity = x11::property32(w.id, x11::atom("_NET_WM_WINDOW_OPACITY"), XA_CARDINAL);
    if (!opacity.empty()) alpha = static_cast<double>(opacity.front()) / 0xffffffffu;
    info.emplace_back(std::string(kCGWindowAlpha), alpha);
    if (w.pid > 0) {
        info.emplace_back(std::string(kCGWindowOwnerPID), static_cast<std::int64_t>(w.pid));
        info.emplace_back(std::string(kCGWindowOwnerName), owner);
    }
    auto title = x11::propertyText(w.id, x11::atom("_NET_WM_NAME"));
    if (!title) title = x11::propertyText(w.id, XA_WM_NAME);
    info.emplace_back(std::string(kCGWindowName), title.value_or(""));
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

namespace {

// The CRTC rectangle an output shows; none when it shows nothing.
std::optional<Rect> outputBounds(Display* d, XRRScreenResources* res, RROutput output) {
    std::optional<Rect> bounds;
    XRROutputInfo* info = XRRGetOutputInfo(d, res, output);
    if (!info) return bounds;
    if (info->connection == RR_Connected && info->crtc != None) {
        if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(d, res, info->crtc)) {
            if (crtc->width > 0 && crtc->height > 0)
                bounds = Rect{{static_cast<double>(crtc->x), static_cast<double>(crtc->y)},
                              {static_cast<double>(crtc->width), static_cast<double>(crtc->height)}};
            XRRFreeCrtcInfo(crtc);
        }
    }
    XRRFreeOutputInfo(info);
    return bounds;
}

// The main display: RandR's primary output, else the first connected output
// that shows something; its id is the output's. Without RandR (or outputs)
// the whole root window, with the root's id.
std::pair<std::uint32_t, Rect> mainDisplay(Display* d) {
    Window root = DefaultRootWindow(d);
    int eventBase = 0, errorBase = 0;
    x11::ErrorTrap trap;
    if (XRRQueryExtension(d, &eventBase, &errorBase)) {
        if (XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, root)) {
            std::optional<std::pair<std::uint32_t, Rect>> found;
            RROutput primary = XRRGetOutputPrimary(d, root);
            if (primary != None)
                if (auto r = outputBounds(d, res, primary)) found.emplace(static_cast<std::uint32_t>(primary), *r);
            for (int i = 0; !found && i < res->noutput; ++i)
                if (auto r = outputBounds(d, res, res->outputs[i]))
                    found.emplace(static_cast<std::uint32_t>(res->outputs[i]), *r);
            XRRFreeScreenResources(res);
            if (found) return *found;
        }
    }
    int screen = DefaultScreen(d);
    return {static_cast<std::uint32_t>(root),
            Rect{{0, 0}, {static_cast<double>(DisplayWidth(d, screen)), static_cast<double>(DisplayHeight(d, screen))}}};
}

}  // namespace

std::uint32_t cgMainDisplayID() {
    Display* d = x11::display();
    return d ? mainDisplay(d).first : 0;
}

Rect cgDisplayBounds(std::uint32_t id) {
    Display* d = x11::display();
    if (!d || id == 0) return {};
    auto [mainId, bounds] = mainDisplay(d);
    if (id == mainId) return bounds;
    // Another output, asked for by its id.
    std::optional<Rect> other;
    x11::ErrorTrap trap;
    if (XRRScreenResources* res = XRRGetScreenResourcesCurrent(d, DefaultRootWindow(d))) {
        for (int i = 0; i < res->noutput; ++i)
            if (res->outputs[i] == id) other = outputBounds(d, res, res->outputs[i]);
        XRRFreeScreenResources(res);
    }
    return other.value_or(Rect{});
}

// X has no capture permission: a client that can read the root window can
// read what it shows.
bool cgPreflightScreenCaptureAccess() {
    Display* d = x11::display();
    if (!d) return false;
    XWindowAttributes a;
    x11::ErrorTrap trap;
    return XGetWindowAttributes(d, DefaultRootWindow(d), &a) != 0 && !trap.failed();
}

bool cgRequestScreenCaptureAccess() { return cgPreflightScreenCaptureAccess(); }

}  // namespace platform
