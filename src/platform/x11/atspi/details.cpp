// Details (extents, actions, values) are fetched in batches: the elements
// that follow in walk order are the ones a snapshot reads next, so their
// details are asked for together with the one asked about.
#include <atspi/atspi-constants.h>

#include <algorithm>
#include <climits>
#include <chrono>
#include <thread>

#include "platform/x11/atspi/model.h"
#include "platform/x11/atspi/roles.h"

namespace platform::atspi {

namespace {

constexpr std::size_t kDetailBatch = 256;
// Elements stepped over, at most, to fill one batch.
constexpr std::size_t kWalkSteps = 8 * kDetailBatch;
constexpr int kUsualDepth = 8;  // a snapshot's default depth
// Actions asked for by name, at most, per element: toolkits offer a few, and
// a hostile one must not turn one element into thousands of calls.
constexpr std::size_t kMaxActions = 32;

enum class Detail { extents, actions, count, text, number };

// The calls that fetch the details `wanted` of `n`, and what each one fetches.
void detailCalls(const Node& n, unsigned wanted, const Bridge& bridge, std::vector<Call>& calls,
                 std::vector<Detail>& kinds) {
    auto add = [&](Detail kind, Call call) {
        calls.push_back(std::move(call));
        kinds.push_back(kind);
    };
    if ((wanted & want::extents) && (n.ifaces & ifComponent))
        add(Detail::extents, Call{n.ref, kComponentIface, "GetExtents", "u", ATSPI_COORD_TYPE_SCREEN});
    if ((wanted & want::actions) && (n.ifaces & ifAction) && bridge.actionsByIndex)
        add(Detail::count, Call{n.ref, kPropertiesIface, "Get", "ss", kActionIface, "NActions"});
    else if ((wanted & want::actions) && (n.ifaces & ifAction))
        add(Detail::actions, Call{n.ref, kActionIface, "GetActions"});
    // A password field's text is never fetched; a check box's value is its
    // checked state, already known.
    if (!(wanted & want::value) || n.role == ATSPI_ROLE_PASSWORD_TEXT || isCheckable(n.role)) return;
    if (n.ifaces & ifValue)
        add(Detail::number, Call{n.ref, kPropertiesIface, "Get", "ss", kValueIface, "CurrentValue"});
    else if ((n.ifaces & ifText) && textIsValue(n.role))
        add(Detail::text, Call{n.ref, kTextIface, "GetText", "ii", 0, bridge.wholeTextEnd});
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
        case Detail::count: {
            std::int32_t count = 0;
            // Names to be asked for one by one (empty: not usable yet).
            if (r.value().get(count) && count > 0)
                n.actions.assign(std::min<std::size_t>(static_cast<std::size_t>(count), kMaxActions), "");
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

// The elements whose details are fetched with `from`'s: those a walk reads
// after it, in walk order over what is known of the tree. Levels deeper than
// any the request has asked about so far (or than a snapshot's usual depth)
// are left for later batches.
std::vector<std::string> Model::detailBatch(const Ref& from) {
    std::vector<std::string> keys;
    auto& app = apps_[from.bus];
    Node* at = &node(from);
    int level = levelOf(*at);
    app.deepest = std::max(app.deepest, level);
    // A walk reads the details of element after element; a search, of the
    // few it found. Several kinds of one element count once.
    if (app.lastDetailed != from.key()) {
        app.lastDetailed = from.key();
        ++app.detailReads;
    }
    if (app.detailReads < kWalkAfter) return {from.key()};
    // Unknown levels are counted from `from`.
    const int limit = level >= 0 ? std::max(kUsualDepth, app.deepest) : kUsualDepth;
    if (level < 0) level = 0;
    for (std::size_t steps = 0; at && keys.size() < kDetailBatch && steps < kWalkSteps; ++steps) {
        if (at->basic && (app.wanted & ~at->fetched)) keys.push_back(at->ref.key());
        if (at->childrenKnown && !at->children.empty() && level < limit) {
            at = &node(at->children.front());
            ++level;
            continue;
        }
        // The next sibling of the nearest element that has one.
        for (;;) {
            Node* parent = at->parentKnown && !at->parent.null() ? &node(at->parent) : nullptr;
            if (!parent || !parent->childrenKnown || at->index < 0 ||
                static_cast<std::size_t>(at->index) >= parent->children.size() ||
                parent->children[at->index].key() != at->ref.key() || at->level == 1) {
                at = nullptr;  // the walk order ends at the window, or is not known past here
                break;
            }
            if (static_cast<std::size_t>(at->index) + 1 < parent->children.size()) {
                at = &node(parent->children[at->index + 1]);
                break;
            }
            at = parent;
            --level;
        }
    }
    if (keys.empty() || keys.front() != from.key()) keys.insert(keys.begin(), from.key());
    return keys;
}

// Firefox reports the content of a page in parts, asked for as clients need
// them: at first contact, a page's elements have neither names, states,
// frames nor actions, and do a moment later. The first batch of each Firefox
// is checked for a page without a frame; when there is one, the agent waits
// until its frame is reported and reads the application again.
//
// Each kind is reported from the first time any client asks for it, so
// after another client (which asked for names and frames only) the frames
// are there but the actions are not: elements that offer actions count
// none. The same batch is checked for those, which are asked again for a
// moment; when one then has actions, the application is read again.
bool Model::coldContent(const std::string& bus, const std::vector<std::string>& keys) {
    constexpr auto kWait = std::chrono::milliseconds(1000);
    constexpr auto kActionsWait = std::chrono::milliseconds(500);
    constexpr auto kStep = std::chrono::milliseconds(25);
    constexpr std::size_t kAsked = 8;  // elements without actions asked again, at most
    const Node* cold = nullptr;
    bool page = false;
    std::vector<Ref> actionless;
    for (auto& key : keys) {
        const Node& n = nodes_[key];
        if ((n.ifaces & ifAction) && (n.fetched & want::actions) && n.actions.empty() && actionless.size() < kAsked)
            actionless.push_back(n.ref);
        if (n.role != ATSPI_ROLE_DOCUMENT_WEB || !(n.ifaces & ifComponent)) continue;
        page = true;
        if (!cold && (!n.extents || (*n.extents)[2] < 0 || (*n.extents)[3] < 0)) cold = &n;
    }
    // Checked once per application, on the first batch that holds a page.
    if (page) warmed_.insert(bus);
    if (!page) return false;
    // Asks `reported` every step until it says yes or the time is up.
    auto poll = [&](auto wait, auto reported) {
        auto deadline = std::chrono::steady_clock::now() + wait;
        while (std::chrono::steady_clock::now() < deadline && !sender_.unresponsive(bus)) {
            std::this_thread::sleep_for(kStep);
            if (reported()) return true;
        }
        return false;
    };
    if (cold) {
        const Ref ref = cold->ref;
        return poll(kWait, [&] {
            Call c{ref, kComponentIface, "GetExtents", "u", ATSPI_COORD_TYPE_SCREEN};
            Node probe;
            probe.ref = ref;
            if (sender_.runOne(c)) store(probe, Detail::extents, c.reply());
            return probe.extents && (*probe.extents)[2] >= 0 && (*probe.extents)[3] >= 0;
        });
    }
    return !actionless.empty() && poll(kActionsWait, [&] {
        std::vector<Call> calls;
        for (auto& r : actionless) calls.emplace_back(r, kPropertiesIface, "Get", "ss", kActionIface, "NActions");
        sender_.run(calls);
        return std::any_of(calls.begin(), calls.end(), [](Call& c) {
            std::int32_t count = 0;
            return c.reply() && Reader(c.reply()).value().get(count) && count > 0;
        });
    });
}

// Firefox starts reporting each kind of detail when a client first asks for
// it, so the page and what follows it are asked for every kind at once, as a
// snapshot asks, whatever the request needs: by the time the page is
// reported, the rest is too.
bool Model::pageWasCold(const Ref& ref) {
    children(ref);
    auto& app = apps_[ref.bus];
    app.detailReads = std::max(app.detailReads, kWalkAfter);
    return !fetchDetails(ref, want::all);
}

// A batch fetches, for each of its elements, what the request has asked for
// so far of any element of the application and that element lacks: a walk
// that reads only roles and values never fetches frames or actions.
bool Model::fetchDetails(const Ref& from, unsigned wanted) {
    auto& app = apps_[from.bus];
    app.wanted |= wanted;
    auto keys = detailBatch(from);
    const Bridge& bridge = bridgeOf(from.bus);
    // Until a Firefox is known to have reported its pages, their frames are
    // fetched whatever was asked: they tell whether it has (coldContent).
    const bool checkCold = bridge.lazyPages && !warmed_.count(from.bus);
    std::vector<Call> calls;
    std::vector<Detail> kinds;
    std::vector<Node*> owners;
    std::vector<unsigned> fetching(keys.size());  // the kinds fetched for each key
    for (std::size_t k = 0; k < keys.size(); ++k) {
        Node& n = nodes_[keys[k]];
        fetching[k] = (app.wanted | (keys[k] == from.key() ? wanted : 0)) & ~n.fetched;
        if (checkCold && n.role == ATSPI_ROLE_DOCUMENT_WEB) fetching[k] |= want::extents & ~n.fetched;
        detailCalls(n, fetching[k], bridge, calls, kinds);
        owners.resize(calls.size(), &n);
    }
    sender_.run(calls);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        Node& n = nodes_[keys[k]];
        n.fetched |= fetching[k];
        if ((fetching[k] & want::value) && isCheckable(n.role))
            n.value = Value(std::int64_t{n.has(ATSPI_STATE_CHECKED) ? 1 : n.has(ATSPI_STATE_INDETERMINATE) ? 2 : 0});
    }
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i].reply()) store(*owners[i], kinds[i], calls[i].reply());
    if (bridge.framesInWindow) {
        // Frames within their window, placed on the screen; one that cannot
        // be placed is no frame.
        for (std::size_t k = 0; k < keys.size(); ++k) {
            if (!(fetching[k] & want::extents)) continue;
            const std::string& key = keys[k];
            Node& n = nodes_[key];
            if (!n.extents || (*n.extents)[0] == INT_MIN || (*n.extents)[1] == INT_MIN) continue;
            auto o = origin(n.ref);
            Node& m = nodes_[key];
            if (!o) {
                m.extents.reset();
                continue;
            }
            (*m.extents)[0] += (*o)[0];
            (*m.extents)[1] += (*o)[1];
        }
    }

    // Names GetActions could not give are asked for one by one, all at once.
    std::vector<Call> names;
    std::vector<std::pair<Node*, std::size_t>> slots;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        Node& n = nodes_[keys[k]];
        if (!(fetching[k] & want::actions) || namesUsable(n.actions)) continue;
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

    if (!warmed_.count(from.bus) && bridge.lazyPages && coldContent(from.bus, keys)) {
        forget(from.bus);
        return false;
    }
    return true;
}

}  // namespace platform::atspi
