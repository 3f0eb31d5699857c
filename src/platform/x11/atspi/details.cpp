// Details (extents, actions, values) are fetched in batches: the elements
// that follow in walk order are the ones a snapshot reads next, so their
// details are asked for together with the one asked about.
#include <atspi/atspi-constants.h>

#include <algorithm>

#include "platform/x11/atspi/model.h"
#include "platform/x11/atspi/roles.h"

namespace platform::atspi {

namespace {

constexpr std::size_t kDetailBatch = 256;
constexpr int kUsualDepth = 8;  // a snapshot's default depth
// Actions asked for by name, at most, per element: toolkits offer a few, and
// a hostile one must not turn one element into thousands of calls.
constexpr std::size_t kMaxActions = 32;

enum class Detail { extents, actions, text, number };

// The calls that fetch what `n` lacks, and what each one fetches.
void detailCalls(const Node& n, std::vector<Call>& calls, std::vector<Detail>& kinds) {
    auto add = [&](Detail kind, Call call) {
        calls.push_back(std::move(call));
        kinds.push_back(kind);
    };
    if (n.ifaces & ifComponent)
        add(Detail::extents, Call{n.ref, kComponentIface, "GetExtents", "u", ATSPI_COORD_TYPE_SCREEN});
    if (n.ifaces & ifAction) add(Detail::actions, Call{n.ref, kActionIface, "GetActions"});
    // A password field's text is never fetched; a check box's value is its
    // checked state, already known.
    if (n.role == ATSPI_ROLE_PASSWORD_TEXT || isCheckable(n.role)) return;
    if (n.ifaces & ifValue)
        add(Detail::number, Call{n.ref, kPropertiesIface, "Get", "ss", kValueIface, "CurrentValue"});
    else if (n.ifaces & ifText)
        add(Detail::text, Call{n.ref, kTextIface, "GetText", "ii", 0, -1});
}

// Whether GetActions gave usable names. ATK bridges fill its list from the
// localized names or the key bindings: Chromium answers "" for each, Firefox
// the empty binding ";;". GetName by index answers the real names there.
bool namesUsable(const std::vector<std::string>& actions) {
    return std::none_of(actions.begin(), actions.end(),
                        [](const std::string& a) { return a.empty() || a.find(';') != std::string::npos; });
}

// Stores one reply in `n`.
void store(Node& n, Detail kind, DBusMessage* reply) {
    Reader r(reply);
    switch (kind) {
        case Detail::extents: {
            if (r.type() != DBUS_TYPE_STRUCT) break;
            Reader s = r.enter();
            std::array<std::int32_t, 4> e{};
            bool ok = true;
            for (auto& v : e) ok = ok && s.get(v);
            if (ok) n.extents = e;
            break;
        }
        case Detail::actions: {
            Reader a = r.type() == DBUS_TYPE_ARRAY ? r.enter() : Reader();
            while (a.type() == DBUS_TYPE_STRUCT) {
                std::string name;
                a.enter().get(name);
                n.actions.push_back(std::move(name));
            }
            break;
        }
        case Detail::text: {
            std::string s;
            if (r.get(s)) n.value = Value(withoutObjectMarks(std::move(s)));
            break;
        }
        case Detail::number: {
            double d = 0;
            if (r.value().get(d)) n.value = Value(d);
            break;
        }
    }
}

}  // namespace

// The elements whose details are fetched with `from`'s. Levels deeper than
// any the request has asked about so far (or than a snapshot's usual depth)
// are left for later batches.
std::vector<std::string> Model::detailBatch(const Ref& from) {
    std::vector<std::string> keys;
    auto& app = apps_[from.bus];
    auto pos = app.position.find(from.key());
    if (pos != app.position.end()) app.deepest = std::max(app.deepest, app.level[pos->second]);
    auto wanted = [&](const std::string& key) {
        auto f = nodes_.find(key);
        return f != nodes_.end() && f->second.basic && !f->second.detailed;
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
    return keys;
}

void Model::fetchDetails(const Ref& from) {
    auto keys = detailBatch(from);
    std::vector<Call> calls;
    std::vector<Detail> kinds;
    std::vector<Node*> owners;
    for (auto& key : keys) {
        Node& n = nodes_[key];
        detailCalls(n, calls, kinds);
        owners.resize(calls.size(), &n);
    }
    sender_.run(calls);
    for (auto& key : keys) {
        Node& n = nodes_[key];
        n.detailed = true;
        if (isCheckable(n.role))
            n.value = Value(std::int64_t{n.has(ATSPI_STATE_CHECKED) ? 1 : n.has(ATSPI_STATE_INDETERMINATE) ? 2 : 0});
    }
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].reply()) store(*owners[i], kinds[i], calls[i].reply());

    // Names GetActions could not give are asked for one by one, all at once.
    std::vector<Call> names;
    std::vector<std::pair<Node*, std::size_t>> slots;
    for (auto& key : keys) {
        Node& n = nodes_[key];
        if (namesUsable(n.actions)) continue;
        for (std::size_t i = 0; i < n.actions.size() && i < kMaxActions; ++i) {
            names.emplace_back(n.ref, kActionIface, "GetName", "i", static_cast<int>(i));
            slots.emplace_back(&n, i);
        }
    }
    sender_.run(names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string name;
        if (Reader(names[i].reply()).get(name)) slots[i].first->actions[slots[i].second] = std::move(name);
    }
}

}  // namespace platform::atspi
