// Reading D-Bus replies.
#include "platform/x11/atspi/reply.h"

#include <string_view>
#include <utility>

namespace platform::atspi {

std::uint32_t ifaceBit(const char* name) {
    static constexpr std::pair<const char*, std::uint32_t> kBits[] = {
        {kActionIface, ifAction},           {kComponentIface, ifComponent},
        {kEditableTextIface, ifEditableText}, {kTextIface, ifText},
        {kValueIface, ifValue},             {kCollectionIface, ifCollection},
    };
    for (auto& [n, bit] : kBits)
        if (std::string_view(n) == name) return bit;
    return 0;
}

bool hasState(const States& states, unsigned state) { return state < 64 && (states[state / 32] >> (state % 32)) & 1u; }

Reader::Reader(DBusMessage* message) { valid_ = message && dbus_message_iter_init(message, &it_); }

bool Reader::skip() {
    if (!more()) return false;
    if (!dbus_message_iter_next(&it_)) valid_ = false;  // past the last item
    return true;
}

template <class T>
bool Reader::basic(int dbusType, T& out) {
    if (type() != dbusType) return false;
    dbus_message_iter_get_basic(&it_, &out);
    return skip();
}

bool Reader::get(std::string& out) {
    const char* s = nullptr;
    if (!basic(DBUS_TYPE_STRING, s)) return false;
    out = s ? s : "";
    return true;
}

bool Reader::get(std::uint32_t& out) { return basic(DBUS_TYPE_UINT32, out); }
bool Reader::get(std::int32_t& out) { return basic(DBUS_TYPE_INT32, out); }
bool Reader::get(double& out) { return basic(DBUS_TYPE_DOUBLE, out); }

bool Reader::get(bool& out) {
    dbus_bool_t b = FALSE;
    if (!basic(DBUS_TYPE_BOOLEAN, b)) return false;
    out = b;
    return true;
}

Reader Reader::enter() {
    int t = type();
    if (t != DBUS_TYPE_STRUCT && t != DBUS_TYPE_ARRAY && t != DBUS_TYPE_DICT_ENTRY && t != DBUS_TYPE_VARIANT)
        return {};
    Reader inner;
    dbus_message_iter_recurse(&it_, &inner.it_);
    inner.valid_ = true;
    skip();
    return inner;
}

Reader Reader::value() {
    if (type() == DBUS_TYPE_VARIANT) return enter();
    Reader self = *this;
    skip();
    return self;
}

bool Reader::get(Ref& out) {
    if (type() != DBUS_TYPE_STRUCT) return false;
    Reader copy = *this;
    Reader s = copy.enter();
    const char* bus = nullptr;
    const char* path = nullptr;
    if (!s.basic(DBUS_TYPE_STRING, bus) || !s.basic(DBUS_TYPE_OBJECT_PATH, path)) return false;
    out.bus = bus ? bus : "";
    out.path = path ? path : "";
    *this = copy;
    return true;
}

bool Reader::get(std::vector<Ref>& out) {
    if (type() != DBUS_TYPE_ARRAY) return false;
    Reader copy = *this;
    Reader a = copy.enter();
    out.clear();
    while (a.type() == DBUS_TYPE_STRUCT) {
        Ref r;
        if (!a.get(r)) return false;
        out.push_back(std::move(r));
    }
    *this = copy;
    return true;
}

bool Reader::get(States& out) {
    if (type() != DBUS_TYPE_ARRAY) return false;
    Reader a = enter();
    out = {};
    for (auto& word : out)
        if (!a.get(word)) break;
    return true;
}

bool Reader::getIfaces(std::uint32_t& out) {
    if (type() != DBUS_TYPE_ARRAY) return false;
    Reader a = enter();
    out = 0;
    std::string name;
    while (a.get(name)) out |= ifaceBit(name.c_str());
    return true;
}

}  // namespace platform::atspi
