// The window manager's view of the desktop, as EWMH publishes it on the root
// and on client windows: the client list and the active window, what a
// client says about itself (pid, states, type, title, opacity, frame), and
// the one request the backend makes of the manager, activating a window.
// Internal to the Linux backend; main thread only.
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

// The process's front managed window; None for a pid no process has
// (0 or negative) and for a process without managed windows.
Window frontWindowOf(std::int32_t pid);

// _NET_ACTIVE_WINDOW; None when nothing is active.
Window activeWindow();

// _NET_SUPPORTING_WM_CHECK on the root: the manager's own check window.
std::vector<Window> managerCheckWindows();

// _NET_WM_PID; 0 when absent (or not a positive 32-bit pid).
std::int32_t windowPid(Window window);

// _NET_WM_STATE holds this state atom.
bool hasState(const std::vector<std::uint32_t>& states, const char* name);
std::vector<std::uint32_t> windowStates(Window window);

// The first _NET_WM_WINDOW_TYPE this backend knows; normal without one.
WindowType windowType(Window window);

// _NET_WM_NAME, else the ICCCM WM_NAME; empty when the window has neither.
std::string windowTitle(Window window);

// _NET_WM_WINDOW_OPACITY from 0 to 1; 1 when the window does not set it.
double windowOpacity(Window window);

// _NET_FRAME_EXTENTS: the frame the window manager draws around a client;
// all zero when there is none.
struct FrameExtents {
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;
};
FrameExtents frameExtents(Window window);

// The server's current time (CurrentTime when it cannot be had), for
// requests the window manager orders by time.
Time serverTime(Display* d);

// Asks the window manager to activate `window` as a pager does (source
// indication 2, the request of a user), stamped with the server's time:
// managers that prevent focus stealing compare it with the user's last
// interaction and refuse requests without a real time. With `mapFirst` a
// minimised window is mapped again first (ICCCM's way back to the normal
// state). True when the request went out without a protocol error; the
// manager acts on it later, or not at all.
bool requestActivation(Display* d, Window window, bool mapFirst);

}  // namespace platform::x11
