// The accessibility bus: connection, raw calls sent together, and the model of
// the current request.
#include "platform/x11/ax_bus.h"

#include <algorithm>
#include <cstring>

// libatspi's own constructor of object proxies, used for the registry's root
// (libatspi's desktop object). It is exported by the library but missing from
// the installed headers.
extern "C" AtspiAccessible* _atspi_ref_accessible(const char* app, const char* path);

namespace platform::atspi {

namespace {

// The agent never prints: glib's messages (libatspi reports through them) are
// swallowed, both the classic and the structured kind.
void silentLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
GLogWriterOutput silentWriter(GLogLevelFlags, const GLogField*, gsize, gpointer) {
    return G_LOG_WRITER_HANDLED;
}

// Match rules libatspi adds at start-up. The agent listens to no event, and
// unread signals would pile up in the connection for the life of the process.
constexpr const char* kEventRules[] = {
    "type='signal',interface='org.a11y.atspi.Cache',member='AddAccessible'",
    "type='signal',interface='org.a11y.atspi.Cache',member='RemoveAccessible'",
    "type='signal',interface='org.a11y.atspi.Event.Object',member='ChildrenChanged'",
    "type='signal',interface='org.a11y.atspi.Event.Object',member='PropertyChange'",
    "type='signal',interface='org.a11y.atspi.Event.Object',member='StateChanged'",
    "type='signal', interface='org.freedesktop.DBus', member='NameOwnerChanged'",
};

// Replies that say the owner is gone or does not answer: no further call of
// this request goes to it.
bool ownerLost(const char* error) {
    static constexpr const char* kLost[] = {
        DBUS_ERROR_NO_REPLY, DBUS_ERROR_TIMEOUT, DBUS_ERROR_TIMED_OUT, DBUS_ERROR_SERVICE_UNKNOWN,
        DBUS_ERROR_NAME_HAS_NO_OWNER, DBUS_ERROR_DISCONNECTED, DBUS_ERROR_NO_SERVER,
    };
    for (auto* name : kLost)
        if (std::strcmp(error, name) == 0) return true;
    return false;
}

constexpr std::size_t kDetailBatch = 256;
constexpr int kWalkAfter = 3;   // elements read one by one before batching
constexpr int kUsualDepth = 8;  // a snapshot's default depth

}  // namespace

std::uint32_t ifaceBit(const char* name) {
    static constexpr std::pair<const char*, std::uint32_t> kBits[] = {
        {kActionIface, ifAction},           {kComponentIface, ifComponent},
        {kEditableTextIface, ifEditableText}, {kTextIface, ifText},
        {kValueIface, ifValue},             {kCollectionIface, ifCollection},
    };
    for (auto& [n, bit] : kBits)
        if (std::strcmp(n, name) == 0) return bit;
    return 0;
}

// ---------------------------------------------------------------------------
// Calls.

Call::~Call() {
    if (reply) dbus_message_unref(reply);
}

Call::Call(Call&& o) noexcept
    : target(std::move(o.target)), iface(o.iface), method(o.method), args(std::move(o.args)),
      reply(std::exchange(o.reply, nullptr)) {}

bool Call::iter(DBusMessageIter& it) const { return reply && dbus_message_iter_init(reply, &it); }

bool readRef(DBusMessageIter& it, Ref& out) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRUCT) return false;
    DBusMessageIter s;
    dbus_message_iter_recurse(&it, &s);
    if (dbus_message_iter_get_arg_type(&s) != DBUS_TYPE_STRING) return false;
    const char* bus = nullptr;
    dbus_message_iter_get_basic(&s, &bus);
    dbus_message_iter_next(&s);
    if (dbus_message_iter_get_arg_type(&s) != DBUS_TYPE_OBJECT_PATH) return false;
    const char* path = nullptr;
    dbus_message_iter_get_basic(&s, &path);
    out.bus = bus ? bus : "";
    out.path = path ? path : "";
    return true;
}

