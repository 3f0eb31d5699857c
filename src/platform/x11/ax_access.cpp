// Accessibility access: whether the accessibility bus answers, turning
// accessibility on, and secure keyboard input.
#include "platform/x11/ax_bus.h"

namespace platform {

bool axIsProcessTrusted() {
    auto& s = atspi::Session::get();
    if (!s.ok() || !dbus_connection_get_is_connected(s.bus())) return false;
    DBusMessage* msg = dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "GetId");
    if (!msg) return false;
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(s.bus(), msg, 2000, nullptr);
    dbus_message_unref(msg);
    if (!reply) return false;
    bool ok = dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN;
    dbus_message_unref(reply);
    return ok;
}

// Accessibility is switched on for the whole session through the bus
// launcher's org.a11y.Status IsEnabled property, on the session bus.
bool axIsProcessTrustedWithPrompt() {
    atspi::Session::get();  // glib's messages are silenced before anything else runs
    DBusConnection* session = dbus_bus_get_private(DBUS_BUS_SESSION, nullptr);
    if (session) {
        dbus_connection_set_exit_on_disconnect(session, FALSE);
        DBusMessage* msg = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus",
                                                        DBUS_INTERFACE_PROPERTIES, "Set");
        if (msg) {
            DBusMessageIter it, v;
            const char* iface = "org.a11y.Status";
            const char* prop = "IsEnabled";
            dbus_bool_t on = TRUE;
            dbus_message_iter_init_append(msg, &it);
            dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &iface);
            dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &prop);
            dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "b", &v);
            dbus_message_iter_append_basic(&v, DBUS_TYPE_BOOLEAN, &on);
            dbus_message_iter_close_container(&it, &v);
            if (DBusMessage* reply = dbus_connection_send_with_reply_and_block(session, msg, 2000, nullptr))
                dbus_message_unref(reply);
            dbus_message_unref(msg);
        }
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
