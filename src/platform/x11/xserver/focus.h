// Bringing a window to the keyboard: the window manager is asked to activate
// it, and the caller waits until the manager and the server's input focus
// agree that it has the keyboard. Internal to the Linux backend; main thread
// only.
#pragma once

#include <X11/Xlib.h>

namespace platform::x11 {

inline constexpr int kActivateWaitMs = 1000;

// `window` is the active window and the input focus is on it or inside it.
bool holdsFocus(Display* d, Window window);

// Activates `window` unless it holds the focus already, then waits for the
// focus, at most kActivateWaitMs. False when it did not come (or the server
// went away meanwhile).
bool focusWindow(Display* d, Window window);

}  // namespace platform::x11
