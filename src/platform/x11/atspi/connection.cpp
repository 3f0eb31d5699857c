// The accessibility bus and the direct connections to applications.
#include "platform/x11/atspi/connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform::atspi {

namespace {

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

// The X display whose root window may name the bus: AT_SPI_DISPLAY as given,
// else DISPLAY without its screen number.
std::optional<std::string> displayName() {
    if (const char* v = std::getenv("AT_SPI_DISPLAY")) return std::string(v);
    const char* d = env("DISPLAY");
    if (!d) return std::nullopt;
    std::string name = d;
    auto colon = name.rfind(':');
    auto dot = name.rfind('.');
    if (colon != std::string::npos && dot != std::string::npos && dot > colon) name.resize(dot);
    return name;
}

// The bus launcher publishes the address on the root window too. A short-lived
// connection of its own reads it, so the answer does not depend on the state
// of the backend's main X connection. Empty when there is none.
std::string addressFromX() {
    std::string out;
    if (!std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) return out;
    auto name = displayName();
    Display* display = name ? XOpenDisplay(name->c_str()) : nullptr;
    if (!display) return out;
    Atom property = XInternAtom(display, "AT_SPI_BUS", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, BUFSIZ, False, XA_STRING, &type, &format,
                           &items, &left, &data) == Success &&
        data && format == 8)
        out.assign(reinterpret_cast<const char*>(data), items);
    if (data) XFree(data);
    XCloseDisplay(display);
    return out;
}

// org.a11y.Bus.GetAddress on the session bus (the launcher starts the bus when
// it is not running yet, so this waits as long as D-Bus lets a call wait).
// Empty when there is no answer.
std::string addressFromLauncher() {
    std::string out;
    DBusConnection* session = dbus_bus_get_private(DBUS_BUS_SESSION, nullptr);
    if (!session) return out;
    dbus_connection_set_exit_on_disconnect(session, FALSE);
    if (DBusMessage* msg = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress")) {
        if (DBusMessage* reply = dbus_connection_send_with_reply_and_block(session, msg, -1, nullptr)) {
            const char* address = nullptr;
            if (dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID) && address)
                out = address;
            dbus_message_unref(reply);
        }
        dbus_message_unref(msg);
    }
    dbus_connection_close(session);
    dbus_connection_unref(session);
    return out;
}

void close(DBusConnection* c) {
    dbus_connection_close(c);
    dbus_connection_unref(c);
}

}  // namespace

DBusConnection* openAccessibilityBus() {
    const char* fromEnv = env("AT_SPI_BUS_ADDRESS");
    std::string address = fromEnv ? fromEnv : "";
    if (address.empty()) address = addressFromX();
    if (address.empty()) address = addressFromLauncher();
    if (address.empty()) return nullptr;
    DBusConnection* bus = dbus_connection_open_private(address.c_str(), nullptr);
    if (!bus) return nullptr;
    dbus_connection_set_exit_on_disconnect(bus, FALSE);
    if (!dbus_bus_register(bus, nullptr) || !dbus_connection_get_is_connected(bus)) {
        close(bus);
        return nullptr;
    }
    return bus;
}

void drain(DBusConnection* c) {
    dbus_connection_read_write(c, 0);
    while (dbus_connection_dispatch(c) == DBUS_DISPATCH_DATA_REMAINS) {
    }
}

Peers::~Peers() {
    for (auto& [owner, c] : peers_)
        if (c) close(c);
}

std::optional<DBusConnection*> Peers::find(const std::string& owner) const {
    if (auto it = peers_.find(owner); it != peers_.end()) return it->second;
    return std::nullopt;
}

DBusConnection* Peers::open(const std::string& owner, const char* address) {
    DBusConnection* direct = nullptr;
    if (address && std::strncmp(address, "unix:", 5) == 0) {
        direct = dbus_connection_open_private(address, nullptr);
        if (direct) dbus_connection_set_exit_on_disconnect(direct, FALSE);
    }
    peers_[owner] = direct;
    return direct;
}

void Peers::flush() {
    for (auto& [owner, c] : peers_)
        if (c) dbus_connection_flush(c);
}

void Peers::tidy() {
    for (auto it = peers_.begin(); it != peers_.end();) {
        DBusConnection* c = it->second;
        if (c && dbus_connection_get_is_connected(c)) {
            drain(c);
            ++it;
            continue;
        }
        if (c) close(c);
        it = peers_.erase(it);
    }
}

}  // namespace platform::atspi
