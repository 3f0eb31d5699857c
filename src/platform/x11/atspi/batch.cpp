// Sending calls in batches.
#include "platform/x11/atspi/batch.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace platform::atspi {

namespace {

constexpr int kDefaultTimeoutMs = static_cast<int>(kAXMessagingTimeoutSeconds * 1000);

// Replies that say the owner is gone or does not answer: no further call of
// this request goes to it.
bool ownerLost(const char* error) {
    static constexpr const char* kLost[] = {
        DBUS_ERROR_NO_REPLY, DBUS_ERROR_TIMEOUT, DBUS_ERROR_TIMED_OUT, DBUS_ERROR_SERVICE_UNKNOWN,
        DBUS_ERROR_NAME_HAS_NO_OWNER, DBUS_ERROR_DISCONNECTED, DBUS_ERROR_NO_SERVER,
    };
    return error && std::any_of(std::begin(kLost), std::end(kLost),
                                [&](const char* name) { return std::strcmp(error, name) == 0; });
}

}  // namespace

Sender::Sender(DBusConnection* bus) : bus_(bus), timeoutMs_(kDefaultTimeoutMs) {}

void Sender::beginRequest() {
    drain(bus_);
    peers_.tidy();
    dead_.clear();
    setTimeout(kAXMessagingTimeoutSeconds);
}

void Sender::setTimeout(float seconds) {
    int ms = kDefaultTimeoutMs;
    if (seconds > 0 && seconds < kAXMessagingTimeoutSeconds) ms = std::max(1, static_cast<int>(seconds * 1000));
    timeoutMs_ = ms;
}

// Toolkits offer a direct connection to themselves, which spares every call
// the trip through the bus daemon. The registry and the daemon are always
// called on the bus.
DBusConnection* Sender::route(const std::string& owner) {
    if (owner.empty() || owner[0] != ':' || unresponsive(owner)) return bus_;
    if (auto known = peers_.find(owner)) return *known ? *known : bus_;
    Call ask{{owner, kRootPath}, kApplicationIface, "GetApplicationBusAddress"};
    DBusMessage* msg = ask.takeMessage();
    if (!msg) return bus_;
    ++sent_;
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus_, msg, timeoutMs_, &error);
    dbus_message_unref(msg);
    if (!reply) {
        // An error answer (Qt has no such method) only says there is no
        // direct connection; silence says the owner is stuck or gone.
        bool lost = !dbus_error_is_set(&error) || ownerLost(error.name);
        dbus_error_free(&error);
        if (lost) {
            dead_.insert(owner);
            return bus_;
        }
        peers_.open(owner, nullptr);
        return bus_;
    }
    const char* address = nullptr;
    if (dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN ||
        !dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID))
        address = nullptr;
    DBusConnection* direct = peers_.open(owner, address);
    dbus_message_unref(reply);
    return direct ? direct : bus_;
}

void Sender::run(std::vector<Call>& calls) {
    std::vector<DBusPendingCall*> pending(calls.size(), nullptr);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        Call& c = calls[i];
        c.setReply(nullptr);
        if (unresponsive(c.target().bus)) continue;
        DBusMessage* msg = c.takeMessage();
        if (!msg) continue;
        DBusConnection* via = route(c.target().bus);
        // Asking for the direct connection is itself a call: an owner that
        // missed it is not called again.
        if (unresponsive(c.target().bus)) {
            dbus_message_unref(msg);
            continue;
        }
        if (via != bus_) dbus_message_set_destination(msg, nullptr);
        if (dbus_connection_send_with_reply(via, msg, &pending[i], timeoutMs_))
            ++sent_;
        else
            pending[i] = nullptr;
        dbus_message_unref(msg);
    }
    dbus_connection_flush(bus_);
    peers_.flush();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (!pending[i]) continue;
        const std::string& owner = calls[i].target().bus;
        // Without a main loop, libdbus counts a pending call's timeout from
        // when the wait for it begins: once one call to an owner ran out,
        // waiting for its others would cost a full timeout each. Those that
        // already came are kept.
        if (unresponsive(owner) && !dbus_pending_call_get_completed(pending[i])) {
            dbus_pending_call_cancel(pending[i]);
            dbus_pending_call_unref(pending[i]);
            continue;
        }
        dbus_pending_call_block(pending[i]);
        DBusMessage* reply = dbus_pending_call_steal_reply(pending[i]);
        dbus_pending_call_unref(pending[i]);
        if (!reply) {
            dead_.insert(owner);
        } else if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR) {
            if (ownerLost(dbus_message_get_error_name(reply))) dead_.insert(owner);
            dbus_message_unref(reply);
        } else {
            calls[i].setReply(reply);
        }
    }
}

bool Sender::runOne(Call& call) {
    std::vector<Call> one;
    one.push_back(std::move(call));
    run(one);
    call = std::move(one[0]);
    return call.reply() != nullptr;
}

}  // namespace platform::atspi
