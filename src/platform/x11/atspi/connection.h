// Connections: the accessibility bus itself, and the direct connections
// toolkits offer to themselves. Internal to the Linux backend.
#pragma once

#include <dbus/dbus.h>

#include <optional>
#include <string>
#include <unordered_map>

namespace platform::atspi {

// Opens a private connection to the accessibility bus and registers on it;
// null when there is no bus to be found or it does not answer. The address is
// looked for where AT-SPI clients look: AT_SPI_BUS_ADDRESS, then (on an X
// display that is not Wayland's) the AT_SPI_BUS property of the root window,
// then the bus launcher's org.a11y.Bus.GetAddress on the session bus.
DBusConnection* openAccessibilityBus();

// Reads and drops whatever arrived on `c` (the agent listens to no signal, and
// unread messages would pile up for the life of the process).
void drain(DBusConnection* c);

// Direct connections, one per application for the life of the agent: a
// toolkit keeps some state for every connection it ever accepted, so opening
// one per request would slowly burden the application. Nothing but replies
// travels on them (toolkits send their events on the bus).
class Peers {
public:
    Peers() = default;
    Peers(const Peers&) = delete;
    Peers& operator=(const Peers&) = delete;
    ~Peers();

    // The direct connection to `owner`: null when it offers none, nullopt when
    // it was not asked yet.
    std::optional<DBusConnection*> find(const std::string& owner) const;
    // Opens the connection at `address` (null: none offered) and keeps it.
    DBusConnection* open(const std::string& owner, const char* address);
    void flush();
    // Drains the open connections; closes the ones whose application went away,
    // and forgets the applications without one, so they are asked again.
    void tidy();

private:
    std::unordered_map<std::string, DBusConnection*> peers_;  // owned; null: none offered
};

}  // namespace platform::atspi
