// The per-request model of the applications asked about: what is known about
// each object, fetched in as few calls as the request's pattern allows.
//
// The model lives for one request (platform::beginRequest to endRequest), so
// reads inside one request share what was fetched, and nothing outlives it.
// Internal to the Linux backend.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/atspi/batch.h"
#include "platform/x11/atspi/reply.h"

namespace platform::atspi {

// `text` without U+FFFC, the mark toolkits put where an embedded object (a
// link, an image, a child element) sits inside an element's text.
std::string withoutObjectMarks(std::string text);

// What is known about one object during one request.
struct Node {
    Ref ref;
    bool basic = false;  // role, name, description, states, interfaces, child count
    std::uint32_t role = 0;
    std::string name;
    std::string description;
    States states{};
    std::uint32_t ifaces = 0;
    std::int32_t childCount = -1;
    bool parentKnown = false;
    Ref parent;
    bool childrenKnown = false;
    std::vector<Ref> children;
    // Fetched on demand, in batches.
    bool detailed = false;  // extents, actions and value
    std::optional<std::array<std::int32_t, 4>> extents;
    std::vector<std::string> actions;  // the toolkit's own action names, in order
    Value value;                       // none, string, integer or real

    bool has(unsigned state) const { return hasState(states, state); }
    void setParent(const Ref& p) {
        parentKnown = true;
        parent = p.null() ? Ref{} : p;
    }
    void setChildren(std::vector<Ref> refs);
};

class Model {
public:
    explicit Model(Sender& sender) : sender_(sender) {}

    // Forgets everything: the request ended or a new one begins.
    void reset();

    Node& node(const Ref& ref);
    Node* basic(const Ref& ref);  // with role, names, states, interfaces
    const std::vector<Ref>* children(const Ref& ref);
    std::optional<Ref> parent(const Ref& ref);
    Node* details(const Ref& ref);  // with extents, actions and value fetched
    std::optional<std::string> busOfPid(std::int32_t pid);
    std::optional<std::int32_t> pidOfBus(const std::string& bus);
    std::vector<std::string> applications();  // bus names of the registered applications

private:
    // Elements of one application read one by one before the request counts
    // as walking its tree: then its cache is read whole, and details come in
    // batches.
    static constexpr int kWalkAfter = 3;
    // How one application was read so far in this request.
    struct AppState {
        bool itemsTried = false;
        int basicReads = 0;
        int detailReads = 0;
        int deepest = 0;                    // deepest level whose details were asked for
        std::vector<int> level;             // of each element in `preorder`; windows are 1
        std::vector<std::string> preorder;  // keys, walk order of the fetched tree
        std::unordered_map<std::string, std::size_t> position;
    };
    struct Item;
    using Siblings = std::unordered_map<std::string, std::vector<std::pair<std::int32_t, Ref>>>;

    // The application's cache, read in one call (cache_items.cpp).
    void fetchItems(const std::string& bus);
    void storeItem(Item item, bool indexed, Siblings& kids);
    void linkChildren(const std::string& bus, Siblings& kids);
    void walkOrder(const std::string& bus);
    // Role, names, states and interfaces of objects outside the cache.
    void fetchBasics(const std::vector<Ref>& refs);
    // Extents, actions and values, for `from` and what a walk reads next (details.cpp).
    void fetchDetails(const Ref& from);
    std::vector<std::string> detailBatch(const Ref& from);

    Sender& sender_;
    std::unordered_map<std::string, Node> nodes_;
    std::unordered_map<std::string, AppState> apps_;
    std::optional<std::vector<std::pair<std::string, std::int32_t>>> pids_;
};

}  // namespace platform::atspi