bool readString(DBusMessageIter& it, std::string& out) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING) return false;
    const char* s = nullptr;
    dbus_message_iter_get_basic(&it, &s);
    out = s ? s : "";
    return true;
}

void unwrapVariant(DBusMessageIter& it, DBusMessageIter& inner) {
    if (dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT)
        dbus_message_iter_recurse(&it, &inner);
    else
        inner = it;
}

namespace {

bool readUint32(DBusMessageIter& it, std::uint32_t& out) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_UINT32) return false;
    dbus_message_iter_get_basic(&it, &out);
    return true;
}

bool readInt32(DBusMessageIter& it, std::int32_t& out) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_INT32) return false;
    dbus_message_iter_get_basic(&it, &out);
    return true;
}

// "au" with two words: the state set.
bool readStates(DBusMessageIter& it, std::array<std::uint32_t, 2>& out) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return false;
    DBusMessageIter a;
    dbus_message_iter_recurse(&it, &a);
    out = {};
    for (std::size_t i = 0; i < 2 && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_UINT32; ++i) {
        dbus_message_iter_get_basic(&a, &out[i]);
        dbus_message_iter_next(&a);
    }
    return true;
}

// "as": interface names, as bits.
bool readIfaces(DBusMessageIter& it, std::uint32_t& out) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return false;
    DBusMessageIter a;
    dbus_message_iter_recurse(&it, &a);
    out = 0;
    while (dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_STRING) {
        const char* s = nullptr;
        dbus_message_iter_get_basic(&a, &s);
        if (s) out |= ifaceBit(s);
        dbus_message_iter_next(&a);
    }
    return true;
}

// "a(so)": a list of objects.
bool readRefs(DBusMessageIter& it, std::vector<Ref>& out) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return false;
    DBusMessageIter a;
    dbus_message_iter_recurse(&it, &a);
    out.clear();
    while (dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_STRUCT) {
        Ref r;
        if (!readRef(a, r)) return false;
        out.push_back(std::move(r));
        dbus_message_iter_next(&a);
    }
    return true;
}

void appendString(DBusMessageIter& it, const char* s) {
    dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &s);
}

}  // namespace

// ---------------------------------------------------------------------------
// The session.

Session& Session::get() {
    static Session session;
    return session;
}

Session::Session() {
    g_log_set_default_handler(silentLog, nullptr);
    g_log_set_writer_func(silentWriter, nullptr, nullptr);
    // libatspi aborts the process when it is used after failing to reach the
    // bus, so a failed start-up leaves the session off for good.
    if (atspi_init() != 0) return;
    DBusConnection* bus = atspi_get_a11y_bus();
    if (!bus || !dbus_connection_get_is_connected(bus)) return;
    dbus_connection_set_exit_on_disconnect(bus, FALSE);
    for (auto* rule : kEventRules) dbus_bus_remove_match(bus, rule, nullptr);
    bus_ = bus;
    atspi_set_timeout(timeoutMs_, 0);
}

void Session::beginRequest() {
    if (!bus_) return;
    // Replies and signals that arrived since the last request are read and
    // handed to libatspi now, so nothing accumulates between requests.
    dbus_connection_read_write(bus_, 0);
    while (dbus_connection_dispatch(bus_) == DBUS_DISPATCH_DATA_REMAINS) {
    }
    // Direct connections of applications that went away are closed; applications
    // without one are asked again next time.
    for (auto it = peers_.begin(); it != peers_.end();) {
        DBusConnection* c = it->second;
        if (c && dbus_connection_get_is_connected(c)) {
            dbus_connection_read_write(c, 0);
            while (dbus_connection_dispatch(c) == DBUS_DISPATCH_DATA_REMAINS) {
            }
            ++it;
            continue;
        }
        if (c) {
            dbus_connection_close(c);
            dbus_connection_unref(c);
        }
        it = peers_.erase(it);
    }
    nodes_.clear();
    apps_.clear();
    dead_.clear();
    pids_.reset();
    prune();
    setTimeout(2.0f);
}

