// The accessibility actions and writes of the platform seam, and the element
// under a point. Actions and writes are sent at once, never batched.
#include <atspi/atspi-constants.h>

#include <climits>
#include <cmath>

#include "platform/x11/atspi/roles.h"
#include "platform/x11/atspi/seam.h"

namespace platform {

using atspi::Call;
using atspi::Node;
using atspi::Ref;
using atspi::Session;

namespace {

// The window of `windows` under the point: showing, containing it, the
// active one first.
std::optional<Ref> windowAt(Session& s, const std::vector<Ref>& windows, std::int32_t px, std::int32_t py) {
    std::vector<Call> calls;
    for (auto& w : windows) {
        calls.emplace_back(w, atspi::kComponentIface, "GetExtents", "u", ATSPI_COORD_TYPE_SCREEN);
        calls.emplace_back(w, atspi::kAccessibleIface, "GetState");
    }
    s.sender().run(calls);
    std::optional<Ref> hit;
    bool hitActive = false;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        atspi::Reader r(calls[2 * i].reply());
        if (r.type() != DBUS_TYPE_STRUCT) continue;
        atspi::Reader fields = r.enter();
        std::int32_t e[4] = {0, 0, 0, 0};
        for (auto& v : e)
            if (!fields.get(v)) fields.skip();
        if (e[0] == INT_MIN || e[1] == INT_MIN) continue;
        auto origin = s.model().origin(windows[i]);
        if (!origin) continue;
        std::int64_t ex = std::int64_t{e[0]} + (*origin)[0], ey = std::int64_t{e[1]} + (*origin)[1];
        if (px < ex || py < ey || px >= ex + e[2] || py >= ey + e[3]) continue;
        atspi::States states{};
        atspi::Reader(calls[2 * i + 1].reply()).get(states);
        if (!atspi::hasState(states, ATSPI_STATE_SHOWING)) continue;
        bool active = atspi::hasState(states, ATSPI_STATE_ACTIVE);
        if (!hit || (!hitActive && active)) {
            hit = windows[i];
            hitActive = active;
        }
    }
    return hit;
}

// The deepest element under the point, from `current` down: the toolkit
// answers one level per call.
Ref deepestAt(Session& s, Ref current, std::int32_t px, std::int32_t py) {
    for (int depth = 0; depth < 64; ++depth) {
        Call c{current, atspi::kComponentIface, "GetAccessibleAtPoint", "iiu", px, py, ATSPI_COORD_TYPE_SCREEN};
        Ref next;
        if (!s.sender().runOne(c) || !atspi::Reader(c.reply()).get(next) || next.null() || next.bus != current.bus ||
            next.path == current.path)
            break;
        current = next;
    }
    return current;
}

}  // namespace

AXError axCopyActionNames(const Element& element, Value& names) {
    Session* s = nullptr;
    Ref ref;
    Node* n = nullptr;
    if (AXError err = atspi::targetNode(element, atspi::want::actions, s, ref, n)) return err;
    Array out;
    for (auto& name : atspi::axActionNames(n->actions, n->role)) out.emplace_back(name);
    if (atspi::pressedByClick(*n)) out.insert(out.begin(), Value(std::string("AXPress")));
    names = Value(std::move(out));
    return kAXErrorSuccess;
}

AXError axCopyElementAtPosition(const Element& application, float x, float y, Element& element) {
    Session* s = nullptr;
    Ref ref;
    if (AXError err = atspi::resolve(application, s, ref)) return err;
    if (!ref.appRoot()) return kAXErrorIllegalArgument;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9f || std::fabs(y) > 1e9f)
        return kAXErrorIllegalArgument;
    auto px = static_cast<std::int32_t>(std::floor(x));
    auto py = static_cast<std::int32_t>(std::floor(y));

    auto* windows = s->model().children(ref);
    if (!windows) return atspi::lost(*s, ref);
    auto hit = windowAt(*s, std::vector<Ref>(*windows), px, py);
    if (!hit) return s->sender().unresponsive(ref.bus) ? kAXErrorCannotComplete : kAXErrorNoValue;
    // The point in the terms the toolkit gives its frames in.
    auto origin = s->model().origin(*hit);
    if (!origin) return kAXErrorNoValue;
    element = atspi::makeElement(deepestAt(*s, *hit, px - (*origin)[0], py - (*origin)[1]));
    return element ? kAXErrorSuccess : kAXErrorNoValue;
}

AXError axPerformAction(const Element& element, const std::string& action) {
    Session* s = nullptr;
    Ref ref;
    Node* n = nullptr;
    if (AXError err = atspi::targetNode(element, atspi::want::actions, s, ref, n)) return err;
    int index = atspi::actionIndex(n->actions, n->role, action);
    if (index < 0 && action == "AXPress" && atspi::pressedByClick(*n))
        return atspi::pressByClick(*s, ref) ? kAXErrorSuccess : kAXErrorCannotComplete;
    if (index < 0) return kAXErrorActionUnsupported;
    Call c{ref, atspi::kActionIface, "DoAction", "i", index};
    return atspi::answeredTrue(*s, std::move(c)) ? kAXErrorSuccess : kAXErrorCannotComplete;
}

AXError axSetAttributeValue(const Element& element, const std::string& attribute, const Value& value) {
    Session* s = nullptr;
    Ref ref;
    Node* n = nullptr;
    if (AXError err = atspi::targetNode(element, 0, s, ref, n)) return err;
    if (attribute == "AXFocused") {
        auto b = value.as<bool>();
        if (!b) return kAXErrorIllegalArgument;
        if (!*b || !(n->ifaces & atspi::ifComponent)) return kAXErrorCannotComplete;
        return atspi::focus(*s, ref) ? kAXErrorSuccess : kAXErrorCannotComplete;
    }
    if (attribute == "AXValue") return atspi::setValue(*s, ref, *n, value);
    return kAXErrorAttributeUnsupported;
}

}  // namespace platform
