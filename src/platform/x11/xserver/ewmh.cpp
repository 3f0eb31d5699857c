#include "platform/x11/xserver/ewmh.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <climits>
#include <utility>

#include "platform/x11/xserver/x_display.h"

namespace platform::x11 {

std::vector<ManagedWindow> managedWindows(std::int32_t onlyPid) {
    std::vector<ManagedWindow> windows;
    Display* d = display();
    if (!d) return windows;
    Window root = DefaultRootWindow(d);
    std::vector<std::uint32_t> ids = property32(root, atom("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
    if (ids.empty()) ids = property32(root, atom("_NET_CLIENT_LIST"), XA_WINDOW);
    windows.reserve(ids.size());
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        Window w = *it;
        std::int32_t pid = windowPid(w);
        if (onlyPid == 0 || pid == onlyPid)
            windows.push_back({w, pid, hasState(windowStates(w), "_NET_WM_STATE_HIDDEN")});
    }
    return windows;
}

Window frontWindowOf(std::int32_t pid) {
    if (pid <= 0) return None;  // no process has a window for these
    auto windows = managedWindows(pid);
    return windows.empty() ? None : windows.front().id;
}

Window activeWindow() {
    Display* d = display();
    if (!d) return None;
    auto ids = property32(DefaultRootWindow(d), atom("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    return ids.empty() ? None : ids.front();
}

std::vector<Window> managerCheckWindows() {
    Display* d = display();
    if (!d) return {};
    auto ids = property32(DefaultRootWindow(d), atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
    return {ids.begin(), ids.end()};
}

std::int32_t windowPid(Window window) {
    auto pid = property32(window, atom("_NET_WM_PID"), XA_CARDINAL);
    if (pid.empty() || pid.front() == 0 || pid.front() > static_cast<std::uint32_t>(INT32_MAX)) return 0;
    return static_cast<std::int32_t>(pid.front());
}

std::vector<std::uint32_t> windowStates(Window window) {
    return property32(window, atom("_NET_WM_STATE"), XA_ATOM);
}

bool hasState(const std::vector<std::uint32_t>& states, const char* name) {
    Atom wanted = atom(name);
    return wanted != None && std::find(states.begin(), states.end(), wanted) != states.end();
}

WindowType windowType(Window window) {
    static constexpr std::pair<const char*, WindowType> kTypes[] = {
        {"_NET_WM_WINDOW_TYPE_NORMAL", WindowType::normal},
        {"_NET_WM_WINDOW_TYPE_DESKTOP", WindowType::desktop},
        {"_NET_WM_WINDOW_TYPE_DOCK", WindowType::dock},
        {"_NET_WM_WINDOW_TYPE_TOOLBAR", WindowType::toolbar},
        {"_NET_WM_WINDOW_TYPE_MENU", WindowType::menu},
        {"_NET_WM_WINDOW_TYPE_UTILITY", WindowType::utility},
        {"_NET_WM_WINDOW_TYPE_SPLASH", WindowType::splash},
        {"_NET_WM_WINDOW_TYPE_DIALOG", WindowType::dialog},
        {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", WindowType::dropdownMenu},
        {"_NET_WM_WINDOW_TYPE_POPUP_MENU", WindowType::popupMenu},
        {"_NET_WM_WINDOW_TYPE_TOOLTIP", WindowType::tooltip},
        {"_NET_WM_WINDOW_TYPE_NOTIFICATION", WindowType::notification},
        {"_NET_WM_WINDOW_TYPE_COMBO", WindowType::combo},
        {"_NET_WM_WINDOW_TYPE_DND", WindowType::dnd},
    };
    // In order of preference: the first type the backend knows wins.
    for (std::uint32_t type : property32(window, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM))
        for (auto& [name, kind] : kTypes)
            if (atom(name) == type) return kind;
    return WindowType::normal;
}

std::string windowTitle(Window window) {
    auto title = propertyText(window, atom("_NET_WM_NAME"));
    if (!title) title = propertyText(window, XA_WM_NAME);
    return title.value_or("");
}

double windowOpacity(Window window) {
    auto opacity = property32(window, atom("_NET_WM_WINDOW_OPACITY"), XA_CARDINAL);
    return opacity.empty() ? 1.0 : static_cast<double>(opacity.front()) / 0xffffffffu;
}

FrameExtents frameExtents(Window window) {
    auto extents = property32(window, atom("_NET_FRAME_EXTENTS"), XA_CARDINAL);
    if (extents.size() != 4) return {};
    return {static_cast<double>(extents[0]), static_cast<double>(extents[1]), static_cast<double>(extents[2]),
            static_cast<double>(extents[3])};
}

// A zero-length append to a property of a window of our own comes back as a
// PropertyNotify carrying the time it was made.
Time serverTime(Display* d) {
    Window root = DefaultRootWindow(d);
    XSetWindowAttributes attrs;
    attrs.event_mask = PropertyChangeMask;
    Window probe = XCreateWindow(d, root, -1, -1, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent, CWEventMask,
                                 &attrs);
    if (!probe || connectionLost()) return CurrentTime;
    Atom property = atom("_AGENT_TIME_PROBE");
    XChangeProperty(d, probe, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    // Once the sync's reply is in, so is the event sent before it; nothing
    // here waits on a server that went away.
    XSync(d, False);
    XEvent event;
    Time time = XCheckWindowEvent(d, probe, PropertyChangeMask, &event) ? event.xproperty.time : CurrentTime;
    XDestroyWindow(d, probe);
    return time;
}

bool requestActivation(Display* d, Window window, bool mapFirst) {
    ErrorTrap trap;
    if (mapFirst) XMapWindow(d, window);
    Status sent = sendMessage(d, DefaultRootWindow(d), SubstructureRedirectMask | SubstructureNotifyMask, window,
                              atom("_NET_ACTIVE_WINDOW"),
                              {2,  // from a pager: the request of a user
                               static_cast<long>(serverTime(d)), static_cast<long>(activeWindow())});
    XFlush(d);
    return sent != 0 && !trap.failed();
}

}  // namespace platform::x11