void Session::setTimeout(float seconds) {
    // Bounded to what the agent would accept from any application: 2 s at most.
    int ms = 2000;
    if (seconds > 0 && seconds < 2.0f) ms = std::max(1, static_cast<int>(seconds * 1000));
    timeoutMs_ = ms;
    if (bus_) atspi_set_timeout(ms, 0);
}

// Proxies are kept in a table per application, so that one object stands for
// one element for as long as anyone holds it. Proxies nobody else holds are
// dropped at the start of each request, and so is an application once none of
// its proxies is held: a long-lived agent keeps nothing for the elements it
// looked at, nor for the applications that came and went.
void Session::prune() {
    for (auto it = proxyApps_.begin(); it != proxyApps_.end();) {
        AtspiApplication* app = it->second;
        std::vector<std::string> idle;
        GHashTableIter hi;
        gpointer key = nullptr, value = nullptr;
        g_hash_table_iter_init(&hi, app->hash);
        while (g_hash_table_iter_next(&hi, &key, &value)) {
            auto* obj = static_cast<GObject*>(value);
            if (obj && obj->ref_count == 1) idle.emplace_back(static_cast<const char*>(key));
        }
        for (auto& path : idle) g_hash_table_remove(app->hash, path.c_str());
        // Each proxy holds a reference to its application: with none left
        // anywhere, the table holds the only one.
        if (g_hash_table_size(app->hash) == 0 && G_OBJECT(app)->ref_count == 1) {
            g_object_unref(app);
            it = proxyApps_.erase(it);
        } else {
            ++it;
        }
    }
}

void Session::run(std::vector<Call>& calls) {
    if (!bus_) return;
    std::vector<DBusPendingCall*> pending(calls.size(), nullptr);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        Call& c = calls[i];
        if (c.reply) {
            dbus_message_unref(c.reply);
            c.reply = nullptr;
        }
        if (c.target.bus.empty() || c.target.path.empty() || unresponsive(c.target.bus)) continue;
        if (!dbus_validate_bus_name(c.target.bus.c_str(), nullptr) ||
            !dbus_validate_path(c.target.path.c_str(), nullptr))
            continue;
        DBusMessage* msg =
            dbus_message_new_method_call(c.target.bus.c_str(), c.target.path.c_str(), c.iface, c.method);
        if (!msg) continue;
        if (c.args) {
            DBusMessageIter it;
            dbus_message_iter_init_append(msg, &it);
            c.args(it);
        }
        DBusConnection* via = peer(c.target.bus);
        if (via) dbus_message_set_destination(msg, nullptr);
        if (!dbus_connection_send_with_reply(via ? via : bus_, msg, &pending[i], timeoutMs_)) pending[i] = nullptr;
        else ++sent_;
        dbus_message_unref(msg);
    }
    dbus_connection_flush(bus_);
    for (auto& [name, direct] : peers_)
        if (direct) dbus_connection_flush(direct);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (!pending[i]) continue;
        dbus_pending_call_block(pending[i]);
        DBusMessage* reply = dbus_pending_call_steal_reply(pending[i]);
        dbus_pending_call_unref(pending[i]);
        if (!reply) {
            markUnresponsive(calls[i].target.bus);
            continue;
        }
        if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_ERROR) {
            const char* name = dbus_message_get_error_name(reply);
            if (name && ownerLost(name)) markUnresponsive(calls[i].target.bus);
            dbus_message_unref(reply);
            continue;
        }
        calls[i].reply = reply;
    }
}

