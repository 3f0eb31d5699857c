#include "ax/focus.h"

#include <cmath>
#include <limits>

#include "ax/attributes.h"

namespace ax {
namespace {

using platform::Element;

constexpr int kClimbLimit = 6;  // the element under the point and five ancestors

// An attribute whose value is an element; empty for anything else.
Element elementAttr(const Element& element, const std::string& name) {
    auto value = attr(element, name);
    if (!value) return {};
    if (auto* e = std::get_if<Element>(&value->v)) return std::move(*e);
    return {};
}

bool offersPress(const Element& element) {
    platform::Value names;
    if (noteTimeout(platform::axCopyActionNames(element, names)) != platform::kAXErrorSuccess) return false;
    auto* list = names.as<platform::Array>();
    if (!list) return false;
    bool press = false;
    for (const auto& item : *list) {
        auto* name = item.as<std::string>();
        if (!name) return false;  // not a list of names
        if (*name == "AXPress") press = true;
    }
    return press;
}

// A coordinate in single precision. Beyond the float range it becomes the
// infinity of its sign rather than an undefined conversion.
float single(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) return std::numeric_limits<float>::infinity();
    if (v < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

}  // namespace

// When the application that holds the focus did not answer in time, whether
// anything (a password field, say) has focus is unknown: "timedOut" says so.
nlohmann::json focusInfo(std::optional<std::int32_t> pid) {
    nlohmann::json info = {{"secureInput", platform::isSecureEventInputEnabled()}};
    const std::uint64_t timeoutsBefore = timeouts();
    Element root = pid ? appElement(*pid) : platform::axCreateSystemWide();
    Element focused = elementAttr(root, "AXFocusedUIElement");
    if (focused) {
        info["role"] = str(focused, "AXRole").value_or("");
        info["subrole"] = str(focused, "AXSubrole").value_or("");
        info["secure"] = isSecure(focused);
    } else {
        info["secure"] = false;
    }
    if (timeouts() != timeoutsBefore) info["timedOut"] = true;
    return info;
}

// Presses through the accessibility action only; no pointer event is ever
// posted, so nothing happens when no pressable element is found.
nlohmann::json pressAt(std::int32_t pid, platform::Point point) {
    Element current;
    platform::AXError hit;
    {
        Element app = appElement(pid);
        hit = platform::axCopyElementAtPosition(app, single(point.x), single(point.y), current);
    }
    if (hit != platform::kAXErrorSuccess || !current) return {{"ok", false}};
    for (int examined = 1;; ++examined) {
        if (offersPress(current)) {
            bool ok = platform::axPerformAction(current, "AXPress") == platform::kAXErrorSuccess;
            return {{"ok", ok}, {"role", str(current, "AXRole").value_or("")}};
        }
        if (examined == kClimbLimit) break;
        current = elementAttr(current, "AXParent");
        if (!current) break;
    }
    return {{"ok", false}};
}

}  // namespace ax
