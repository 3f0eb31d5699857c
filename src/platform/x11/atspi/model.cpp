// The per-request model: objects, their basics, children and parents, and the
// applications on the bus.
#include "platform/x11/atspi/model.h"

#include <atspi/atspi-constants.h>

#include <algorithm>
#include <unordered_set>
#include <string_view>

namespace platform::atspi {

std::string withoutObjectMarks(std::string text) {
    static constexpr std::string_view kMark = "\xEF\xBF\xBC";  // U+FFFC in UTF-8
    for (auto at = text.find(kMark); at != std::string::npos; at = text.find(kMark, at)) text.erase(at, kMark.size());
    return text;
}

void Model::adopt(Node& parent, std::vector<Ref> refs) {
    parent.childrenKnown = true;
    parent.children.clear();
    for (auto& r : refs) {
        if (r.null()) continue;
        Node& child = node(r);
        child.setParent(parent.ref);
        child.index = static_cast<std::int32_t>(parent.children.size());
        if (parent.level >= 0) child.level = parent.level + 1;
        parent.children.push_back(std::move(r));
    }
}

int Model::levelOf(Node& n) {
    // Up to the nearest ancestor whose level is known, then down again. A
    // chain that loops or runs too long stays unknown.
    constexpr std::size_t kLongest = 4096;
    std::vector<Node*> chain;
    Node* at = &n;
    while (at->level < 0) {
        if (chain.size() == kLongest || !at->parentKnown || at->parent.null()) return -1;
        chain.push_back(at);
        at = &node(at->parent);
    }
    for (auto c = chain.rbegin(); c != chain.rend(); ++c) {
        (*c)->level = at->level + 1;
        at = *c;
    }
    return n.level;
}

void Model::reset() {
    nodes_.clear();
    apps_.clear();
    pids_.reset();
    origins_.clear();
}

Node& Model::node(const Ref& ref) {
    auto [it, fresh] = nodes_.try_emplace(ref.key());
    if (fresh) {
        it->second.ref = ref;
        if (ref.appRoot()) it->second.level = 0;
    }
    return it->second;
}

std::vector<std::string> Model::applications() {
    std::vector<std::string> out;
    Call c{{kRegistryName, kRootPath}, kAccessibleIface, "GetChildren"};
    std::vector<Ref> refs;
    if (!sender_.runOne(c) || !Reader(c.reply()).get(refs)) return out;
    for (auto& r : refs)
        if (!r.null() && std::find(out.begin(), out.end(), r.bus) == out.end()) out.push_back(r.bus);
    return out;
}

std::optional<std::string> Model::busOfPid(std::int32_t pid) {
    if (pid <= 0) return std::nullopt;
    if (!pids_) {
        pids_.emplace();
        auto names = applications();
        std::vector<Call> calls;
        for (auto& name : names)
            calls.emplace_back(Ref{DBUS_SERVICE_DBUS, DBUS_PATH_DBUS}, DBUS_INTERFACE_DBUS,
                               "GetConnectionUnixProcessID", "s", name);
        sender_.run(calls);
        for (std::size_t i = 0; i < calls.size(); ++i) {
            std::uint32_t p = 0;
            if (Reader(calls[i].reply()).get(p)) pids_->emplace_back(names[i], static_cast<std::int32_t>(p));
        }
    }
    for (auto& [name, p] : *pids_)
        if (p == pid) return name;
    return std::nullopt;
}

std::optional<std::int32_t> Model::pidOfBus(const std::string& bus) {
    if (pids_)
        for (auto& [name, p] : *pids_)
            if (name == bus) return p;
    Call c{Ref{DBUS_SERVICE_DBUS, DBUS_PATH_DBUS}, DBUS_INTERFACE_DBUS, "GetConnectionUnixProcessID", "s", bus};
    std::uint32_t p = 0;
    if (!sender_.runOne(c) || !Reader(c.reply()).get(p) || p == 0) return std::nullopt;
    return static_cast<std::int32_t>(p);
}

Node* Model::basic(const Ref& ref) {
    if (ref.null()) return nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        Node& n = node(ref);
        if (!n.basic) {
            AppState& app = apps_[ref.bus];
            // A few elements' reads are cheapest one by one; beyond that the
            // request is walking the tree, and the application's cache
            // answers for every element in one call.
            if (!app.itemsTried && ++app.basicReads >= kWalkAfter) fetchItems(ref.bus);
            if (!n.basic) fetchBasics({ref});
            if (!n.basic) return nullptr;
        }
        // A page of a Firefox not yet checked: a walk that reads only roles
        // and names must see its content too (coldContent).
        if (n.role != ATSPI_ROLE_DOCUMENT_WEB || warmed_.count(ref.bus) || !bridgeOf(ref.bus).lazyPages ||
            !pageWasCold(ref))
            return &node(ref);
    }
    Node& n = node(ref);
    return n.basic ? &n : nullptr;
}