// Toolkits offer a direct connection to themselves, which spares every call
// the trip through the bus daemon. One is kept per application for the life of
// the agent: the toolkit keeps some state for every connection it ever
// accepted, so opening one per request would slowly burden the application.
// Nothing but replies travels on it (toolkits send their events on the bus).
DBusConnection* Session::peer(const std::string& bus) {
    if (bus.empty() || bus[0] != ':' || unresponsive(bus)) return nullptr;  // not the registry or the daemon
    if (auto it = peers_.find(bus); it != peers_.end()) return it->second;
    DBusMessage* msg = dbus_message_new_method_call(bus.c_str(), kRootPath, "org.a11y.atspi.Application",
                                                    "GetApplicationBusAddress");
    if (!msg) return nullptr;
    ++sent_;
    DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus_, msg, timeoutMs_, nullptr);
    dbus_message_unref(msg);
    if (!reply) {
        markUnresponsive(bus);
        return nullptr;
    }
    DBusConnection* direct = nullptr;
    const char* address = nullptr;
    if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
        dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID) && address &&
        std::strncmp(address, "unix:", 5) == 0) {
        direct = dbus_connection_open_private(address, nullptr);
        if (direct) dbus_connection_set_exit_on_disconnect(direct, FALSE);
    }
    dbus_message_unref(reply);
    peers_[bus] = direct;
    return direct;
}

bool Session::runOne(Call& call) {
    std::vector<Call> one;
    one.push_back(std::move(call));
    run(one);
    call.reply = std::exchange(one[0].reply, nullptr);
    return call.reply != nullptr;
}

// ---------------------------------------------------------------------------
// Applications.

std::vector<std::string> Session::applications() {
    std::vector<std::string> out;
    Call c{{kRegistryName, kRootPath}, kAccessibleIface, "GetChildren"};
    DBusMessageIter it;
    std::vector<Ref> refs;
    if (!runOne(c) || !c.iter(it) || !readRefs(it, refs)) return out;
    for (auto& r : refs)
        if (!r.null() && std::find(out.begin(), out.end(), r.bus) == out.end()) out.push_back(r.bus);
    return out;
}

