// How a process that owns windows is named and identified, for the
// application list and the window list alike: from the GTK application id,
// the desktop entry that describes it, WM_CLASS, or the process itself.
// Main thread only.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

namespace platform::x11 {

struct AppIdentity {
    std::string name;        // for people: the desktop entry's Name, else WM_CLASS's class, else the command
    std::string identifier;  // never empty: the desktop-file id, else WM_CLASS's class, else the command
};
// Names the process `pid` from one of its windows (its front one, so every
// caller that asks about the same application gets the same answer).
AppIdentity identifyApplication(std::int32_t pid, Window window);

}  // namespace platform::x11
