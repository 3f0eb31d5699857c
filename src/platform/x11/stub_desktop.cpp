// Linux backend, desktop half: not connected to a display yet. Every query
// answers its empty or false form.
#include "platform/platform.h"

namespace platform {

Value cgWindowListCopyWindowInfo(std::uint32_t, std::uint32_t) { return {}; }
bool cgRectMakeWithDictionaryRepresentation(const Value&, Rect&) { return false; }
bool cgRectContainsPoint(const Rect& r, const Point& p) {
    return r.size.width > 0 && r.size.height > 0 && p.x >= r.origin.x && p.y >= r.origin.y &&
           p.x < r.origin.x + r.size.width && p.y < r.origin.y + r.size.height;
}
std::uint32_t cgMainDisplayID() { return 0; }
Rect cgDisplayBounds(std::uint32_t) { return {}; }
bool cgPreflightScreenCaptureAccess() { return false; }
bool cgRequestScreenCaptureAccess() { return false; }

std::vector<App> runningApplications() { return {}; }
App frontmostApplication() { return {}; }
App runningApplicationWithProcessIdentifier(std::int32_t) { return {}; }
std::optional<std::string> localizedName(const App&) { return std::nullopt; }
std::optional<std::string> bundleIdentifier(const App&) { return std::nullopt; }
std::int32_t processIdentifier(const App&) { return 0; }
bool isActive(const App&) { return false; }
bool isHidden(const App&) { return false; }
std::int64_t activationPolicy(const App&) { return 0; }
bool activateWithOptions(const App&, std::uint64_t) { return false; }
bool isOperatingSystemAtLeast(std::int64_t, std::int64_t, std::int64_t) { return true; }
TaskOutcome runTask(const std::string&, const std::vector<std::string>&) {
    return {false, "No application launcher on this desktop", 0};
}

}  // namespace platform
