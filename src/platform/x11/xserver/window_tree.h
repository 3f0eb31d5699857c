// Walks in the X window tree: from a window up to the child of the root that
// holds it (under a reparenting window manager, the frame around a client),
// and down from the root to what is on screen at a point.
// Internal to the Linux backend; main thread only.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

namespace platform::x11 {

// `window` and its ancestors below the root, `window` first. The walk asks
// the server for one parent at a time and has no bound of its own: the tree
// is finite and every step goes one level up, ending at the root (complete)
// or at a window that is gone or on no screen of ours (not complete; that
// window is still in the list). Empty for None and for the root itself.
struct Ancestry {
    std::vector<Window> windows;
    bool complete = false;
};
Ancestry ancestry(Display* d, Window window);

// The child of the root that holds `window` (`window` itself when it is one);
// None when the walk does not reach the root.
Window topLevel(Display* d, Window window);

// Whether `window` is `outer` or one of its descendants (a toolkit may give
// the focus to a child of its top-level window).
bool within(Display* d, Window window, Window outer);

// The process owning what is on screen at (x, y) in root coordinates: the
// managed window whose top level is the topmost there, or a window of its own
// (a popup) that names its process; 0 when neither says.
std::int32_t pidAt(Display* d, int x, int y);

}  // namespace platform::x11
