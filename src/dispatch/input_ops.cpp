#include <limits>

#include "ax/focus.h"
#include "channel/failure.h"
#include "dispatch/arguments.h"
#include "dispatch/operations.h"
#include "input/keyboard.h"
#include "input/pointer.h"

namespace dispatch::ops {
namespace {

// A scroll amount: a 32-bit number whose negation is a 32-bit number too, as
// the wheel turns by minus the amount.
std::int32_t amount(const json& request, const char* name) {
    std::int32_t v = int32(arg(request, name), name);
    if (v == std::numeric_limits<std::int32_t>::min())
        throw channel::Failure{"Number out of range for \"" + std::string(name) + "\"", "bad_args"};
    return v;
}

[[noreturn]] void passwordFocused() {
    throw channel::Failure{"A password field has focus", "secure_field"};
}

}  // namespace

json mouse(const json& request) {
    platform::Point at = point(request);
    if (string(request, "kind") == "move") {
        input::post(platform::cgEventCreateMouseEvent(input::source, platform::kCGEventMouseMoved, at,
                                                      platform::kCGMouseButtonLeft),
                    std::nullopt);
        return {{"ok", true}};
    }
    bool right = string(request, "button") == "right";
    std::int64_t count = toInt64(num(arg(request, "count")).value_or(1.0), "count");
    input::click(at, right, count);
    return {{"ok", true}};
}

json drag(const json& request) {
    platform::Point from = point(request, "from");
    platform::Point to = point(request, "to");
    input::drag(from, to);
    return {{"ok", true}};
}

// Nothing is typed unless the check for a focused password field completed:
// when the application holding the focus did not answer, the field may be one.
json type(const json& request) {
    if (platform::isSecureEventInputEnabled()) passwordFocused();
    json focus = ax::focusInfo(pidOf(request));
    if (const json* secure = arg(focus, "secure"); secure && secure->is_boolean() && secure->get<bool>())
        passwordFocused();
    if (arg(focus, "timedOut")) throw channel::Failure{"Could not check the focused field", "secure_field"};
    std::string text = string(request, "text").value_or("");
    input::typeText(text, pidOf(request));
    return {{"ok", true}};
}

json key(const json& request) {
    std::uint16_t code = toUInt16(num(arg(request, "code")).value_or(0.0), "code");
    std::vector<std::string> mods = stringList(request, "mods").value_or(std::vector<std::string>{});
    input::key(code, mods, pidOf(request));
    return {{"ok", true}};
}

json scroll(const json& request) {
    platform::Point at = point(request);
    std::int32_t dx = amount(request, "dx");
    std::int32_t dy = amount(request, "dy");
    input::scroll(at, dx, dy, pidOf(request));
    return {{"ok", true}};
}

}  // namespace dispatch::ops
