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
#include <unordered_set>
#include <vector>

#include "platform/platform.h"
#include "platform/x11/atspi/batch.h"
#include "platform/x11/atspi/bridge.h"
#include "platform/x11/atspi/reply.h"

namespace platform::atspi {

// `text` without U+FFFC, the mark toolkits put where an embedded object (a
// link, an image, a child element) sits inside an element's text.
std::string withoutObjectMarks(std::string text);

// The details of an element, fetched separately: a caller that never reads
// frames or actions never has them fetched.
namespace want {
inline constexpr unsigned extents = 1;
inline constexpr unsigned actions = 2;
inline constexpr unsigned value = 4;
inline constexpr unsigned all = extents | actions | value;
}  // namespace want

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
    std::int32_t index = -1;  // among the parent's children, once they are known
    int level = -1;           // the application is 0, its windows 1; -1 while unknown
    bool childrenKnown = false;
    std::vector<Ref> children;
    // Fetched on demand, in batches.
    unsigned fetched = 0;  // the details (want::) fetched so far
    std::optional<std::array<std::int32_t, 4>> extents;
    std::vector<std::string> actions;  // the toolkit's own action names, in order
    Value value;                       // none, string, integer or real

    bool has(unsigned state) const { return hasState(states, state); }
    void setParent(const Ref& p) {
        parentKnown = true;
        parent = p.null() ? Ref{} : p;
    }
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
    Node* details(const Ref& ref, unsigned wanted = want::all);  // with the `wanted` details fetched
    std::optional<std::string> busOfPid(std::int32_t pid);
    std::optional<std::int32_t> pidOfBus(const std::string& bus);
    // What the application's bridge can be trusted with, from its
    // ToolkitName, asked once.
    const Bridge& bridgeOf(const std::string& bus);
    // Where the frames an element's toolkit gives start on the screen: (0,0)
    // but for GTK 4, whose frames are within their window (placement.cpp).
    // None when that window cannot be found.
    std::optional<std::array<std::int32_t, 2>> origin(const Ref& ref);
    std::vector<std::string> applications();  // bus names of the registered applications
    // The application's focused element found by walking what is showing,
    // breadth-first: for bridges without Collection (Qt). Unknown when the
    // application stopped answering or the tree is too large to search.
    enum class Search { found, none, unknown };
    Search searchFocused(const std::string& bus, Ref& focused);

private:
    // Elements of one application read one by one before the request counts
    // as walking its tree: then its cache is read whole, what the cache lacks
    // is read breadth-first, and details come in batches.
    static constexpr int kWalkAfter = 3;
    // Elements read ahead by the first breadth-first read of a request; each
    // later one reads as many as all before it, so a walk that stops early
    // has read at most about twice what it used.
    static constexpr std::size_t kFirstReadAhead = 64;
    // How one application was read so far in this request.
    struct AppState {
        bool itemsTried = false;
        int basicReads = 0;
        int detailReads = 0;         // elements whose details were asked for one by one
        std::string lastDetailed;    // the last of them
        int deepest = 0;             // deepest level whose details were asked for
        std::size_t readAhead = 0;   // elements read breadth-first so far
        unsigned wanted = 0;         // the details asked for so far: a batch fetches these
    };
    struct Item;
    using Siblings = std::unordered_map<std::string, std::vector<std::pair<std::int32_t, Ref>>>;

    // Records `refs` as the children of `parent`, in order.
    void adopt(Node& parent, std::vector<Ref> refs);
    // The element's level, from its known ancestors; -1 when they do not
    // reach the application.
    int levelOf(Node& n);
    // The application's cache, read in one call (cache_items.cpp).
    void fetchItems(const std::string& bus);
    void storeItem(Item item, bool indexed, Siblings& kids);
    void linkChildren(const std::string& bus, Siblings& kids);
    // The subtree under `from` the cache did not give, read level by level:
    // one batch of calls per level, not one round trip per parent.
    void readAhead(const Ref& from);
    // The children of each parent, all asked for in one batch.
    void fetchChildren(const std::vector<Ref>& parents);
    // Role, names, states and interfaces of objects outside the cache.
    void fetchBasics(const std::vector<Ref>& refs);
    // Extents, actions and values, for `from` and what a walk reads next (details.cpp).
    // False when the batch found the application's content not yet reported
    // in full (Firefox's, at first contact): its elements were then
    // forgotten, to be read again.
    bool fetchDetails(const Ref& from, unsigned wanted);
    bool coldContent(const std::string& bus, const std::vector<std::string>& keys);
    // Whether the page `ref` of a Firefox not yet checked was found not yet
    // reported; its application's elements were then forgotten.
    bool pageWasCold(const Ref& ref);
    void forget(const std::string& bus);
    std::vector<std::string> detailBatch(const Ref& from);

    Sender& sender_;
    std::unordered_map<std::string, Node> nodes_;
    std::unordered_map<std::string, AppState> apps_;
    std::optional<std::vector<std::pair<std::string, std::int32_t>>> pids_;
    // Kept across requests: a bus never gives a unique name twice.
    std::unordered_map<std::string, Bridge> bridges_;
    std::unordered_set<std::string> warmed_;  // checked for content not yet reported
    // Of this request: the screen origin of each GTK 4 window, by its key.
    std::unordered_map<std::string, std::optional<std::array<std::int32_t, 2>>> origins_;
};

}  // namespace platform::atspi
