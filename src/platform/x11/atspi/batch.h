// Sending calls: all of a batch at once, each bounded by the request's
// timeout, through the application's direct connection when it offers one.
// An owner that did not answer in time is not called again within the
// request. Internal to the Linux backend.
#pragma once

#include <dbus/dbus.h>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/x11/atspi/call.h"
#include "platform/x11/atspi/connection.h"

namespace platform::atspi {

class Sender {
public:
    explicit Sender(DBusConnection* bus);  // adopts the connection
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    DBusConnection* bus() const { return bus_; }

    // Starts a request: reads what arrived since the last one, tidies the
    // direct connections, forgets who did not answer and restores the
    // default timeout.
    void beginRequest();
    // Bounded to what the agent accepts from any application.
    void setTimeout(float seconds);
    int timeoutMs() const { return timeoutMs_; }

    // Sends every call at once and waits for all replies (each bounded by the
    // timeout, so the whole batch too). Calls to an owner that already failed
    // to answer within this request are not sent. A call's reply stays null
    // when it failed.
    void run(std::vector<Call>& calls);
    bool runOne(Call& call);

    // Method calls sent since the process started.
    std::uint64_t callsSent() const { return sent_; }
    bool unresponsive(const std::string& owner) const { return dead_.count(owner) != 0; }
    // Lets an owner be called again within this request.
    void forgive(const std::string& owner) { dead_.erase(owner); }

private:
    DBusConnection* route(const std::string& owner);
    DBusConnection* bus_;
    Peers peers_;
    int timeoutMs_;
    std::uint64_t sent_ = 0;
    std::unordered_set<std::string> dead_;
};

}  // namespace platform::atspi
