// The Linux backend's connection to the X server and what every desktop part
// of it shares: atoms, property readers, a silent error trap, and the
// reference-counted objects behind event, application and source handles.
// Internal to the Linux backend; used on the main thread only.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace platform::x11 {

// The connection, opened on first use from DISPLAY. Null when there is no
// display, when it cannot be opened, or once the server has gone away; every
// caller then answers its empty or false form.
Display* display();
// True once the connection was lost after it had been open.
bool connectionLost();

// An interned atom (cached after the first lookup); None without a display.
Atom atom(const char* name);

// Protocol errors are never printed and never end the process; a trap tells
// whether any arrived since it was made. `failed()` syncs with the server
// first, so it sees every error of the requests made so far.
class ErrorTrap {
public:
    ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    bool failed();

private:
    unsigned long previous_;
};

// A 32-bit property's items (CARDINAL, WINDOW, ATOM...), each masked to 32
// bits: Xlib hands them over sign-extended in C longs. Empty when absent.
std::vector<std::uint32_t> property32(Window window, Atom property, Atom type);
// A text property (UTF8_STRING or STRING); nullopt when absent.
std::optional<std::string> propertyText(Window window, Atom property);

// Sends a 32-bit ClientMessage of `type` about `window`, with `data` as its
// first items, to the clients that select `eventMask` on `destination`
// (NoEventMask: to the client that made it). Zero when Xlib refused it.
Status sendMessage(Display* d, Window destination, long eventMask, Window window, Atom type,
                   std::initializer_list<long> data);

}  // namespace platform::x11
