// The accessibility calls of the platform seam, over AT-SPI.
//
// An Element holds a libatspi proxy (AtspiAccessible, a GObject) with one
// reference of its own. Reads go through the request's model (ax_bus.cpp);
// actions and writes are sent at once.
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/x11/ax_bus.h"

namespace platform {

using atspi::Call;
using atspi::Node;
using atspi::Ref;
using atspi::Session;

namespace {

Element adopt(const Ref& ref) { return Element(Session::get().object(ref)); }

Value elementArray(const std::vector<Ref>& refs) {
    Array out;
    out.reserve(refs.size());
    for (auto& r : refs)
        if (Element e = adopt(r)) out.emplace_back(std::move(e));
    return Value(std::move(out));
}

bool isSystemWide(const Ref& r) { return r.bus == atspi::kRegistryName && r.path == atspi::kRootPath; }
bool isAppRoot(const Ref& r) { return r.path == atspi::kRootPath && !isSystemWide(r); }

// Why a read found nothing: the application did not answer, or the element
// itself could not be read.
AXError lost(const Ref& r) {
    return Session::get().unresponsive(r.bus) ? kAXErrorCannotComplete : kAXErrorInvalidUIElement;
}

// The node an action or a write works on, read `detailed` or basic. The
// error says why there is none: not one of our handles, no bus, the
// system-wide element (which takes no actions or writes), or lost.
AXError targetNode(const Element& element, bool detailed, Ref& ref, Node*& node) {
    auto r = Session::refOf(element);
    if (!r) return kAXErrorInvalidUIElement;
    Session& s = Session::get();
    if (!s.ok()) return kAXErrorAPIDisabled;
    if (isSystemWide(*r)) return kAXErrorIllegalArgument;
    ref = *r;
    node = detailed ? s.details(ref) : s.basic(ref);
    return node ? kAXErrorSuccess : lost(ref);
}

void appendInt(DBusMessageIter& it, dbus_int32_t v) { dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &v); }

bool replyBool(const Call& c) {
    DBusMessageIter it;
    if (!c.iter(it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_BOOLEAN) return false;
    dbus_bool_t b = FALSE;
    dbus_message_iter_get_basic(&it, &b);
    return b;
}

// A Collection match on the FOCUSED state, one element at most: the one call
// that finds an application's focused element.
Call focusedCall(const std::string& bus) {
    return Call{Ref{bus, atspi::kRootPath}, atspi::kCollectionIface, "GetMatches", [](DBusMessageIter& it) {
                    DBusMessageIter rule, a, d;
                    dbus_message_iter_open_container(&it, DBUS_TYPE_STRUCT, nullptr, &rule);
                    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "i", &a);
                    appendInt(a, 1 << ATSPI_STATE_FOCUSED);
                    appendInt(a, 0);
                    dbus_message_iter_close_container(&rule, &a);
                    appendInt(rule, ATSPI_Collection_MATCH_ALL);
                    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "{ss}", &d);
                    dbus_message_iter_close_container(&rule, &d);
                    appendInt(rule, ATSPI_Collection_MATCH_ALL);
                    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "i", &a);
                    for (int i = 0; i < 4; ++i) appendInt(a, 0);
                    dbus_message_iter_close_container(&rule, &a);
                    appendInt(rule, ATSPI_Collection_MATCH_ALL);
                    dbus_message_iter_open_container(&rule, DBUS_TYPE_ARRAY, "s", &a);
                    dbus_message_iter_close_container(&rule, &a);
                    appendInt(rule, ATSPI_Collection_MATCH_ALL);
                    dbus_bool_t invert = FALSE;
                    dbus_message_iter_append_basic(&rule, DBUS_TYPE_BOOLEAN, &invert);
                    dbus_message_iter_close_container(&it, &rule);
                    dbus_uint32_t sort = ATSPI_Collection_SORT_ORDER_CANONICAL;
                    dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &sort);
                    appendInt(it, 1);
                    dbus_bool_t traverse = TRUE;
                    dbus_message_iter_append_basic(&it, DBUS_TYPE_BOOLEAN, &traverse);
                }};
}

