// Reading D-Bus replies: a cursor over a message's arguments that reads the
// shapes AT-SPI answers with. Each `get` reads the item under the cursor when
// it has the expected type and then moves past it; otherwise it returns false
// and leaves the cursor where it was.
#pragma once

#include <dbus/dbus.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/x11/atspi/names.h"

namespace platform::atspi {

// An element's state set: two 32-bit words of AtspiStateType bits.
using States = std::array<std::uint32_t, 2>;
bool hasState(const States& states, unsigned state);

class Reader {
public:
    Reader() = default;  // reads nothing
    explicit Reader(DBusMessage* message);

    // Whether an item stands under the cursor.
    bool more() const { return type() != DBUS_TYPE_INVALID; }
    int type() const { return valid_ ? dbus_message_iter_get_arg_type(&it_) : DBUS_TYPE_INVALID; }
    bool skip();

    bool get(std::string& out);
    bool get(std::uint32_t& out);
    bool get(std::int32_t& out);
    bool get(double& out);
    bool get(bool& out);
    bool get(Ref& out);                // (so)
    bool get(std::vector<Ref>& out);   // a(so)
    bool get(States& out);             // au, its first two words
    bool getIfaces(std::uint32_t& out);  // as: interface names, as bits

    // The items inside the container under the cursor (a structure, array,
    // dictionary entry or variant), moving past it; an empty reader when the
    // item is no container.
    Reader enter();
    // The value of the variant under the cursor, or this item itself when it is
    // not a variant; moves past it either way.
    Reader value();

private:
    template <class T>
    bool basic(int dbusType, T& out);
    mutable DBusMessageIter it_{};  // libdbus reads types through a non-const iterator
    bool valid_ = false;
};

}  // namespace platform::atspi
