// Linux backend, input half: not connected to a display yet. Events are
// dropped.
#include "platform/platform.h"

namespace platform {

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

}  // namespace platform