std::optional<Ref> firstMatch(const Call& c) {
    DBusMessageIter it, a;
    if (!c.iter(it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return std::nullopt;
    dbus_message_iter_recurse(&it, &a);
    Ref r;
    if (!atspi::readRef(a, r) || r.null()) return std::nullopt;
    return r;
}

// The focused element of one application, or of whichever application holds
// the keyboard focus. When an application that may hold it did not answer in
// time, the focus is unknown, not absent: kAXErrorCannotComplete.
AXError focused(const Ref& root, Value& out) {
    Session& s = Session::get();
    std::vector<std::string> apps;
    // Whether the keyboard focus is known to be with the frontmost application:
    // then the others' silence does not matter.
    bool frontKnown = false;
    if (isAppRoot(root)) {
        apps.push_back(root.bus);
    } else {
        // System-wide: the frontmost application is asked first; the others
        // all at once, so one that does not answer costs one timeout.
        apps = s.applications();
        if (App front = frontmostApplication()) {
            frontKnown = true;
            if (auto bus = s.busOfPid(processIdentifier(front))) {
                Call c = focusedCall(*bus);
                s.runOne(c);
                if (auto r = firstMatch(c)) {
                    out = Value(adopt(*r));
                    return kAXErrorSuccess;
                }
                if (s.unresponsive(*bus)) return kAXErrorCannotComplete;
                std::erase(apps, *bus);
            }
        }
    }
    std::vector<Call> calls;
    for (auto& bus : apps) calls.push_back(focusedCall(bus));
    s.run(calls);
    for (auto& c : calls)
        if (auto r = firstMatch(c))
            if (Element e = adopt(*r)) {
                out = Value(std::move(e));
                return kAXErrorSuccess;
            }
    if (!frontKnown)
        for (auto& bus : apps)
            if (s.unresponsive(bus)) return kAXErrorCannotComplete;
    return kAXErrorNoValue;
}

}  // namespace

Element axCreateApplication(std::int32_t pid) {
    Session& s = Session::get();
    if (!s.ok()) return {};
    s.beginRequest();
    auto bus = s.busOfPid(pid);
    if (!bus) return {};
    return adopt(Ref{*bus, atspi::kRootPath});
}

Element axCreateSystemWide() {
    Session& s = Session::get();
    if (!s.ok()) return {};
    s.beginRequest();
    return adopt(Ref{atspi::kRegistryName, atspi::kRootPath});
}

AXError axSetMessagingTimeout(const Element& element, float seconds) {
    if (!Session::refOf(element)) return kAXErrorInvalidUIElement;
    if (!(seconds >= 0)) return kAXErrorIllegalArgument;
    Session::get().setTimeout(seconds);
    return kAXErrorSuccess;
}

AXError axCopyAttributeValue(const Element& element, const std::string& attribute, Value& value) {
    auto ref = Session::refOf(element);
    if (!ref) return kAXErrorInvalidUIElement;
    Session& s = Session::get();
    if (!s.ok()) return kAXErrorAPIDisabled;

    if (attribute == "AXFocusedUIElement") {
        if (!isSystemWide(*ref) && !isAppRoot(*ref)) return kAXErrorAttributeUnsupported;
        return focused(*ref, value);
    }
    if (isSystemWide(*ref)) return kAXErrorAttributeUnsupported;

    if (attribute == "AXWindows" || attribute == "AXChildren") {
        if (attribute == "AXWindows" && !isAppRoot(*ref)) return kAXErrorAttributeUnsupported;
        auto* kids = s.children(*ref);
        if (!kids) return lost(*ref);
        value = elementArray(*kids);
        return kAXErrorSuccess;
    }
    if (attribute == "AXParent") {
        if (isAppRoot(*ref)) return kAXErrorNoValue;
        auto parent = s.parent(*ref);
        // The chain ends at the application element, as it does on macOS.
        if (!parent || parent->bus != ref->bus) return s.unresponsive(ref->bus) ? kAXErrorCannotComplete : kAXErrorNoValue;
        Element e = adopt(*parent);
        if (!e) return kAXErrorNoValue;
        value = Value(std::move(e));
        return kAXErrorSuccess;
    }

    bool basic = attribute == "AXRole" || attribute == "AXSubrole" || attribute == "AXTitle" ||
                 attribute == "AXDescription" || attribute == "AXFocused" || attribute == "AXEnabled";
    bool detail = attribute == "AXValue" || attribute == "AXPosition" || attribute == "AXSize";
    if (!basic && !detail) return kAXErrorAttributeUnsupported;

    Node* n = detail ? s.details(*ref) : s.basic(*ref);
    if (!n) return lost(*ref);
    if (attribute == "AXRole") {
        value = Value(std::string(atspi::axRole(n->role, n->has(ATSPI_STATE_MULTI_LINE))));
    } else if (attribute == "AXSubrole") {
        const char* sub = atspi::axSubrole(n->role);
        if (!sub) return kAXErrorNoValue;
        value = Value(std::string(sub));
    } else if (attribute == "AXTitle") {
        value = Value(n->name);
    } else if (attribute == "AXDescription") {
        value = Value(n->description);
    } else if (attribute == "AXFocused") {
        value = Value(n->has(ATSPI_STATE_FOCUSED));
    } else if (attribute == "AXEnabled") {
        value = Value(n->has(ATSPI_STATE_ENABLED) || n->has(ATSPI_STATE_SENSITIVE));
    } else if (attribute == "AXValue") {
        // A password field's text is never read, not even its bullets.
        if (n->role == ATSPI_ROLE_PASSWORD_TEXT || n->value.isNone()) return kAXErrorNoValue;
        value = n->value;
    } else {
        // INT_MIN coordinates are how toolkits say "not on screen".
        if (!n->extents || (*n->extents)[0] == INT_MIN || (*n->extents)[1] == INT_MIN) return kAXErrorNoValue;
        auto& e = *n->extents;
        if (attribute == "AXPosition")
            value = Value(Point{static_cast<double>(e[0]), static_cast<double>(e[1])});
        else
            value = Value(Size{static_cast<double>(e[2]), static_cast<double>(e[3])});
    }
    return kAXErrorSuccess;
}

AXError axCopyActionNames(const Element& element, Value& names) {
    Ref ref;
    Node* n = nullptr;
    if (AXError err = targetNode(element, true, ref, n)) return err;
    Array out;
    for (auto& name : atspi::axActionNames(n->actions, n->role)) out.emplace_back(name);
    names = Value(std::move(out));
    return kAXErrorSuccess;
}

AXError axCopyElementAtPosition(const Element& application, float x, float y, Element& element) {
    auto ref = Session::refOf(application);
    if (!ref) return kAXErrorInvalidUIElement;
    Session& s = Session::get();
    if (!s.ok()) return kAXErrorAPIDisabled;
    if (!isAppRoot(*ref)) return kAXErrorIllegalArgument;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9f || std::fabs(y) > 1e9f)
        return kAXErrorIllegalArgument;
    auto px = static_cast<std::int32_t>(std::floor(x));
    auto py = static_cast<std::int32_t>(std::floor(y));

    auto* windows = s.children(*ref);
    if (!windows) return lost(*ref);
    // The window under the point: showing, containing it, the active one first.
    std::vector<Ref> refs = *windows;
    std::vector<Call> calls;
    for (auto& w : refs) {
        calls.emplace_back(w, atspi::kComponentIface, "GetExtents", [](DBusMessageIter& it) {
            dbus_uint32_t screen = ATSPI_COORD_TYPE_SCREEN;
            dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &screen);
        });
        calls.emplace_back(w, atspi::kAccessibleIface, "GetState");
    }
    s.run(calls);
    std::optional<Ref> hit;
    bool hitActive = false;
    for (std::size_t i = 0; i < refs.size(); ++i) {
        DBusMessageIter it, st, a;
        std::int32_t e[4] = {0, 0, 0, 0};
        if (!calls[2 * i].iter(it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRUCT) continue;
        dbus_message_iter_recurse(&it, &st);
        for (auto& v : e) {
            if (dbus_message_iter_get_arg_type(&st) == DBUS_TYPE_INT32) dbus_message_iter_get_basic(&st, &v);
            dbus_message_iter_next(&st);
        }
        if (e[0] == INT_MIN || e[1] == INT_MIN) continue;
        std::int64_t ex = e[0], ey = e[1];
        if (px < ex || py < ey || px >= ex + e[2] || py >= ey + e[3]) continue;
        std::uint32_t words[2] = {0, 0};
        if (calls[2 * i + 1].iter(it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_ARRAY) {
            dbus_message_iter_recurse(&it, &a);
            for (int k = 0; k < 2 && dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_UINT32; ++k) {
                dbus_message_iter_get_basic(&a, &words[k]);
                dbus_message_iter_next(&a);
            }
        }
        auto has = [&](AtspiStateType t) { return (words[t / 32] >> (t % 32)) & 1u; };
        if (!has(ATSPI_STATE_SHOWING)) continue;
        if (!hit || (!hitActive && has(ATSPI_STATE_ACTIVE))) {
            hit = refs[i];
            hitActive = has(ATSPI_STATE_ACTIVE);
        }
    }
    if (!hit) return s.unresponsive(ref->bus) ? kAXErrorCannotComplete : kAXErrorNoValue;

    // The toolkit answers one level per call: descend until nothing is deeper.
    Ref current = *hit;
    for (int depth = 0; depth < 64; ++depth) {
        Call c{current, atspi::kComponentIface, "GetAccessibleAtPoint", [px, py](DBusMessageIter& it) {
                   appendInt(it, px);
                   appendInt(it, py);
                   dbus_uint32_t screen = ATSPI_COORD_TYPE_SCREEN;
                   dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &screen);
               }};
        DBusMessageIter it;
        Ref next;
        if (!s.runOne(c) || !c.iter(it) || !atspi::readRef(it, next) || next.null() ||
            next.bus != current.bus || next.path == current.path)
            break;
        current = next;
    }
    element = adopt(current);
    return element ? kAXErrorSuccess : kAXErrorNoValue;
}

