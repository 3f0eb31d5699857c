// What the window list and the running applications share: the window
// manager's client windows, their owners, states and types, and how an
// owning process is named and identified. Main thread only.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/x11/xserver/window_layers.h"

namespace platform::x11 {

struct ManagedWindow {
    Window id = None;
    std::int32_t pid = 0;  // 0 when the client did not say (_NET_WM_PID)
    bool minimised = false;
};

// The window manager's client windows, front to back
// (_NET_CLIENT_LIST_STACKING is bottom to top; _NET_CLIENT_LIST when the
// manager keeps no stacking list). Empty without a display or manager.
// With a pid, only that process's windows.
std::vector<ManagedWindow> managedWindows(std::int32_t onlyPid = 0);

// _NET_ACTIVE_WINDOW; None when nothing is active.
Window activeWindow();

// _NET_WM_PID; 0 when absent (or not a positive 32-bit pid).
std::int32_t windowPid(Window window);

// _NET_WM_STATE holds this state atom.
bool hasState(const std::vector<std::uint32_t>& states, const char* name);
std::vector<std::uint32_t> windowStates(Window window);

// The first _NET_WM_WINDOW_TYPE this backend knows.
WindowType windowType(Window window);

struct AppIdentity {
    std::string name;        // for people: the desktop entry's Name, else WM_CLASS's class, else the command
    std::string identifier;  // never empty: the desktop-file id, else WM_CLASS's class, else the command
};
// Names the process `pid` from one of its windows (its front one, so every
// caller that asks about the same application gets the same answer).
AppIdentity identifyApplication(std::int32_t pid, Window window);

}  // namespace platform::x11
