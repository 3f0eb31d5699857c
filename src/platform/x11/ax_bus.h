// Accessibility over AT-SPI: the connection to the accessibility bus, raw
// D-Bus calls with a bound on every call, and the per-request model of the
// applications asked about. Internal to the Linux backend.
//
// Every accessibility request of the agent starts by creating a root element
// (an application element or the system-wide one). Creating a root drops the
// model of the previous request, so reads inside one request may share what was
// fetched, and nothing outlives the request.
#pragma once

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"

namespace platform::atspi {

inline constexpr const char* kRegistryName = "org.a11y.atspi.Registry";
inline constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
inline constexpr const char* kNullPath = "/org/a11y/atspi/null";

inline constexpr const char* kAccessibleIface = "org.a11y.atspi.Accessible";
inline constexpr const char* kActionIface = "org.a11y.atspi.Action";
inline constexpr const char* kComponentIface = "org.a11y.atspi.Component";
inline constexpr const char* kEditableTextIface = "org.a11y.atspi.EditableText";
inline constexpr const char* kTextIface = "org.a11y.atspi.Text";
inline constexpr const char* kValueIface = "org.a11y.atspi.Value";
inline constexpr const char* kCollectionIface = "org.a11y.atspi.Collection";

// Interfaces an element offers, as bits.
enum Iface : std::uint32_t {
    ifAction = 1u << 0,
    ifComponent = 1u << 1,
    ifEditableText = 1u << 2,
    ifText = 1u << 3,
    ifValue = 1u << 4,
    ifCollection = 1u << 5,
};
std::uint32_t ifaceBit(const char* name);

// An object on the accessibility bus: the owner's bus name and the path.
struct Ref {
    std::string bus;
    std::string path;
    bool null() const { return bus.empty() || path.empty() || path == kNullPath; }
    std::string key() const { return bus + '\n' + path; }
};

// What is known about one object during one request.
struct Node {
    Ref ref;
    bool basic = false;  // role, name, description, states, interfaces, child count
    std::uint32_t role = 0;
    std::string name;
    std::string description;
    std::array<std::uint32_t, 2> states{};
    std::uint32_t ifaces = 0;
    std::int32_t childCount = -1;
    bool parentKnown = false;
    Ref parent;
    bool childrenKnown = false;
    std::vector<Ref> children;
    // Fetched on demand, in batches.
    bool extentsKnown = false;
    std::optional<std::array<std::int32_t, 4>> extents;
    bool actionsKnown = false;
    std::vector<std::string> actions;  // the toolkit's own action names, in order
    bool valueKnown = false;
    Value value;                       // none, string, integer or real

    bool has(AtspiStateType s) const {
        auto bit = static_cast<unsigned>(s);
        return bit < 64 && (states[bit / 32] >> (bit % 32)) & 1u;
    }
};

// A raw method call, filled by `prepare`, sent together with others.
struct Call {
    Ref target;
    const char* iface = nullptr;
    const char* method = nullptr;
    std::function<void(DBusMessageIter&)> args;  // appends the arguments (may be empty)
    DBusMessage* reply = nullptr;                // owned; null when the call failed
    ~Call();
    Call() = default;
    Call(Ref t, const char* i, const char* m, std::function<void(DBusMessageIter&)> a = {})
        : target(std::move(t)), iface(i), method(m), args(std::move(a)) {}
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    Call(Call&& o) noexcept;
    Call& operator=(Call&&) = delete;
    // The reply's argument iterator; false when there is no reply.
    bool iter(DBusMessageIter& it) const;
};

// The connection and the state of the current request.
class Session {
public:
    static Session& get();

    bool ok() const { return bus_ != nullptr; }
    DBusConnection* bus() const { return bus_; }

    // Starts a new request: drops the model, restores the default timeout.
    void beginRequest();
    void setTimeout(float seconds);
    int timeoutMs() const { return timeoutMs_; }

    // Sends every call at once and waits for all replies (each bounded by the
    // timeout, so the whole batch too). Calls to an owner that already failed
    // to answer within this request are not sent.
    void run(std::vector<Call>& calls);
    bool runOne(Call& call);
    // Method calls sent on the bus since the process started.
    std::uint64_t callsSent() const { return sent_; }
    bool unresponsive(const std::string& bus) const { return dead_.count(bus) != 0; }
    void markUnresponsive(const std::string& bus) { dead_.insert(bus); }

    // Objects of the model.
    Node& node(const Ref& ref);
    Node* basic(const Ref& ref);            // with role, names, states, interfaces
    const std::vector<Ref>* children(const Ref& ref);
    std::optional<Ref> parent(const Ref& ref);
    Node* details(const Ref& ref);          // with extents, actions and value fetched
    std::optional<std::string> busOfPid(std::int32_t pid);
    std::vector<std::string> applications();  // bus names of the registered applications

    // libatspi's object for a reference (a new reference the caller owns).
    AtspiAccessible* object(const Ref& ref);
    static std::optional<Ref> refOf(const Element& element);

private:
    Session();
    void fetchItems(const std::string& bus);
    void fetchBasics(std::vector<Ref> refs);
    void fetchDetails(const Ref& from);
    void prune();
    DBusConnection* peer(const std::string& bus);
    std::unordered_map<std::string, DBusConnection*> peers_;  // direct connections, owned; null: none offered

    DBusConnection* bus_ = nullptr;
    int timeoutMs_ = 2000;
    std::uint64_t sent_ = 0;
    std::unordered_set<std::string> dead_;
    std::unordered_map<std::string, Node> nodes_;
    struct AppState {
        bool itemsTried = false;
        int basicReads = 0;
        int detailReads = 0;
        int deepest = 0;                    // deepest level whose details were asked for
        std::vector<int> level;             // of each element in `preorder`; windows are 1
        std::vector<std::string> preorder;  // keys, walk order of the fetched tree
        std::unordered_map<std::string, std::size_t> position;
    };
    std::unordered_map<std::string, AppState> apps_;
    std::optional<std::vector<std::pair<std::string, std::int32_t>>> pids_;
    std::unordered_map<std::string, AtspiApplication*> proxyApps_;  // by bus name; each holds a reference
};

// Reading replies.
bool readRef(DBusMessageIter& it, Ref& out);  // a (so) structure
bool readString(DBusMessageIter& it, std::string& out);
// Steps into a variant when the iterator stands on one.
void unwrapVariant(DBusMessageIter& it, DBusMessageIter& inner);

// The AX vocabulary.
const char* axRole(std::uint32_t role, bool multiLine);
const char* axSubrole(std::uint32_t role);
bool isCheckable(std::uint32_t role);
// The AX names of an element's actions, in order and without repeats.
std::vector<std::string> axActionNames(const std::vector<std::string>& actions, std::uint32_t role);
// The toolkit action that performs an AX action; -1 when there is none.
int actionIndex(const std::vector<std::string>& actions, std::uint32_t role, const std::string& axName);

}  // namespace platform::atspi