AXError axPerformAction(const Element& element, const std::string& action) {
    Ref ref;
    Node* n = nullptr;
    if (AXError err = targetNode(element, true, ref, n)) return err;
    Session& s = Session::get();
    int index = atspi::actionIndex(n->actions, n->role, action);
    if (index < 0) return kAXErrorActionUnsupported;
    Call c{ref, atspi::kActionIface, "DoAction", [index](DBusMessageIter& it) { appendInt(it, index); }};
    if (!s.runOne(c)) return kAXErrorCannotComplete;
    return replyBool(c) ? kAXErrorSuccess : kAXErrorCannotComplete;
}

AXError axSetAttributeValue(const Element& element, const std::string& attribute, const Value& value) {
    Ref ref;
    Node* n = nullptr;
    if (AXError err = targetNode(element, false, ref, n)) return err;
    Session& s = Session::get();

    if (attribute == "AXFocused") {
        auto b = value.as<bool>();
        if (!b) return kAXErrorIllegalArgument;
        if (!*b || !(n->ifaces & atspi::ifComponent)) return kAXErrorCannotComplete;
        Call c{ref, atspi::kComponentIface, "GrabFocus"};
        if (!s.runOne(c)) return kAXErrorCannotComplete;
        return replyBool(c) ? kAXErrorSuccess : kAXErrorCannotComplete;
    }
    if (attribute == "AXValue") {
        if (auto text = value.as<std::string>()) {
            if (!(n->ifaces & atspi::ifEditableText)) return kAXErrorAttributeUnsupported;
            // D-Bus strings are UTF-8 without NUL: anything else cannot be sent
            // whole, and is refused rather than cut.
            if (text->find('\0') != std::string::npos || !dbus_validate_utf8(text->c_str(), nullptr))
                return kAXErrorIllegalArgument;
            std::string copy = *text;
            Call c{ref, atspi::kEditableTextIface, "SetTextContents", [copy](DBusMessageIter& it) {
                       const char* p = copy.c_str();
                       dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &p);
                   }};
            if (!s.runOne(c)) return kAXErrorCannotComplete;
            return replyBool(c) ? kAXErrorSuccess : kAXErrorCannotComplete;
        }
        const double* real = value.as<double>();
        const std::int64_t* integer = value.as<std::int64_t>();
        if (!real && !integer) return kAXErrorIllegalArgument;
        if (!(n->ifaces & atspi::ifValue)) return kAXErrorAttributeUnsupported;
        double d = real ? *real : static_cast<double>(*integer);
        Call c{ref, DBUS_INTERFACE_PROPERTIES, "Set", [d](DBusMessageIter& it) {
                   const char* iface = atspi::kValueIface;
                   const char* prop = "CurrentValue";
                   dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &iface);
                   dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &prop);
                   DBusMessageIter v;
                   dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "d", &v);
                   dbus_message_iter_append_basic(&v, DBUS_TYPE_DOUBLE, &d);
                   dbus_message_iter_close_container(&it, &v);
               }};
        return s.runOne(c) ? kAXErrorSuccess : kAXErrorCannotComplete;
    }
    return kAXErrorAttributeUnsupported;
}

}  // namespace platform
