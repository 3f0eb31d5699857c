#include <string>

#include "ax/attributes.h"
#include "ax/focus.h"
#include "ax/paths.h"
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

// The element an element operation works on: "pid" and "path" are both
// required, then the path is resolved afresh against the live tree. The
// handle releases the element whichever way the operation ends.
platform::Element element(const json& request) {
    auto pid = pidOf(request);
    if (!pid) throw channel::Failure{"Missing element", "bad_args"};
    auto path = string(request, "path");
    if (!path) throw channel::Failure{"Missing element", "bad_args"};
    return ax::resolve(*pid, *path);
}

json outcome(platform::AXError error) { return {{"ok", error == platform::kAXErrorSuccess}}; }

}  // namespace

json axTree(const json& request) {
    std::int32_t pid = requiredApp(request);
    std::int64_t depth = toInt64(num(arg(request, "depth")).value_or(8.0), "depth");
    std::int64_t max = toInt64(num(arg(request, "max")).value_or(300.0), "max");
    return ax::tree(pid, depth, max);
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

}  // namespace dispatch::ops
