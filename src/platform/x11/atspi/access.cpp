// Accessibility access: whether the accessibility bus answers, turning
// accessibility on, and secure keyboard input.
#include "platform/x11/atspi/session.h"

namespace platform {

namespace {

constexpr int kTimeoutMs = static_cast<int>(kAXMessagingTimeoutSeconds * 1000);

// Sends `msg` on `c` and waits for the reply: whether it is a method return.
bool answered(DBusConnection* c, DBusMessage* msg) {
    if (!msg) return false;
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(c, msg, kTimeoutMs, nullptr);
    dbus_message_unref(msg);
    if (!reply) return false;
    bool ok = dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
    dbus_message_unref(reply);
    return ok;
}

}  // namespace

bool axIsProcessTrusted() {
    auto* s = atspi::Session::get();
    if (!s || !dbus_connection_get_is_connected(s->sender().bus())) return false;
    atspi::Call c{{DBUS_SERVICE_DBUS, DBUS_PATH_DBUS}, DBUS_INTERFACE_DBUS, "GetId"};
    return answered(s->sender().bus(), c.takeMessage());
}

// Accessibility is switched on for the whole session through the bus
// launcher's org.a11y.Status IsEnabled property, on the session bus.
// The accessibility bus is reached first, as by any accessibility request, so
// turning accessibility on never changes which bus the agent talks to.
bool axIsProcessTrustedWithPrompt() {
    atspi::Session::get();
    if (DBusConnection* session = dbus_bus_get_private(DBUS_BUS_SESSION, nullptr)) {
        dbus_connection_set_exit_on_disconnect(session, FALSE);
        atspi::Call c{{"org.a11y.Bus", "/org/a11y/bus"}, atspi::kPropertiesIface, "Set", "ssv",
                      "org.a11y.Status", "IsEnabled", true};
        answered(session, c.takeMessage());
        dbus_connection_close(session);
        dbus_connection_unref(session);
    }
    return axIsProcessTrusted();
}

// X11 tells nobody whether another client holds a keyboard grab; the only way
// to find out is to try grabbing the keyboard, which moves focus events to the
// focused window. Without a side-effect-free answer this reports false.
bool isSecureEventInputEnabled() { return false; }

}  // namespace platform
