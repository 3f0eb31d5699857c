// Building a method call's message from a signature and plain values.
#include "platform/x11/atspi/call.h"

#include <cstring>
#include <utility>

namespace platform::atspi {

namespace {

// The length of the single complete type `sig` starts with.
std::size_t typeLength(const char* sig) {
    if (*sig == 'a') return 1 + typeLength(sig + 1);
    if (*sig != '(' && *sig != '{') return *sig ? 1 : 0;
    int depth = 0;
    std::size_t n = 0;
    do {
        if (sig[n] == '(' || sig[n] == '{') ++depth;
        if (sig[n] == ')' || sig[n] == '}') --depth;
        ++n;
    } while (sig[n - 1] && depth > 0);
    return n;
}

template <class T>
bool put(DBusMessageIter& it, char t, T v) {
    return dbus_message_iter_append_basic(&it, t, &v);
}

// One basic value of type `t`, from the integer, real or string given.
bool appendBasic(DBusMessageIter& it, char t, const std::int64_t* i, const double* d, const std::string* s) {
    switch (t) {
        case DBUS_TYPE_INT32:
            return i && put(it, t, static_cast<dbus_int32_t>(*i));
        case DBUS_TYPE_UINT32:
            return i && put(it, t, static_cast<dbus_uint32_t>(*i));
        case DBUS_TYPE_INT64:
            return i && put(it, t, static_cast<dbus_int64_t>(*i));
        case DBUS_TYPE_BOOLEAN:
            return i && put(it, t, static_cast<dbus_bool_t>(*i ? TRUE : FALSE));
        case DBUS_TYPE_DOUBLE:
            return (d || i) && put(it, t, d ? *d : static_cast<double>(*i));
        case DBUS_TYPE_STRING:
        case DBUS_TYPE_OBJECT_PATH:
            return s && put(it, t, s->c_str());
        default:
            return false;
    }
}

class Writer {
public:
    explicit Writer(const std::vector<Arg>& args) : next_(args.data()), end_(args.data() + args.size()) {}

    // Appends values for every complete type of `sig`; false when they do not fit.
    bool all(DBusMessageIter& it, const char* sig, std::size_t length) {
        for (std::size_t i = 0; i < length;) {
            std::size_t n = typeLength(sig + i);
            if (n == 0 || !one(it, sig + i, n)) return false;
            i += n;
        }
        return true;
    }
    bool done() const { return next_ == end_; }

private:
    bool one(DBusMessageIter& it, const char* sig, std::size_t n) {
        if (*sig == '(') {
            DBusMessageIter s;
            return dbus_message_iter_open_container(&it, DBUS_TYPE_STRUCT, nullptr, &s) && all(s, sig + 1, n - 2) &&
                   dbus_message_iter_close_container(&it, &s);
        }
        if (next_ == end_) return false;
        const Arg& arg = *next_++;
        auto* i = std::get_if<std::int64_t>(&arg.v);
        auto* d = std::get_if<double>(&arg.v);
        auto* s = std::get_if<std::string>(&arg.v);
        if (*sig == 'v') {
            const char inner[2] = {arg.type, '\0'};
            DBusMessageIter v;
            return dbus_signature_validate_single(inner, nullptr) &&
                   dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, inner, &v) &&
                   appendBasic(v, arg.type, i, d, s) && dbus_message_iter_close_container(&it, &v);
        }
        if (*sig == 'a') return array(it, std::string(sig + 1, n - 1), arg);
        return appendBasic(it, *sig, i, d, s);
    }

    static bool array(DBusMessageIter& it, const std::string& element, const Arg& arg) {
        DBusMessageIter a;
        if (!dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, element.c_str(), &a)) return false;
        bool ok = true;
        if (auto* ints = std::get_if<Ints>(&arg.v))
            for (auto& v : *ints) ok = ok && appendBasic(a, element[0], &v, nullptr, nullptr);
        else if (auto* strings = std::get_if<Strings>(&arg.v))
            for (auto& v : *strings) ok = ok && appendBasic(a, element[0], nullptr, nullptr, &v);
        else
            ok = false;
        return dbus_message_iter_close_container(&it, &a) && ok;
    }

    const Arg* next_;
    const Arg* end_;
};

}  // namespace

Call::Call(Ref target, const char* iface, const char* method, const char* signature, std::vector<Arg> args)
    : target_(std::move(target)) {
    if (target_.bus.empty() || target_.path.empty() || !dbus_validate_bus_name(target_.bus.c_str(), nullptr) ||
        !dbus_validate_path(target_.path.c_str(), nullptr))
        return;
    message_ = dbus_message_new_method_call(target_.bus.c_str(), target_.path.c_str(), iface, method);
    if (!message_) return;
    DBusMessageIter it;
    dbus_message_iter_init_append(message_, &it);
    Writer writer(args);
    if (!writer.all(it, signature, std::strlen(signature)) || !writer.done()) {
        dbus_message_unref(message_);
        message_ = nullptr;
    }
}

Call::~Call() { clear(); }

Call::Call(Call&& o) noexcept
    : target_(std::move(o.target_)), message_(std::exchange(o.message_, nullptr)),
      reply_(std::exchange(o.reply_, nullptr)) {}

Call& Call::operator=(Call&& o) noexcept {
    if (this != &o) {
        clear();
        target_ = std::move(o.target_);
        message_ = std::exchange(o.message_, nullptr);
        reply_ = std::exchange(o.reply_, nullptr);
    }
    return *this;
}

void Call::clear() {
    if (message_) dbus_message_unref(std::exchange(message_, nullptr));
    if (reply_) dbus_message_unref(std::exchange(reply_, nullptr));
}

DBusMessage* Call::takeMessage() { return std::exchange(message_, nullptr); }

void Call::setReply(DBusMessage* reply) {
    if (reply_) dbus_message_unref(reply_);
    reply_ = reply;
}

}  // namespace platform::atspi