const Bridge& Model::bridgeOf(const std::string& bus) {
    if (auto known = bridges_.find(bus); known != bridges_.end()) return known->second;
    Call c{{bus, kRootPath}, kPropertiesIface, "Get", "ss", kApplicationIface, "ToolkitName"};
    std::string toolkit;
    if (sender_.runOne(c)) Reader(c.reply()).value().get(toolkit);
    // One that did not answer is taken as unknown from now on: the careful way.
    return bridges_[bus] = bridgeFor(toolkit);
}

void Model::forget(const std::string& bus) {
    std::erase_if(nodes_, [&](const auto& entry) { return entry.second.ref.bus == bus; });
    apps_.erase(bus);
}

void Model::fetchBasics(const std::vector<Ref>& refs) {
    // Per element: role, states, interfaces, then the properties (one GetAll
    // where the bridge takes it, else name, description and child count).
    std::vector<Call> calls;
    std::vector<std::pair<std::size_t, bool>> first;  // each element's first call, and whether GetAll
    for (auto& r : refs) {
        bool all = bridgeOf(r.bus).getAll;
        first.emplace_back(calls.size(), all);
        calls.emplace_back(r, kAccessibleIface, "GetRole");
        calls.emplace_back(r, kAccessibleIface, "GetState");
        calls.emplace_back(r, kAccessibleIface, "GetInterfaces");
        if (all) {
            calls.emplace_back(r, kPropertiesIface, "GetAll", "s", kAccessibleIface);
        } else {
            for (const char* property : {"Name", "Description", "ChildCount"})
                calls.emplace_back(r, kPropertiesIface, "Get", "ss", kAccessibleIface, property);
        }
    }
    sender_.run(calls);
    for (std::size_t i = 0; i < refs.size(); ++i) {
        Node& n = node(refs[i]);
        auto [at, all] = first[i];
        if (!Reader(calls[at].reply()).get(n.role)) continue;
        n.basic = true;
        Reader(calls[at + 1].reply()).get(n.states);
        Reader(calls[at + 2].reply()).getIfaces(n.ifaces);
        auto property = [&](const std::string& key, Reader v) {
            Ref p;
            if (key == "Name") {
                if (v.get(n.name)) n.name = withoutObjectMarks(std::move(n.name));
            } else if (key == "Description") {
                if (v.get(n.description)) n.description = withoutObjectMarks(std::move(n.description));
            } else if (key == "ChildCount") {
                v.get(n.childCount);
            } else if (key == "Parent" && !n.parentKnown && v.get(p)) {
                n.setParent(p);
            }
        };
        if (!all) {
            property("Name", Reader(calls[at + 3].reply()).value());
            property("Description", Reader(calls[at + 4].reply()).value());
            property("ChildCount", Reader(calls[at + 5].reply()).value());
            continue;
        }
        Reader dict = Reader(calls[at + 3].reply()).enter();
        while (dict.type() == DBUS_TYPE_DICT_ENTRY) {
            Reader entry = dict.enter();
            std::string key;
            if (entry.get(key)) property(key, entry.value());
        }
    }
}

const std::vector<Ref>* Model::children(const Ref& ref) {
    if (ref.null()) return nullptr;
    if (Node& n = node(ref); n.childrenKnown) return &n.children;
    // While walking, what the cache lacks is read ahead, breadth-first.
    if (auto app = apps_.find(ref.bus); app != apps_.end() && app->second.itemsTried) {
        readAhead(ref);
        Node& n = node(ref);
        return n.childrenKnown ? &n.children : nullptr;
    }
    fetchChildren({ref});
    Node& n = node(ref);
    return n.childrenKnown ? &n.children : nullptr;
}

void Model::fetchChildren(const std::vector<Ref>& parents) {
    // Children by index where GetChildren cannot be trusted: GTK 4.8 lists
    // there every page of a stack, where its child count and
    // GetChildAtIndex (what other clients read) give the page shown.
    constexpr std::int32_t kMostChildren = 65536;
    std::vector<Call> calls;
    std::vector<std::pair<std::size_t, std::size_t>> spans;  // each parent's calls
    for (auto& r : parents) {
        std::size_t first = calls.size();
        if (!bridgeOf(r.bus).childrenByIndex) {
            calls.emplace_back(r, kAccessibleIface, "GetChildren");
        } else if (const Node* n = basic(r)) {
            for (std::int32_t i = 0; i < std::min(n->childCount, kMostChildren); ++i)
                calls.emplace_back(r, kAccessibleIface, "GetChildAtIndex", "i", i);
        }
        spans.emplace_back(first, calls.size());
    }
    sender_.run(calls);
    for (std::size_t p = 0; p < parents.size(); ++p) {
        auto [first, end] = spans[p];
        std::vector<Ref> refs;
        bool whole = true;
        if (!bridgeOf(parents[p].bus).childrenByIndex) {
            whole = first < end && Reader(calls[first].reply()).get(refs);
        } else {
            if (!node(parents[p]).basic) continue;
            for (std::size_t i = first; i < end; ++i) {
                Ref child;
                whole = whole && Reader(calls[i].reply()).get(child);
                refs.push_back(std::move(child));
            }
        }
        if (whole) adopt(node(parents[p]), std::move(refs));
    }
}

