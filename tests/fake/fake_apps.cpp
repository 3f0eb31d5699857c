// Fake applications, windows and input: nothing scripted yet. Every query
// answers its empty or false form and events are dropped.
#include "fake.h"

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

EventSource cgEventSourceCreate(std::int32_t) { return {}; }
Event cgEventCreateMouseEvent(const EventSource&, std::uint32_t, Point, std::uint32_t) { return {}; }
Event cgEventCreateKeyboardEvent(const EventSource&, std::uint16_t, bool) { return {}; }
Event cgEventCreateScrollWheelEvent2(const EventSource&, std::uint32_t, std::uint32_t, std::int32_t,
                                     std::int32_t, std::int32_t) {
    return {};
}
void cgEventKeyboardSetUnicodeString(const Event&, std::u16string_view) {}
void cgEventSetFlags(const Event&, std::uint64_t) {}
void cgEventSetIntegerValueField(const Event&, std::uint32_t, std::int64_t) {}
void cgEventSetLocation(const Event&, Point) {}
void cgEventPost(std::uint32_t, const Event&) {}
void cgEventPostToPid(std::int32_t, const Event&) {}

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
