#include "apps/windows.h"

#include <cmath>
#include <limits>
#include <optional>

#include "apps/apps.h"

namespace apps {
namespace {

using platform::Value;

// A number entry of a window dictionary as a double; none when absent or not a number.
std::optional<double> real(const Value& window, std::string_view key) {
    const Value* v = window.find(key);
    if (!v) return std::nullopt;
    if (auto i = v->as<std::int64_t>()) return static_cast<double>(*i);
    if (auto d = v->as<double>()) return *d;
    return std::nullopt;
}

// A number entry as an integer of type T, truncated toward zero. Absent, not a
// number, or a real with no value of T (NaN, infinite, out of range) gives none.
template <class T>
std::optional<std::int64_t> integer(const Value& window, std::string_view key) {
    const Value* v = window.find(key);
    if (!v) return std::nullopt;
    if (auto i = v->as<std::int64_t>()) {
        if (*i < std::numeric_limits<T>::min() || *i > std::numeric_limits<T>::max())
            return std::nullopt;
        return *i;
    }
    if (auto d = v->as<double>()) {
        // The smallest value is a power of two and exact as a double; one past
        // the largest is the next power of two.
        constexpr double lo = static_cast<double>(std::numeric_limits<T>::min());
        constexpr double hi = -lo;
        if (!(std::trunc(*d) >= lo && *d < hi)) return std::nullopt;
        return static_cast<std::int64_t>(*d);
    }
    return std::nullopt;
}

std::string text(const Value& window, std::string_view key) {
    const Value* v = window.find(key);
    if (!v) return "";
    if (auto s = v->as<std::string>()) return *s;
    return "";
}

bool finite(const platform::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

}  // namespace

nlohmann::json windowList(bool layerZero) {
    nlohmann::json list = nlohmann::json::array();
    Value info = platform::cgWindowListCopyWindowInfo(
        platform::kCGWindowListOptionOnScreenOnly | platform::kCGWindowListExcludeDesktopElements,
        platform::kCGNullWindowID);
    const platform::Array* windows = info.as<platform::Array>();
    if (!windows) return list;
    for (const Value& window : *windows) {
        if (!window.as<platform::Dictionary>()) continue;

        // 1. Layer: absent or not a number is layer 0. A real that is no
        //    integer at all (NaN, infinite) leaves the window out.
        std::int64_t layer = 0;
        if (const Value* l = window.find(platform::kCGWindowLayer);
            l && (l->as<std::int64_t>() || l->as<double>())) {
            auto value = integer<std::int64_t>(window, platform::kCGWindowLayer);
            if (!value) continue;
            layer = *value;
        }
        if (layerZero && layer != 0) continue;

        // 2. Alpha: only a present number at or below 0.01 drops it (NaN keeps it).
        if (auto alpha = real(window, platform::kCGWindowAlpha); alpha && *alpha <= 0.01) continue;

        // 3. Window number.
        auto number = integer<std::int64_t>(window, platform::kCGWindowNumber);
        if (!number) continue;

        // 4. Owner process id, a 32-bit value.
        auto pid = integer<std::int32_t>(window, platform::kCGWindowOwnerPID);
        if (!pid) continue;

        // 5. Bounds: a dictionary that decodes into a rectangle of finite numbers.
        const Value* boundsEntry = window.find(platform::kCGWindowBounds);
        if (!boundsEntry || !boundsEntry->as<platform::Dictionary>()) continue;
        platform::Rect r;
        if (!platform::cgRectMakeWithDictionaryRepresentation(*boundsEntry, r) || !finite(r))
            continue;

        auto owner = static_cast<std::int32_t>(*pid);
        list.push_back({{"id", *number},
                        {"pid", static_cast<std::int64_t>(owner)},
                        {"app", text(window, platform::kCGWindowOwnerName)},
                        {"bundleId", bundleId(owner)},
                        {"title", text(window, platform::kCGWindowName)},
                        {"layer", layer},
                        {"bounds",
                         {{"x", r.origin.x}, {"y", r.origin.y}, {"w", r.size.width}, {"h", r.size.height}}}});
    }
    return list;
}

nlohmann::json windowAt(platform::Point point) {
    for (const nlohmann::json& w : windowList(false)) {
        const nlohmann::json& b = w["bounds"];
        platform::Rect r{{b["x"].get<double>(), b["y"].get<double>()},
                         {b["w"].get<double>(), b["h"].get<double>()}};
        if (platform::cgRectContainsPoint(r, point))
            return {{"pid", w["pid"]}, {"bundleId", w["bundleId"]}, {"app", w["app"]}, {"windowId", w["id"]}};
    }
    return nlohmann::json::object();
}

}  // namespace apps