std::optional<std::string> Session::busOfPid(std::int32_t pid) {
    if (!bus_ || pid <= 0) return std::nullopt;
    if (!pids_) {
        pids_.emplace();
        auto names = applications();
        std::vector<Call> calls;
        for (auto& name : names)
            calls.emplace_back(Ref{DBUS_SERVICE_DBUS, DBUS_PATH_DBUS}, DBUS_INTERFACE_DBUS,
                               "GetConnectionUnixProcessID",
                               [name](DBusMessageIter& it) { appendString(it, name.c_str()); });
        run(calls);
        for (std::size_t i = 0; i < calls.size(); ++i) {
            DBusMessageIter it;
            std::uint32_t p = 0;
            if (calls[i].iter(it) && readUint32(it, p)) pids_->emplace_back(names[i], static_cast<std::int32_t>(p));
        }
    }
    for (auto& [name, p] : *pids_)
        if (p == pid) return name;
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// The model.

Node& Session::node(const Ref& ref) {
    auto [it, fresh] = nodes_.try_emplace(ref.key());
    if (fresh) it->second.ref = ref;
    return it->second;
}

Node* Session::basic(const Ref& ref) {
    if (ref.null()) return nullptr;
    Node& n = node(ref);
    if (n.basic) return &n;
    AppState& app = apps_[ref.bus];
    // A few elements' reads are cheapest one by one; beyond that the request is
    // walking the tree, and the application's cache answers for every element
    // in one call.
    if (!app.itemsTried && ++app.basicReads >= kWalkAfter) fetchItems(ref.bus);
    if (!n.basic) fetchBasics({ref});
    return n.basic ? &n : nullptr;
}

void Session::fetchItems(const std::string& bus) {
    AppState& app = apps_[bus];
    app.itemsTried = true;
    if (unresponsive(bus)) return;
    Call c{{bus, "/org/a11y/atspi/cache"}, "org.a11y.atspi.Cache", "GetItems"};
    if (!runOne(c)) {
        // The application answered the calls before this one: a very large
        // application may just need longer for its whole cache. It is read
        // element by element instead; if it is really stuck, the next call
        // finds out.
        dead_.erase(bus);
        return;
    }
    // Two layouts exist: current bridges give each element's index and child
    // count, older ones (Qt 5 among them) the list of its children. Anything
    // else falls back to reading element by element.
    const char* signature = dbus_message_get_signature(c.reply);
    bool indexed = std::strcmp(signature, "a((so)(so)(so)iiassusau)") == 0;
    if (!indexed && std::strcmp(signature, "a((so)(so)(so)a(so)assusau)") != 0) return;
    DBusMessageIter top, items;
    if (!c.iter(top)) return;
    dbus_message_iter_recurse(&top, &items);
    std::unordered_map<std::string, std::vector<std::pair<std::int32_t, Ref>>> kids;
    while (dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRUCT) {
        DBusMessageIter f;
        dbus_message_iter_recurse(&items, &f);
        dbus_message_iter_next(&items);
        Ref self, appRef, parent;
        std::int32_t index = -1, count = -1;
        std::vector<Ref> listed;
        std::uint32_t ifaces = 0, role = 0;
        std::string name, description;
        std::array<std::uint32_t, 2> states{};
        bool ok = readRef(f, self) && dbus_message_iter_next(&f) && readRef(f, appRef) &&
                  dbus_message_iter_next(&f) && readRef(f, parent) && dbus_message_iter_next(&f);
        if (ok && indexed)
            ok = readInt32(f, index) && dbus_message_iter_next(&f) && readInt32(f, count);
        else if (ok)
            ok = readRefs(f, listed);
        ok = ok && dbus_message_iter_next(&f) && readIfaces(f, ifaces) && dbus_message_iter_next(&f) &&
             readString(f, name) && dbus_message_iter_next(&f) && readUint32(f, role) &&
             dbus_message_iter_next(&f) && readString(f, description) && dbus_message_iter_next(&f) &&
             readStates(f, states);
        if (!indexed) count = static_cast<std::int32_t>(listed.size());
        if (!ok || self.null() || self.bus != bus) continue;
        Node& n = node(self);
        n.basic = true;
        n.role = role;
        n.name = std::move(name);
        n.description = std::move(description);
        n.states = states;
        n.ifaces = ifaces;
        n.childCount = count;
        n.parentKnown = true;
        n.parent = parent.null() ? Ref{} : parent;
        if ((count == 0 || !indexed) && !n.childrenKnown) {
            n.childrenKnown = true;
            n.children.clear();
            for (auto& r : listed)
                if (!r.null()) n.children.push_back(std::move(r));
        }
        if (!parent.null() && parent.bus == bus && index >= 0) kids[parent.key()].emplace_back(index, self);
    }
    // A parent's children are taken from the cache only when the cache holds
    // all of them, each at its own index; otherwise they are asked for live.
    for (auto& [key, list] : kids) {
        std::sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.first < b.first; });
        bool complete = true;
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].first != static_cast<std::int32_t>(i)) complete = false;
        auto it = nodes_.find(key);
        if (it == nodes_.end()) {
            // The application's root is not itself in its cache.
            if (key != Ref{bus, kRootPath}.key()) continue;
            it = nodes_.try_emplace(key).first;
            it->second.ref = Ref{bus, kRootPath};
        } else if (it->second.basic && it->second.childCount != static_cast<std::int32_t>(list.size())) {
            complete = false;
        }
        if (!complete || it->second.childrenKnown) continue;
        it->second.childrenKnown = true;
        for (auto& [i, r] : list) it->second.children.push_back(r);
    }
    // Walk order over what the cache holds, for fetching details in batches.
    children(Ref{bus, kRootPath});
    std::vector<std::pair<const Node*, int>> stack;
    if (auto root = nodes_.find(Ref{bus, kRootPath}.key()); root != nodes_.end()) stack.emplace_back(&root->second, 0);
    std::unordered_set<std::string> seen;
    while (!stack.empty()) {
        auto [n, level] = stack.back();
        stack.pop_back();
        std::string key = n->ref.key();
        if (!seen.insert(key).second) continue;
        app.position[key] = app.preorder.size();
        app.preorder.push_back(key);
        app.level.push_back(level);
        if (!n->childrenKnown) continue;
        for (auto c = n->children.rbegin(); c != n->children.rend(); ++c)
            if (auto f = nodes_.find(c->key()); f != nodes_.end()) stack.emplace_back(&f->second, level + 1);
    }
}