Model::Search Model::searchFocused(const std::string& bus, Ref& focused) {
    // More than any dialog or window holds; a larger tree is not searched
    // whole, and its focus counts as unknown.
    constexpr std::size_t kMostElements = 20000;
    std::vector<Ref> frontier{Ref{bus, kRootPath}};
    std::unordered_set<std::string> seen;
    std::size_t visited = 0;
    bool found = false;
    while (!frontier.empty()) {
        std::vector<Ref> unknown;
        for (auto& r : frontier)
            if (!node(r).childrenKnown) unknown.push_back(r);
        fetchChildren(unknown);
        if (sender_.unresponsive(bus)) return Search::unknown;
        std::vector<Ref> level, unread;
        for (auto& r : frontier)
            for (auto& child : node(r).children)
                if (child.bus == bus && seen.insert(child.key()).second) {
                    level.push_back(child);
                    if (!node(child).basic) unread.push_back(child);
                }
        fetchBasics(unread);
        visited += level.size();
        frontier.clear();
        // Only what is visible can hold the focus, and only inside what is
        // visible (GTK 4 says "showing" of windows only).
        for (auto& r : level) {
            const Node& n = node(r);
            if (!n.basic || !(n.has(ATSPI_STATE_SHOWING) || n.has(ATSPI_STATE_VISIBLE))) continue;
            // Qt marks a focused widget's containers focused too: the
            // deepest is the one that takes the keys, and a password field
            // among them wins whatever its depth.
            if (n.has(ATSPI_STATE_FOCUSED) && (!found || node(focused).role != ATSPI_ROLE_PASSWORD_TEXT)) {
                focused = r;
                found = true;
            }
            if (n.childCount != 0) frontier.push_back(r);
        }
        if (visited > kMostElements) return Search::unknown;
    }
    return found ? Search::found : Search::none;
}

void Model::readAhead(const Ref& from) {
    AppState& app = apps_[from.bus];
    const std::size_t budget = std::max(kFirstReadAhead, app.readAhead);
    std::size_t read = 0;
    std::vector<Ref> frontier{from};
    std::unordered_set<std::string> seen{from.key()};
    while (!frontier.empty() && read < budget) {
        fetchChildren(frontier);
        std::vector<Ref> unread, next;
        for (std::size_t i = 0; i < frontier.size(); ++i) {
            Node& parent = node(frontier[i]);
            if (!parent.childrenKnown) continue;
            for (auto& child : parent.children) {
                if (!seen.insert(child.key()).second) continue;  // a loop, or listed twice
                (node(child).basic ? next : unread).push_back(child);
            }
        }
        // A level is read whole, even past the budget: its elements are
        // the ones a walk reads next.
        fetchBasics(unread);
        read += unread.size();
        next.insert(next.end(), unread.begin(), unread.end());
        frontier.clear();
        for (auto& r : next)
            if (const Node& n = node(r); n.basic && n.childCount != 0 && !n.childrenKnown) frontier.push_back(r);
    }
    app.readAhead += read;
}

std::optional<Ref> Model::parent(const Ref& ref) {
    if (ref.null()) return std::nullopt;
    if (!node(ref).parentKnown) {
        Call c{ref, kPropertiesIface, "Get", "ss", kAccessibleIface, "Parent"};
        Ref p;
        if (!sender_.runOne(c) || !Reader(c.reply()).value().get(p)) return std::nullopt;
        node(ref).setParent(p);
    }
    const Node& n = node(ref);
    return n.parent.null() ? std::nullopt : std::optional<Ref>(n.parent);
}

Node* Model::details(const Ref& ref, unsigned wanted) {
    for (int pass = 0; pass < 2; ++pass) {
        Node* n = basic(ref);
        if (!n) return nullptr;
        if ((n->fetched & wanted) == wanted || fetchDetails(ref, wanted)) return &node(ref);
        // The application's elements were forgotten: read again.
    }
    return &node(ref);
}

}  // namespace platform::atspi
