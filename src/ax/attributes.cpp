#include "ax/attributes.h"

#include <cmath>

namespace ax {
namespace {

using platform::Element;
using platform::Value;

// An array value whose items are all elements, taken out of the value; empty
// for anything else. Whatever is not taken is released with the value.
std::vector<Element> elementList(std::optional<Value> value) {
    std::vector<Element> out;
    if (!value) return out;
    auto* items = std::get_if<platform::Array>(&value->v);
    if (!items) return out;
    for (const auto& item : *items)
        if (!item.as<Element>()) return out;
    out.reserve(items->size());
    for (auto& item : *items) out.push_back(std::move(std::get<Element>(item.v)));
    return out;
}

std::uint64_t timedOut = 0;

}  // namespace

std::uint64_t timeouts() { return timedOut; }

platform::AXError noteTimeout(platform::AXError error) {
    if (error == platform::kAXErrorCannotComplete) ++timedOut;
    return error;
}

std::optional<Value> attr(const Element& element, const std::string& name) {
    Value value;
    if (noteTimeout(platform::axCopyAttributeValue(element, name, value)) != platform::kAXErrorSuccess)
        return std::nullopt;
    if (value.isNone()) return std::nullopt;
    return value;
}

std::optional<std::string> str(const Element& element, const std::string& name) {
    auto value = attr(element, name);
    if (!value) return std::nullopt;
    if (auto* s = std::get_if<std::string>(&value->v)) return std::move(*s);
    return std::nullopt;
}

std::vector<Element> children(const Element& element) { return elementList(attr(element, "AXChildren")); }

std::optional<nlohmann::json> frame(const Element& element) {
    auto position = attr(element, "AXPosition");
    if (!position) return std::nullopt;
    auto size = attr(element, "AXSize");
    if (!size) return std::nullopt;
    const auto* p = position->as<platform::Point>();
    const auto* s = size->as<platform::Size>();
    if (!p || !s) return std::nullopt;
    // A record never holds null, and JSON has no text for these.
    if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(s->width) || !std::isfinite(s->height))
        return std::nullopt;
    return nlohmann::json{{"x", p->x}, {"y", p->y}, {"w", s->width}, {"h", s->height}};
}

bool isSecure(const Element& element) {
    static const std::string kSecure = "AXSecureTextField";
    if (str(element, "AXRole") == kSecure) return true;
    return str(element, "AXSubrole") == kSecure;
}

Element appElement(std::int32_t pid) {
    Element app = platform::axCreateApplication(pid);
    platform::axSetMessagingTimeout(app, platform::kAXMessagingTimeoutSeconds);
    return app;
}

std::vector<Element> windows(std::int32_t pid) {
    std::optional<Value> list;
    {
        Element app = appElement(pid);
        list = attr(app, "AXWindows");
    }
    return elementList(std::move(list));
}

}  // namespace ax
