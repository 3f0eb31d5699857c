// macOS backend: Quartz event services.

// The seam comes before any Apple header: CoreGraphics defines
// kCGNullWindowID as a macro, which would rewrite the seam's constant.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <ApplicationServices/ApplicationServices.h>

namespace platform {
namespace {

CGEventSourceRef sourceRef(const EventSource& source) { return static_cast<CGEventSourceRef>(source.get()); }
CGEventRef eventRef(const Event& event) { return static_cast<CGEventRef>(event.get()); }

Event adopt(CGEventRef created) {
    mac::CFOwner<CGEventRef> event(created);
    return Event(mac::handleRef(event.release()));
}

}  // namespace

EventSource cgEventSourceCreate(std::int32_t stateID) {
    mac::CFOwner<CGEventSourceRef> source(CGEventSourceCreate(static_cast<CGEventSourceStateID>(stateID)));
    return EventSource(mac::handleRef(source.release()));
}

// An empty source is passed on as a null source: the event is still made.
Event cgEventCreateMouseEvent(const EventSource& source, std::uint32_t type, Point position, std::uint32_t button) {
    return adopt(CGEventCreateMouseEvent(sourceRef(source), static_cast<CGEventType>(type),
                                         CGPoint{position.x, position.y}, static_cast<CGMouseButton>(button)));
}

Event cgEventCreateKeyboardEvent(const EventSource& source, std::uint16_t keyCode, bool keyDown) {
    return adopt(CGEventCreateKeyboardEvent(sourceRef(source), keyCode, keyDown));
}

Event cgEventCreateScrollWheelEvent2(const EventSource& source, std::uint32_t units, std::uint32_t wheelCount,
                                     std::int32_t wheel1, std::int32_t wheel2, std::int32_t wheel3) {
    return adopt(CGEventCreateScrollWheelEvent2(sourceRef(source), static_cast<CGScrollEventUnit>(units), wheelCount,
                                                wheel1, wheel2, wheel3));
}

void cgEventKeyboardSetUnicodeString(const Event& event, std::u16string_view text) {
    if (!event) return;
    static_assert(sizeof(char16_t) == sizeof(UniChar));
    CGEventKeyboardSetUnicodeString(eventRef(event), text.size(), reinterpret_cast<const UniChar*>(text.data()));
}

void cgEventSetFlags(const Event& event, std::uint64_t flags) {
    if (event) CGEventSetFlags(eventRef(event), static_cast<CGEventFlags>(flags));
}

void cgEventSetIntegerValueField(const Event& event, std::uint32_t field, std::int64_t value) {
    if (event) CGEventSetIntegerValueField(eventRef(event), static_cast<CGEventField>(field), value);
}

void cgEventSetLocation(const Event& event, Point location) {
    if (event) CGEventSetLocation(eventRef(event), CGPoint{location.x, location.y});
}

void cgEventPost(std::uint32_t tap, const Event& event) {
    if (event) CGEventPost(static_cast<CGEventTapLocation>(tap), eventRef(event));
}

void cgEventPostToPid(std::int32_t pid, const Event& event) {
    if (event) CGEventPostToPid(static_cast<pid_t>(pid), eventRef(event));
}

}  // namespace platform
