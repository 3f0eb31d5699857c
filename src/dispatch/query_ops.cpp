#include <cmath>

#include "apps/apps.h"
#include "apps/windows.h"
#include "ax/focus.h"
#include "dispatch/arguments.h"
#include "dispatch/operations.h"
#include "platform/platform.h"

namespace dispatch::ops {
namespace {

// A display coordinate as a JSON number; a value that is none (NaN,
// infinite) would be written as null, so it reads as 0.
double coordinate(double v) { return std::isfinite(v) ? v : 0.0; }

}  // namespace

json permissions(const json&) {
    bool screen = platform::cgPreflightScreenCaptureAccess();
    bool accessibility = platform::axIsProcessTrusted();
    return {{"screen", screen}, {"accessibility", accessibility}};
}

json requestPermission(const json& request) {
    if (string(request, "kind") == "screen")
        platform::cgRequestScreenCaptureAccess();
    else
        platform::axIsProcessTrustedWithPrompt();
    return {{"ok", true}};
}

json apps(const json&) { return ::apps::apps(); }

json frontmost(const json&) {
    platform::App app = platform::frontmostApplication();
    if (!app) return json::object();
    return ::apps::appInfo(app);
}

json windows(const json&) { return {{"windows", ::apps::windowList(true)}}; }

json at(const json& request) { return ::apps::windowAt(point(request)); }

json display(const json&) {
    platform::Rect r = platform::cgDisplayBounds(platform::cgMainDisplayID());
    return {{"x", coordinate(r.origin.x)},
            {"y", coordinate(r.origin.y)},
            {"w", coordinate(r.size.width)},
            {"h", coordinate(r.size.height)}};
}

json focusInfo(const json& request) { return ax::focusInfo(pidOf(request)); }

}  // namespace dispatch::ops
