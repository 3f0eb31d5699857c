#include <algorithm>
#include <string>

#include "ax/attributes.h"
#include "ax/find.h"
#include "ax/focus.h"
#include "ax/paths.h"
#include "ax/text.h"
#include "ax/tree.h"
#include "channel/failure.h"
#include "dispatch/arguments.h"
#include "dispatch/operations.h"

namespace dispatch::ops {
namespace {

std::int32_t requiredApp(const json& request) {
    auto pid = pidOf(request);
    if (!pid) throw channel::Failure{"Missing app", "bad_args"};
    return *pid;
}

// "depth" or "max": a number, else the default, as a 64-bit integer.
std::int64_t limit(const json& request, const char* name, double fallback) {
    return toInt64(num(arg(request, name)).value_or(fallback), name);
}

// The record keys "fields" lists are left out (and not read). Names that are
// not record keys, and "id" and "role", which every record has, are ignored.
ax::Fields fields(const json& request) {
    ax::Fields f;
    const json* list = arg(request, "fields");
    if (!list || !list->is_array()) return f;
    for (const auto& name : *list) {
        if (!name.is_string()) continue;
        const auto& n = name.get_ref<const std::string&>();
        if (n == "title") f.title = false;
        else if (n == "description") f.description = false;
        else if (n == "secure") f.secure = false;
        else if (n == "value") f.value = false;
        else if (n == "frame") f.frame = false;
        else if (n == "actions") f.actions = false;
    }
    return f;
}

// A search as "ax_find" and "ax_wait" read it.
struct Search {
    std::int32_t pid = 0;
    ax::Match match;
    std::int64_t depth = 50;
    std::int64_t max = 50;
    ax::Fields fields;

    ax::Found run() const { return ax::find(pid, match, depth, max, fields); }
};

Search search(const json& request) {
    Search s;
    s.pid = requiredApp(request);
    s.match.role = string(request, "role");
    s.match.subrole = string(request, "subrole");
    s.match.title = string(request, "title");
    s.match.text = string(request, "text");
    s.depth = limit(request, "depth", 50.0);
    s.max = limit(request, "max", 50.0);
    s.fields = fields(request);
    return s;
}

// What the controller says the element at the path is: its role and title.
struct Expectation {
    std::optional<std::string> role;
    std::optional<std::string> title;
};

// "expect", when given. It is a safety check, so a malformed one is refused
// rather than read as absent: the controller asked for a check.
std::optional<Expectation> expectation(const json& request) {
    const json* given = arg(request, "expect");
    if (!given || given->is_null()) return std::nullopt;
    auto bad = [] { throw channel::Failure{"\"expect\" must be an object of strings", "bad_args"}; };
    if (!given->is_object()) bad();
    Expectation e;
    for (auto [key, slot] : {std::pair{"role", &e.role}, std::pair{"title", &e.title}}) {
        const json* v = arg(*given, key);
        if (!v || v->is_null()) continue;
        if (!v->is_string()) bad();
        *slot = v->get<std::string>();
    }
    return e;
}

// A title as given equals the element's title, or the start of it that a
// record shows.
bool sameTitle(const std::string& title, const std::string& expected) {
    return title == expected || ax::prefix(title, ax::kTextLimit) == expected;
}

// The element an element operation works on: "pid" and "path" are both
// required, then the path is resolved afresh against the live tree, and the
// element must be what "expect" says, when given. The handle releases the
// element whichever way the operation ends.
platform::Element element(const json& request) {
    auto pid = pidOf(request);
    if (!pid) throw channel::Failure{"Missing element", "bad_args"};
    auto path = string(request, "path");
    if (!path) throw channel::Failure{"Missing element", "bad_args"};
    auto expected = expectation(request);
    platform::Element target = ax::resolve(*pid, *path);
    if (expected) {
        if (expected->role && ax::str(target, "AXRole").value_or("") != *expected->role) ax::stale();
        if (expected->title && !sameTitle(ax::str(target, "AXTitle").value_or(""), *expected->title)) ax::stale();
    }
    return target;
}

json outcome(platform::AXError error) { return {{"ok", error == platform::kAXErrorSuccess}}; }

}  // namespace

json axTree(const json& request) {
    std::int32_t pid = requiredApp(request);
    std::int64_t depth = limit(request, "depth", 8.0);
    std::int64_t max = limit(request, "max", 300.0);
    return ax::tree(pid, depth, max, fields(request));
}

json axPressAt(const json& request) {
    std::int32_t pid = requiredApp(request);
    return ax::pressAt(pid, point(request));
}

json axPress(const json& request) {
    platform::Element target = element(request);
    return outcome(platform::axPerformAction(target, "AXPress"));
}

json axFocus(const json& request) {
    platform::Element target = element(request);
    return outcome(platform::axSetAttributeValue(target, "AXFocused", platform::Value(true)));
}

json axInfo(const json& request) {
    platform::Element target = element(request);
    std::string role = ax::str(target, "AXRole").value_or("");
    bool secure = ax::isSecure(target);
    bool secureInput = platform::isSecureEventInputEnabled();
    return {{"role", role}, {"secure", secure}, {"secureInput", secureInput}};
}

json axSet(const json& request) {
    platform::Element target = element(request);
    // Nothing is written into a password field, and its new value is not even read.
    const std::uint64_t timeoutsBefore = ax::timeouts();
    if (ax::isSecure(target)) throw channel::Failure{"That is a password field", "secure_field"};
    // Nor into a field that might be one: the application did not say in time.
    if (ax::timeouts() != timeoutsBefore) throw channel::Failure{"Could not check the field", "secure_field"};
    std::string value = string(request, "value").value_or("");
    return outcome(platform::axSetAttributeValue(target, "AXValue", platform::Value(std::move(value))));
}

json axFind(const json& request) {
    ax::Found found = search(request).run();
    json answer{{"elements", std::move(found.elements)}, {"truncated", found.truncated()}};
    if (found.timedOut) answer["timedOut"] = true;
    return answer;
}

// Reads the tree until the search is met or the time is up; the last read
// comes at the deadline at the latest. Each read is a request of its own to
// the platform, so it sees the tree as it is then. "gone" is met only by a
// search that saw everything it was asked to: a walk cut short, or an
// application that did not answer, may hide a match.
json axWait(const json& request) {
    // Reads begin at most this often, with at least the pause between them.
    constexpr std::uint64_t kEvery = 75'000;
    constexpr std::uint64_t kPause = 10'000;
    const Search s = search(request);
    const bool gone = boolean(request, "gone").value_or(false);
    const double ms = std::clamp(num(arg(request, "timeout")).value_or(5000.0), 0.0, 60000.0);
    const auto timeout = static_cast<std::uint64_t>(ms * 1000.0);

    const std::uint64_t start = platform::monotonicMicroseconds();
    for (;;) {
        const std::uint64_t began = platform::monotonicMicroseconds();
        ax::Found found = s.run();
        const bool met = gone ? !found.any() && !found.cut && !found.timedOut : found.any();
        const std::uint64_t now = platform::monotonicMicroseconds();
        const std::uint64_t spent = now - start;
        if (met || spent >= timeout) {
            json answer{{"met", met}, {"elements", std::move(found.elements)}, {"elapsed", spent / 1000}};
            if (found.timedOut) answer["timedOut"] = true;
            return answer;
        }
        std::uint64_t pause = std::max(kPause, began + kEvery > now ? began + kEvery - now : 0);
        platform::sleepMicroseconds(static_cast<std::uint32_t>(std::min(pause, timeout - spent)));
        platform::endRequest();
        platform::beginRequest();
    }
}

}  // namespace dispatch::ops
