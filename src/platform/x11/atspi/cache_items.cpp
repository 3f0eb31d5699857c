// Reading an application's whole cache in one call (org.a11y.atspi.Cache
// GetItems): the basics of every element it holds, and their children where
// the cache knows them all.
#include <algorithm>
#include <string_view>

#include "platform/x11/atspi/model.h"

namespace platform::atspi {

// Two layouts exist: current bridges give each element's index and child
// count, older ones (Qt 5 among them) the list of its children.
namespace {
constexpr std::string_view kIndexedItems = "a((so)(so)(so)iiassusau)";
constexpr std::string_view kListedItems = "a((so)(so)(so)a(so)assusau)";
}  // namespace

// One element as the cache describes it.
struct Model::Item {
    Ref self, app, parent;
    std::int32_t index = -1, count = -1;
    std::vector<Ref> listed;
    std::uint32_t ifaces = 0, role = 0;
    std::string name, description;
    States states{};

    bool read(Reader r, bool indexed) {
        bool ok = r.get(self) && r.get(app) && r.get(parent) &&
                  (indexed ? r.get(index) && r.get(count) : r.get(listed)) && r.getIfaces(ifaces) &&
                  r.get(name) && r.get(role) && r.get(description) && r.get(states);
        if (!indexed) count = static_cast<std::int32_t>(listed.size());
        return ok;
    }
};

void Model::fetchItems(const std::string& bus) {
    apps_[bus].itemsTried = true;
    if (sender_.unresponsive(bus) || !bridgeOf(bus).cache) return;
    Call c{{bus, kCachePath}, kCacheIface, "GetItems"};
    if (!sender_.runOne(c)) {
        // The application answered the calls before this one: a very large
        // application may just need longer for its whole cache. It is read
        // element by element instead; if it is really stuck, the next call
        // finds out.
        sender_.forgive(bus);
        return;
    }
    // Any other layout falls back to reading element by element.
    std::string_view signature = dbus_message_get_signature(c.reply());
    bool indexed = signature == kIndexedItems;
    if (!indexed && signature != kListedItems) return;
    Reader items = Reader(c.reply()).enter();
    Siblings kids;
    while (items.type() == DBUS_TYPE_STRUCT) {
        Item item;
        if (item.read(items.enter(), indexed) && !item.self.null() && item.self.bus == bus)
            storeItem(std::move(item), indexed, kids);
    }
    linkChildren(bus, kids);
}

void Model::storeItem(Item item, bool indexed, Siblings& kids) {
    Node& n = node(item.self);
    n.basic = true;
    n.role = item.role;
    n.name = withoutObjectMarks(std::move(item.name));
    n.description = withoutObjectMarks(std::move(item.description));
    n.states = item.states;
    n.ifaces = item.ifaces;
    n.childCount = item.count;
    n.setParent(item.parent);
    if ((item.count == 0 || !indexed) && !n.childrenKnown) adopt(n, std::move(item.listed));
    if (!item.parent.null() && item.parent.bus == item.self.bus && item.index >= 0)
        kids[item.parent.key()].emplace_back(item.index, item.self);
}

// A parent's children are taken from the cache only when the cache holds all
// of them, each at its own index; otherwise they are asked for live.
void Model::linkChildren(const std::string& bus, Siblings& kids) {
    const Ref root{bus, kRootPath};
    for (auto& [key, list] : kids) {
        std::sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.first < b.first; });
        bool complete = true;
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].first != static_cast<std::int32_t>(i)) complete = false;
        auto it = nodes_.find(key);
        if (it == nodes_.end()) {
            // The application's root is not itself in its cache.
            if (key != root.key()) continue;
            it = nodes_.try_emplace(key).first;
            it->second.ref = root;
        } else if (it->second.basic && it->second.childCount != static_cast<std::int32_t>(list.size())) {
            complete = false;
        }
        if (!complete || it->second.childrenKnown) continue;
        std::vector<Ref> refs;
        for (auto& [i, r] : list) refs.push_back(std::move(r));
        adopt(it->second, std::move(refs));
    }
}

}  // namespace platform::atspi