void Session::fetchBasics(std::vector<Ref> refs) {
    std::vector<Call> calls;
    for (auto& r : refs) {
        calls.emplace_back(r, kAccessibleIface, "GetRole");
        calls.emplace_back(r, DBUS_INTERFACE_PROPERTIES, "GetAll",
                           [](DBusMessageIter& it) { appendString(it, kAccessibleIface); });
        calls.emplace_back(r, kAccessibleIface, "GetState");
        calls.emplace_back(r, kAccessibleIface, "GetInterfaces");
    }
    run(calls);
    for (std::size_t i = 0; i < refs.size(); ++i) {
        Node& n = node(refs[i]);
        DBusMessageIter it;
        if (!calls[4 * i].iter(it) || !readUint32(it, n.role)) continue;
        n.basic = true;
        if (calls[4 * i + 1].iter(it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_ARRAY) {
            DBusMessageIter dict;
            dbus_message_iter_recurse(&it, &dict);
            while (dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY) {
                DBusMessageIter entry, v;
                dbus_message_iter_recurse(&dict, &entry);
                dbus_message_iter_next(&dict);
                std::string key;
                if (!readString(entry, key)) continue;
                dbus_message_iter_next(&entry);
                unwrapVariant(entry, v);
                if (key == "Name") readString(v, n.name);
                else if (key == "Description") readString(v, n.description);
                else if (key == "ChildCount") readInt32(v, n.childCount);
                else if (key == "Parent" && !n.parentKnown) {
                    Ref p;
                    if (readRef(v, p)) {
                        n.parentKnown = true;
                        n.parent = p.null() ? Ref{} : p;
                    }
                }
            }
        }
        if (calls[4 * i + 2].iter(it)) readStates(it, n.states);
        if (calls[4 * i + 3].iter(it)) readIfaces(it, n.ifaces);
    }
}

const std::vector<Ref>* Session::children(const Ref& ref) {
    if (ref.null()) return nullptr;
    Node& n = node(ref);
    if (n.childrenKnown) return &n.children;
    Call c{ref, kAccessibleIface, "GetChildren"};
    DBusMessageIter it;
    std::vector<Ref> refs;
    if (!runOne(c) || !c.iter(it) || !readRefs(it, refs)) return nullptr;
    Node& again = node(ref);
    again.childrenKnown = true;
    again.children.clear();
    for (auto& r : refs)
        if (!r.null()) again.children.push_back(std::move(r));
    // While walking, children the cache did not hold are read together.
    if (auto app = apps_.find(ref.bus); app != apps_.end() && app->second.itemsTried) {
        std::vector<Ref> unread;
        for (auto& r : again.children)
            if (!node(r).basic) unread.push_back(r);
        if (!unread.empty()) fetchBasics(std::move(unread));
    }
    return &again.children;
}

std::optional<Ref> Session::parent(const Ref& ref) {
    if (ref.null()) return std::nullopt;
    Node& n = node(ref);
    if (!n.parentKnown) {
        Call c{ref, DBUS_INTERFACE_PROPERTIES, "Get", [](DBusMessageIter& it) {
                   appendString(it, kAccessibleIface);
                   appendString(it, "Parent");
               }};
        DBusMessageIter it, v;
        Ref p;
        if (!runOne(c) || !c.iter(it)) return std::nullopt;
        unwrapVariant(it, v);
        if (!readRef(v, p)) return std::nullopt;
        Node& again = node(ref);
        again.parentKnown = true;
        again.parent = p.null() ? Ref{} : p;
        return again.parent.null() ? std::nullopt : std::optional<Ref>(again.parent);
    }
    return n.parent.null() ? std::nullopt : std::optional<Ref>(n.parent);
}

Node* Session::details(const Ref& ref) {
    Node* n = basic(ref);
    if (!n) return nullptr;
    if (!(n->extentsKnown && n->actionsKnown && n->valueKnown)) fetchDetails(ref);
    return &node(ref);
}

void Session::fetchDetails(const Ref& from) {
    // The elements that follow in walk order are the ones a snapshot reads
    // next: their details are asked for in the same batch.
    // Levels deeper than any the request has asked about so far (or than a
    // snapshot's usual depth) are left for later batches.
    std::vector<std::string> keys;
    auto& app = apps_[from.bus];
    auto pos = app.position.find(from.key());
    if (pos != app.position.end()) app.deepest = std::max(app.deepest, app.level[pos->second]);
    auto wanted = [&](const std::string& key) {
        auto f = nodes_.find(key);
        return f != nodes_.end() && f->second.basic &&
               !(f->second.extentsKnown && f->second.actionsKnown && f->second.valueKnown);
    };
    bool walking = ++app.detailReads >= kWalkAfter;
    if (walking && pos != app.position.end()) {
        for (std::size_t i = pos->second; i < app.preorder.size() && keys.size() < kDetailBatch; ++i)
            if (app.level[i] <= std::max(kUsualDepth, app.deepest) && wanted(app.preorder[i]))
                keys.push_back(app.preorder[i]);
    } else if (walking) {
        // Outside the cache, the element's later siblings come next.
        const Node& n = nodes_[from.key()];
        auto parent = n.parentKnown && !n.parent.null() ? nodes_.find(n.parent.key()) : nodes_.end();
        if (parent != nodes_.end() && parent->second.childrenKnown) {
            bool after = false;
            for (auto& sibling : parent->second.children) {
                after = after || sibling.key() == from.key();
                if (after && keys.size() < kDetailBatch && wanted(sibling.key())) keys.push_back(sibling.key());
            }
        }
    }
    if (keys.empty()) keys.push_back(from.key());

    enum Kind { extents, actions, text, number };
    std::vector<Call> calls;
    std::vector<std::pair<std::string, Kind>> what;
    for (auto& key : keys) {
        Node& n = nodes_[key];
        if (!n.extentsKnown && (n.ifaces & ifComponent)) {
            calls.emplace_back(n.ref, kComponentIface, "GetExtents", [](DBusMessageIter& it) {
                dbus_uint32_t screen = ATSPI_COORD_TYPE_SCREEN;
                dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &screen);
            });
            what.emplace_back(key, extents);
        }
        if (!n.actionsKnown && (n.ifaces & ifAction)) {
            calls.emplace_back(n.ref, kActionIface, "GetActions");
            what.emplace_back(key, actions);
        }
        if (!n.valueKnown) {
            // A password field's text is never fetched; a check box's value is
            // its checked state, already known.
            if (n.role == ATSPI_ROLE_PASSWORD_TEXT || isCheckable(n.role)) {
            } else if (n.ifaces & ifValue) {
                calls.emplace_back(n.ref, DBUS_INTERFACE_PROPERTIES, "Get", [](DBusMessageIter& it) {
                    appendString(it, kValueIface);
                    appendString(it, "CurrentValue");
                });
                what.emplace_back(key, number);
            } else if (n.ifaces & ifText) {
                calls.emplace_back(n.ref, kTextIface, "GetText", [](DBusMessageIter& it) {
                    dbus_int32_t start = 0, end = -1;
                    dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &start);
                    dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &end);
                });
                what.emplace_back(key, text);
            }
        }
    }
    run(calls);
    for (auto& key : keys) {
        Node& n = nodes_[key];
        n.extentsKnown = n.actionsKnown = true;
        if (!n.valueKnown && isCheckable(n.role)) {
            std::int64_t v = n.has(ATSPI_STATE_CHECKED) ? 1 : n.has(ATSPI_STATE_INDETERMINATE) ? 2 : 0;
            n.value = Value(v);
        }
        n.valueKnown = true;
    }
    for (std::size_t i = 0; i < calls.size(); ++i) {
        Node& n = nodes_[what[i].first];
        DBusMessageIter it;
        if (!calls[i].iter(it)) continue;
        switch (what[i].second) {
            case extents: {
                if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRUCT) break;
                DBusMessageIter s;
                dbus_message_iter_recurse(&it, &s);
                std::array<std::int32_t, 4> e{};
                bool ok = true;
                for (auto& v : e) {
                    ok = ok && readInt32(s, v);
                    dbus_message_iter_next(&s);
                }
                if (ok) n.extents = e;
                break;
            }
            case actions: {
                if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) break;
                DBusMessageIter a;
                dbus_message_iter_recurse(&it, &a);
                while (dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_STRUCT) {
                    DBusMessageIter s;
                    dbus_message_iter_recurse(&a, &s);
                    std::string name;
                    if (readString(s, name)) n.actions.push_back(std::move(name));
                    dbus_message_iter_next(&a);
                }
                break;
            }
            case text: {
                std::string s;
                if (readString(it, s)) n.value = Value(std::move(s));
                break;
            }
            case number: {
                DBusMessageIter v;
                unwrapVariant(it, v);
                if (dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_DOUBLE) {
                    double d = 0;
                    dbus_message_iter_get_basic(&v, &d);
                    n.value = Value(d);
                }
                break;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Proxies.

// Applications' proxies are made here rather than by libatspi's lookup: for
// each application it meets, that lookup also opens a private connection to
// it and asks for its whole cache there. Without a GLib main loop that
// connection is never read, and libatspi only lets go of it when it handles
// the application's bus name going away, a signal the agent does not listen
// to. Each application that came and went would leave that connection behind,
// with its socket, a call that never completes and the connection's watches.
AtspiAccessible* Session::object(const Ref& ref) {
    if (!bus_ || ref.null()) return nullptr;
    if (ref.bus == kRegistryName) return _atspi_ref_accessible(ref.bus.c_str(), ref.path.c_str());
    auto [it, fresh] = proxyApps_.try_emplace(ref.bus, nullptr);
    if (fresh) {
        AtspiApplication* app = _atspi_application_new(ref.bus.c_str());
        if (!app) {
            proxyApps_.erase(it);
            return nullptr;
        }
        // Laid out as libatspi lays out its own applications, without a
        // connection: every call of the agent is its own (Session::run), and
        // an application without one is never closed by libatspi.
        app->hash = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_object_unref);
        app->cache = ATSPI_CACHE_UNDEFINED;
        it->second = app;
    }
    AtspiApplication* app = it->second;
    if (auto* known = static_cast<AtspiAccessible*>(g_hash_table_lookup(app->hash, ref.path.c_str())))
        return static_cast<AtspiAccessible*>(g_object_ref(known));
    AtspiAccessible* obj = _atspi_accessible_new(app, ref.path.c_str());
    if (!obj) return nullptr;
    g_hash_table_insert(app->hash, g_strdup(ref.path.c_str()), g_object_ref(obj));
    return obj;
}

std::optional<Ref> Session::refOf(const Element& element) {
    auto* obj = static_cast<AtspiAccessible*>(element.get());
    if (!obj || !G_TYPE_CHECK_INSTANCE_TYPE(obj, ATSPI_TYPE_ACCESSIBLE)) return std::nullopt;
    if (!obj->parent.app || !obj->parent.app->bus_name || !obj->parent.path) return std::nullopt;
    return Ref{obj->parent.app->bus_name, obj->parent.path};
}

}  // namespace platform::atspi
