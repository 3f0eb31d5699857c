// One D-Bus method call to an object on the accessibility bus: its message,
// built from a signature and plain values, and the reply once it came.
//
//     Call c{ref, kComponentIface, "GetAccessibleAtPoint", "iiu", x, y, screen};
//
// A structure's fields are given one after the other, flat: "(ii)u" takes
// three values. Arrays take Ints or Strings (an empty Ints stands for an
// empty array of any type); a variant takes its type from its value (an int
// is sent as "i", a bool as "b", a double as "d", a string as "s").
#pragma once

#include <dbus/dbus.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/x11/atspi/names.h"

namespace platform::atspi {

using Ints = std::vector<std::int64_t>;
using Strings = std::vector<std::string>;

// One value to send; the signature says how it goes on the wire, except in a
// variant, where the value's own type does.
struct Arg {
    std::variant<std::int64_t, double, std::string, Ints, Strings> v;
    char type;  // the D-Bus type of the value on its own
    Arg(int i) : v(std::int64_t{i}), type(DBUS_TYPE_INT32) {}                  // NOLINT(google-explicit-constructor)
    Arg(unsigned u) : v(std::int64_t{u}), type(DBUS_TYPE_UINT32) {}            // NOLINT(google-explicit-constructor)
    Arg(std::int64_t i) : v(i), type(DBUS_TYPE_INT64) {}                       // NOLINT(google-explicit-constructor)
    Arg(bool b) : v(std::int64_t{b ? 1 : 0}), type(DBUS_TYPE_BOOLEAN) {}       // NOLINT(google-explicit-constructor)
    Arg(double d) : v(d), type(DBUS_TYPE_DOUBLE) {}                            // NOLINT(google-explicit-constructor)
    Arg(const char* s) : v(std::string(s ? s : "")), type(DBUS_TYPE_STRING) {} // NOLINT(google-explicit-constructor)
    Arg(std::string s) : v(std::move(s)), type(DBUS_TYPE_STRING) {}            // NOLINT(google-explicit-constructor)
    Arg(Ints a) : v(std::move(a)), type(DBUS_TYPE_ARRAY) {}                    // NOLINT(google-explicit-constructor)
    Arg(Strings a) : v(std::move(a)), type(DBUS_TYPE_ARRAY) {}                 // NOLINT(google-explicit-constructor)
};

class Call {
public:
    Call() = default;
    // A call without arguments, or with `args` laid out by `signature`. The
    // call is never sent (and finds no reply) when the target's names are not
    // valid D-Bus names or the values do not fit the signature.
    Call(Ref target, const char* iface, const char* method, const char* signature = "",
         std::vector<Arg> args = {});
    template <class... A>
    Call(Ref target, const char* iface, const char* method, const char* signature, A&&... args)
        : Call(std::move(target), iface, method, signature, std::vector<Arg>{Arg(std::forward<A>(args))...}) {}
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    Call(Call&& o) noexcept;
    Call& operator=(Call&& o) noexcept;

    const Ref& target() const { return target_; }
    // The message to send, null when there is none; sending takes it.
    DBusMessage* takeMessage();
    // The reply (a method return), null while none came.
    DBusMessage* reply() const { return reply_; }
    void setReply(DBusMessage* reply);  // adopts the reference

private:
    void clear();
    Ref target_;
    DBusMessage* message_ = nullptr;  // owned until sent
    DBusMessage* reply_ = nullptr;    // owned
};

}  // namespace platform::atspi
