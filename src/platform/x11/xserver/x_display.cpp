#include "platform/x11/xserver/x_display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <string_view>
#include <unordered_map>

namespace platform::x11 {
namespace {

Display* connection = nullptr;
bool opened = false;  // an attempt was made (successful or not)
bool lost = false;

unsigned long errorCount = 0;

int onError(Display*, XErrorEvent*) {
    ++errorCount;
    return 0;  // never print, never exit
}

// The server went away. Xlib exits the process when this handler returns
// unless an exit handler is installed; ours returns too, which leaves the
// display marked dead so later requests on it do nothing.
int onIOError(Display*) {
    lost = true;
    return 0;
}
void onIOErrorExit(Display*, void*) { lost = true; }

std::unordered_map<std::string, Atom>& atoms() {
    static std::unordered_map<std::string, Atom> cache;
    return cache;
}

// A property's value as the server sent it, freed with the object.
struct RawProperty {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;

    RawProperty() = default;
    RawProperty(const RawProperty&) = delete;
    RawProperty& operator=(const RawProperty&) = delete;
    ~RawProperty() {
        if (data) XFree(data);
    }
};

// Reads `property` of `window` if it has `type` (AnyPropertyType: any);
// false when there is no such property, window or display.
bool readProperty(Window window, Atom property, Atom type, RawProperty& raw) {
    Display* d = display();
    if (!d || window == None || property == None) return false;
    ErrorTrap trap;
    unsigned long after = 0;
    return XGetWindowProperty(d, window, property, 0, 1 << 16, False, type, &raw.type, &raw.format, &raw.count,
                              &after, &raw.data) == Success &&
           raw.data;
}

}  // namespace

Display* display() {
    if (lost) return nullptr;
    if (!opened) {
        opened = true;
        XSetErrorHandler(onError);
        XSetIOErrorHandler(onIOError);
        const char* name = std::getenv("DISPLAY");
        if (name && *name) connection = XOpenDisplay(name);
        if (connection) XSetIOErrorExitHandler(connection, onIOErrorExit, nullptr);
    }
    return lost ? nullptr : connection;
}

bool connectionLost() { return lost; }

Atom atom(const char* name) {
    Display* d = display();
    if (!d) return None;
    auto& cache = atoms();
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    Atom a = XInternAtom(d, name, False);
    if (lost) return None;
    cache.emplace(name, a);
    return a;
}

ErrorTrap::ErrorTrap() : previous_(errorCount) {}

bool ErrorTrap::failed() {
    if (Display* d = display()) XSync(d, False);
    return errorCount != previous_ || lost;
}

std::vector<std::uint32_t> property32(Window window, Atom property, Atom type) {
    std::vector<std::uint32_t> items;
    RawProperty raw;
    if (!readProperty(window, property, type, raw) || raw.format != 32) return items;
    auto* longs = reinterpret_cast<unsigned long*>(raw.data);
    items.reserve(raw.count);
    for (unsigned long i = 0; i < raw.count; ++i) items.push_back(static_cast<std::uint32_t>(longs[i] & 0xffffffffUL));
    return items;
}

std::optional<std::string> propertyText(Window window, Atom property) {
    RawProperty raw;
    if (!readProperty(window, property, AnyPropertyType, raw) || raw.format != 8 || raw.type == None)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(raw.data), raw.count);
}

Status sendMessage(Display* d, Window destination, long eventMask, Window window, Atom type,
                   std::initializer_list<long> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    int i = 0;
    for (long item : data)
        if (i < 5) event.xclient.data.l[i++] = item;
    return XSendEvent(d, destination, False, eventMask, &event);
}

}  // namespace platform::x11
