// The accessibility reads of the platform seam: root elements and attribute
// values, over the request's model.
#include <atspi/atspi-constants.h>

#include <climits>

#include "platform/x11/atspi/roles.h"
#include "platform/x11/atspi/seam.h"

namespace platform {

using atspi::Call;
using atspi::Ints;
using atspi::Node;
using atspi::Ref;
using atspi::Session;

namespace {

// A Collection match on the FOCUSED state, one element at most: the one call
// that finds an application's focused element. The rule holds the states,
// attributes, roles and interfaces to match (each with its match type) and
// whether to invert it; then come the sort order, the count and whether to
// look into descendants.
Call focusedCall(const std::string& bus) {
    constexpr int all = ATSPI_Collection_MATCH_ALL;
    return Call{Ref{bus, atspi::kRootPath}, atspi::kCollectionIface, "GetMatches", "(aiia{ss}iaiiasib)uib",
                Ints{1 << ATSPI_STATE_FOCUSED, 0}, all, Ints{}, all, Ints{0, 0, 0, 0}, all, Ints{}, all, false,
                ATSPI_Collection_SORT_ORDER_CANONICAL, 1, true};
}

// The answer of a focus question: its match, or for a bridge without
// Collection (the call failed, the application did answer), a search.
enum class Focus { found, none, unknown };
Focus focusOf(Session& s, const Call& c, Ref& out);

std::optional<Ref> firstMatch(const Call& c) {
    atspi::Reader r(c.reply());
    if (r.type() != DBUS_TYPE_ARRAY) return std::nullopt;
    Ref ref;
    if (!r.enter().get(ref) || ref.null()) return std::nullopt;
    return ref;
}

Focus focusOf(Session& s, const Call& c, Ref& out) {
    const std::string& bus = c.target().bus;
    if (c.reply()) {
        auto r = firstMatch(c);
        if (!r) return Focus::none;
        out = *r;
        return Focus::found;
    }
    if (s.sender().unresponsive(bus)) return Focus::unknown;
    switch (s.model().searchFocused(bus, out)) {
        case atspi::Model::Search::found:
            return Focus::found;
        case atspi::Model::Search::none:
            return Focus::none;
        default:
            return Focus::unknown;
    }
}

// The focused element of one application, or of whichever application holds
// the keyboard focus. When an application that may hold it did not answer in
// time, the focus is unknown, not absent: kAXErrorCannotComplete.
AXError focused(Session& s, const Ref& root, Value& out) {
    std::vector<std::string> apps;
    // Whether the keyboard focus is known to be with the frontmost application:
    // then the others' silence does not matter.
    bool frontKnown = false;
    if (root.appRoot()) {
        apps.push_back(root.bus);
    } else {
        // System-wide: the frontmost application is asked first; the others
        // all at once, so one that does not answer costs one timeout.
        apps = s.model().applications();
        if (App front = frontmostApplication()) {
            frontKnown = true;
            if (auto bus = s.model().busOfPid(processIdentifier(front))) {
                Call c = focusedCall(*bus);
                s.sender().runOne(c);
                Ref r;
                switch (focusOf(s, c, r)) {
                    case Focus::found:
                        out = Value(atspi::makeElement(r));
                        return kAXErrorSuccess;
                    case Focus::unknown:
                        return kAXErrorCannotComplete;
                    case Focus::none:
                        break;
                }
                std::erase(apps, *bus);
            }
        }
    }
    std::vector<Call> calls;
    for (auto& bus : apps) calls.push_back(focusedCall(bus));
    s.sender().run(calls);
    bool unknown = false;
    for (auto& c : calls) {
        Ref r;
        Focus f = focusOf(s, c, r);
        if (f == Focus::found) {
            out = Value(atspi::makeElement(r));
            return kAXErrorSuccess;
        }
        unknown = unknown || f == Focus::unknown;
    }
    // The keys go to the active window: when its application has no focused
    // element, the others' silence does not matter.
    return unknown && !frontKnown ? kAXErrorCannotComplete : kAXErrorNoValue;
}

AXError related(Session& s, const Ref& ref, const std::string& attribute, Value& value) {
    if (attribute == "AXParent") {
        if (ref.appRoot()) return kAXErrorNoValue;
        auto parent = s.model().parent(ref);
        // The chain ends at the application element, as it does on macOS.
        if (!parent || parent->bus != ref.bus)
            return s.sender().unresponsive(ref.bus) ? kAXErrorCannotComplete : kAXErrorNoValue;
        value = Value(atspi::makeElement(*parent));
        return kAXErrorSuccess;
    }
    if (attribute == "AXWindows" && !ref.appRoot()) return kAXErrorAttributeUnsupported;
    auto* kids = s.model().children(ref);
    if (!kids) return atspi::lost(s, ref);
    value = atspi::elementArray(*kids);
    return kAXErrorSuccess;
}

// An attribute read from the node's basics or details.
AXError own(const Node& n, const std::string& attribute, Value& value) {
    if (attribute == "AXRole") {
        value = Value(std::string(atspi::axRole(n.role, n.has(ATSPI_STATE_MULTI_LINE))));
    } else if (attribute == "AXSubrole") {
        const char* sub = atspi::axSubrole(n.role);
        if (!sub) return kAXErrorNoValue;
        value = Value(std::string(sub));
    } else if (attribute == "AXTitle") {
        value = Value(n.name);
    } else if (attribute == "AXDescription") {
        value = Value(n.description);
    } else if (attribute == "AXFocused") {
        value = Value(n.has(ATSPI_STATE_FOCUSED));
    } else if (attribute == "AXEnabled") {
        value = Value(n.has(ATSPI_STATE_ENABLED) || n.has(ATSPI_STATE_SENSITIVE));
    } else if (attribute == "AXValue") {
        // A password field's text is never read, not even its bullets.
        if (n.role == ATSPI_ROLE_PASSWORD_TEXT || n.value.isNone()) return kAXErrorNoValue;
        value = n.value;
    } else {
        // INT_MIN coordinates, or a negative size ({-1,-1,-1,-1} in Firefox),
        // are how toolkits say "not on screen".
        if (!n.extents || (*n.extents)[0] == INT_MIN || (*n.extents)[1] == INT_MIN || (*n.extents)[2] < 0 ||
            (*n.extents)[3] < 0)
            return kAXErrorNoValue;
        auto& e = *n.extents;
        if (attribute == "AXPosition")
            value = Value(Point{static_cast<double>(e[0]), static_cast<double>(e[1])});
        else
            value = Value(Size{static_cast<double>(e[2]), static_cast<double>(e[3])});
    }
    return kAXErrorSuccess;
}

}  // namespace

Element axCreateApplication(std::int32_t pid) {
    Session* s = Session::get();
    if (!s) return {};
    auto bus = s->model().busOfPid(pid);
    if (!bus) return {};
    return atspi::makeElement(Ref{*bus, atspi::kRootPath});
}

Element axCreateSystemWide() {
    if (!Session::get()) return {};
    return atspi::makeElement(Ref{atspi::kRegistryName, atspi::kRootPath});
}

AXError axSetMessagingTimeout(const Element& element, float seconds) {
    if (!atspi::refOf(element)) return kAXErrorInvalidUIElement;
    if (!(seconds >= 0)) return kAXErrorIllegalArgument;
    if (Session* s = Session::get()) s->sender().setTimeout(seconds);
    return kAXErrorSuccess;
}

AXError axCopyAttributeValue(const Element& element, const std::string& attribute, Value& value) {
    Session* s = nullptr;
    Ref ref;
    if (AXError err = atspi::resolve(element, s, ref)) return err;
    if (attribute == "AXFocusedUIElement") {
        if (!ref.systemWide() && !ref.appRoot()) return kAXErrorAttributeUnsupported;
        return focused(*s, ref, value);
    }
    if (ref.systemWide()) return kAXErrorAttributeUnsupported;
    if (attribute == "AXWindows" || attribute == "AXChildren" || attribute == "AXParent")
        return related(*s, ref, attribute, value);

    bool basic = attribute == "AXRole" || attribute == "AXSubrole" || attribute == "AXTitle" ||
                 attribute == "AXDescription" || attribute == "AXFocused" || attribute == "AXEnabled";
    bool detail = attribute == "AXValue" || attribute == "AXPosition" || attribute == "AXSize";
    if (!basic && !detail) return kAXErrorAttributeUnsupported;
    Node* n = !detail ? s->model().basic(ref)
              : s->model().details(ref, attribute == "AXValue" ? atspi::want::value : atspi::want::extents);
    return n ? own(*n, attribute, value) : atspi::lost(*s, ref);
}

}  // namespace platform
